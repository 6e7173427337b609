#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "ConverterFixture.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"

namespace {

// A song of `count` eighth notes in octave 5: 75 of them fill 129 octets, the 76th
// needs 131.
std::string LongSong(int count, const std::string& name = "MyTone")
{
    std::string text = name + ":d=4,o=5,b=120:";
    for (int i = 0; i < count; ++i)
        text += (i % 2 ? "8d5," : "8c5,");
    return text;
}

void ExpectMessage(const CRecordingPrompt::Entry& e, const std::string& text, const std::string& caption,
                   PromptIcon icon = PromptIcon::Stop)
{
    EXPECT_EQ(e.text, text);
    EXPECT_EQ(e.caption, caption);
    EXPECT_EQ(e.icon, icon);
}

TEST_F(ConverterTest, AnEmptyTemporaryDirectoryStopsBeforeAnything)
{
    m_settings.SetString(kProfileSystem, kProfileTempDir, "");
    std::string text = "T:d=4,o=5,b=120:c,";
    CRingtoneConverter c(text, 96, m_settings, m_prompt);
    EXPECT_FALSE(c.Convert(text, ""));
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    ExpectMessage(LastMessage(), "Invalid temporary directory. Please setup first.", "ERROR");
    EXPECT_EQ(text, "T:d=4,o=5,b=120:c,");
}

TEST_F(ConverterTest, HeaderFaultsShowTheirFormatErrorAndWriteNothing)
{
    const std::pair<const char*, const char*> cases[] = {
        {":d=4,o=5,b=120:c,", "RTTTL does not contain ringtone name. Refer to RTTTL.txt about ringtone format."},
        {"T:o=5,d=4,b=120:c,", "RTTTL does not contain default duration. Refer to RTTTL.txt about ringtone format."},
        {"T:d=4,b=120:c,", "RTTTL does not contain default octave. Refer to RTTTL.txt about ringtone format."},
        {"T:d=4,o=5,b=120,c,", "RTTTL does not contain default tempo/beat. Refer to RTTTL.txt about ringtone format."},
    };
    for (auto [text, message] : cases) {
        m_prompt.Clear();
        EXPECT_FALSE(Run(text)) << text;
        ASSERT_EQ(m_prompt.Entries().size(), 1u) << text;
        ExpectMessage(LastMessage(), message, "Format Error");
        EXPECT_EQ(m_text, text) << "a failed conversion leaves the caller's text";
        EXPECT_FALSE(Exists(Midi()));
    }
}

TEST_F(ConverterTest, TruncationAnsweredOkKeepsWhatFits)
{
    m_prompt.QueueAnswer(PromptAnswer::Ok);
    ASSERT_TRUE(Run(LongSong(90)));
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    const auto& q = LastMessage();
    ExpectMessage(q, "Ringtone is too long, trancate ?", "Tone Trancate", PromptIcon::Question);
    EXPECT_EQ(q.buttons, PromptButtons::OkCancel);
    // 75 eighths at 120 beats a minute.
    EXPECT_EQ(q.detail, "The first 75 notes (18.8 seconds) fit one message; OK keeps them.");
    EXPECT_EQ(m_notes.size(), 75u);
    EXPECT_EQ(m_text, LongSong(75));
    // The 76th note, which did not fit, and the 14 after it.
    ASSERT_EQ(m_dropped.size(), 15u);
    EXPECT_EQ(m_dropped.front(), (DroppedToken{"8d5", DroppedToken::Reason::Truncated, "cut to fit one message"}));
    for (const DroppedToken& d : m_dropped)
        EXPECT_EQ(d.reason, DroppedToken::Reason::Truncated) << d.strToken;
    EXPECT_LE(BuildRingtoneMessage("MyTone", 120, 75, m_notes.data()).size(), kMaxRingtoneOctets);
    // 75 note pairs of 8 bytes after the 32-byte head, then the end of track.
    EXPECT_EQ(ReadBytes(Midi()).size(), 32u + 75 * 8 + 4);
}

TEST_F(ConverterTest, TruncationCancelledFailsAndLeavesNoHalfPreview)
{
    m_prompt.QueueAnswer(PromptAnswer::Cancel);
    EXPECT_FALSE(Run(LongSong(90)));
    EXPECT_EQ(m_text, LongSong(90));
    EXPECT_FALSE(Exists(Midi()));
}

TEST_F(ConverterTest, ASongThatFitsAsksNothing)
{
    ASSERT_TRUE(Run(LongSong(75)));
    EXPECT_TRUE(m_prompt.Entries().empty());
    EXPECT_EQ(m_notes.size(), 75u);
}

TEST_F(ConverterTest, PostingLeavesOnlyTheCompressedPackageAndHandsItOn)
{
    const std::string package = MakePackagePath(m_dir.Path(), 1700000000);
    EXPECT_EQ(package, m_dir.Path() + "/1700000000");
    ASSERT_TRUE(Run("A very long name:d=4,o=5,b=120:8c5,4p,8d5,", package));
    EXPECT_TRUE(m_prompt.Entries().empty());
    EXPECT_EQ(m_text, "A very long name:d=4,o=5,b=120:8c5,4p,8d5,");
    EXPECT_EQ(Listing(m_dir.Path()), std::vector<std::string>{"1700000000"});
    ASSERT_EQ(m_post.m_calls.size(), 1u);
    EXPECT_EQ(m_post.m_calls[0], std::make_pair(package, std::string("A very lon")));

    std::vector<std::uint8_t> packed = ReadBytes(package);
    RingtonePackageParts parts;
    std::string error;
    ASSERT_TRUE(ReadRingtonePackage(packed.data(), packed.size(), parts, error)) << error;
    EXPECT_EQ(parts.midi.size(), 52u);
    EXPECT_EQ(parts.message, BuildRingtoneMessage("A very lon", 120, 3, m_notes.data()));
    EXPECT_EQ(parts.strHex, HexOf(parts.message));
}

TEST_F(ConverterTest, PostingWithoutAHandlerStillSucceeds)
{
    CRingtoneConverter c("T:d=4,o=5,b=120:c,", 0, m_settings, m_prompt);
    std::string text;
    EXPECT_TRUE(c.Convert(text, m_dir.File("pkg")));
    EXPECT_EQ(Listing(m_dir.Path()), std::vector<std::string>{"pkg"});
}

TEST_F(ConverterTest, AMissingTemporaryDirectoryNamesThePreviewFile)
{
    m_settings.SetString(kProfileSystem, kProfileTempDir, m_dir.File("gone"));
    EXPECT_FALSE(Run("T:d=4,o=5,b=120:c,"));
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    ExpectMessage(LastMessage(),
                  "Cannot write the file \"" + m_dir.File("gone") + "/zorvat.mid\": No such file or directory.",
                  "ERROR");
}

TEST_F(ConverterTest, AnUnwritablePackageLeavesNothingBehind)
{
    EXPECT_FALSE(Run("T:d=4,o=5,b=120:c,", m_dir.File("no/such/dir/pkg")));
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    ExpectMessage(LastMessage(),
                  "Cannot write the file \"" + m_dir.File("no/such/dir/pkg") + "\": No such file or directory.",
                  "ERROR");
    EXPECT_TRUE(Listing(m_dir.Path()).empty());
    EXPECT_TRUE(m_post.m_calls.empty());
    EXPECT_EQ(m_text, "T:d=4,o=5,b=120:c,");
}

TEST_F(ConverterTest, AFullDiskEndsWithAStopMessageAndNoHalfFiles)
{
    if (!Exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // The links are the test's, not the converter's: they stay, and so does the device.
    std::filesystem::create_symlink("/dev/full", Midi());
    EXPECT_FALSE(Run("T:d=4,o=5,b=120:c,"));
    ExpectMessage(LastMessage(), "Cannot write the file \"" + Midi() + "\": No space left on device.", "ERROR");
    EXPECT_EQ(Listing(m_dir.Path()), std::vector<std::string>{"zorvat.mid"});
    std::filesystem::remove(Midi());

    m_prompt.Clear();
    const std::string package = m_dir.File("pkg");
    std::filesystem::create_symlink("/dev/full", package);
    EXPECT_FALSE(Run("T:d=4,o=5,b=120:c,", package));
    ExpectMessage(LastMessage(), "Cannot write the file \"" + package + "\": No space left on device.", "ERROR");
    EXPECT_EQ(Listing(m_dir.Path()), std::vector<std::string>{"pkg"});
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST_F(ConverterTest, ACompressionThatCannotStartRemovesThePackage)
{
    // Every name the compressed file could take beside the package is in use.
    const std::string package = m_dir.File("pkg");
    std::vector<std::string> taken = {"pkg.part"};
    for (int n = 1; n < 100; ++n)
        taken.push_back("pkg.part-" + std::to_string(n));
    for (const std::string& name : taken)
        std::filesystem::create_directory(m_dir.File(name));
    EXPECT_FALSE(Run("T:d=4,o=5,b=120:c,", package));
    ExpectMessage(LastMessage(),
                  "Cannot write the file \"" + package + "\": every name from " + package + ".part to " + package +
                      ".part-99 beside it is taken.",
                  "ERROR");
    std::sort(taken.begin(), taken.end());
    EXPECT_EQ(Listing(m_dir.Path()), taken);
}

TEST_F(ConverterTest, LongPathsWorkWithoutFixedBuffers)
{
    std::string deep = m_dir.Path();
    for (int i = 0; i < 6; ++i) {
        deep += "/" + std::string(60, static_cast<char>('a' + i));
        std::filesystem::create_directory(deep);
    }
    m_settings.SetString(kProfileSystem, kProfileTempDir, deep);
    ASSERT_GT(deep.size(), 300u);
    ASSERT_TRUE(Run("T:d=4,o=5,b=120:c,", MakePackagePath(deep, 42)));
    EXPECT_EQ(Listing(deep), std::vector<std::string>{"42"});
}

} // namespace
