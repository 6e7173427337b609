#include <gtest/gtest.h>

#include "ToneTestSupport.h"
#include "ringtone/SmartMessaging.h"
#include "tonefile/OttFile.h"

namespace {

using Kind = ToneLoss::Kind;
using Octets = std::vector<std::uint8_t>;

TEST(OttFile, WritesTheMessageOctets)
{
    // The 17 octets of an empty "MyTone" at 120, then 8c5, 4p, 8d5 (the pause brings
    // the scale to 00 and the d back to 01).
    struct {
        CToneMelody melody;
        Octets octets;
    } const cases[] = {
        {{"MyTone", 120, {}},
         {0x02, 0x4A, 0x3A, 0x59, 0x35, 0xE5, 0x51, 0xBD, 0xB9, 0x94, 0x04, 0x00, 0x06, 0xC8, 0xE4, 0x80, 0x00}},
        {{"T", 120, {N(60, 3), N(-1, 2), N(62, 3)}},
         {0x02, 0x4A, 0x3A, 0x45, 0x50, 0x04, 0x00, 0x10, 0xC8, 0xE4, 0x91, 0x62, 0x08, 0x21, 0x24, 0xD8, 0x00}},
    };
    for (const auto& c : cases) {
        Octets out;
        std::vector<ToneLoss> losses;
        std::string error;
        ASSERT_TRUE(WriteOttFile(c.melody, false, out, losses, error)) << error;
        EXPECT_EQ(out, c.octets) << c.melody.strName;
        // 120 is not among a phone's tempos: it plays at the next above.
        EXPECT_EQ(losses, (std::vector<ToneLoss>{
                              {Kind::Changed, "b=120", "a phone plays one of 32 tempos: the first at or above, b=125"}}));
    }
}

TEST(OttFile, RefusesOrCutsATuneLongerThanOneMessage)
{
    CToneMelody melody{"A long name", 125, std::vector<RingtoneNote>(90, N(60, 3))};
    Octets out;
    std::vector<ToneLoss> losses;
    std::string error;
    EXPECT_FALSE(WriteOttFile(melody, false, out, losses, error));
    EXPECT_EQ(error, "the ringtone is too long for one message (156 of 130 octets); --truncate cuts it to fit");

    ASSERT_TRUE(WriteOttFile(melody, true, out, losses, error));
    EXPECT_LE(out.size(), kMaxRingtoneOctets);
    ASSERT_EQ(losses.size(), 90u - 73u + 1u);
    EXPECT_EQ(losses.front(), (ToneLoss{Kind::Cut, "8c5", "cut to fit one message"}));
    EXPECT_EQ(losses.back(), (ToneLoss{Kind::Ignored, "A long name", "the title keeps its first 10 characters"}));
    CToneMelody read;
    ASSERT_TRUE(ReadOttFile(out, read, losses, error)) << error;
    EXPECT_EQ(read.notes.size(), 73u);
}

TEST(OttFile, ReadsBackWhatItWroteAndAFileWithoutTheCommandLength)
{
    // The double dot and the 2/3 length, which other readers take differently, are
    // written as a dotted note and a rest, and as the next shorter plain length.
    const CToneMelody melody{"Back", 140, {N(64, 2), N(62, 3, 1), N(-1, 1), N(49, 0, 2), N(95, 5, 3)}};
    const std::vector<RingtoneNote> written = {N(64, 2), N(62, 3, 1), N(-1, 1), N(49, 0, 1), N(-1, 2), N(95, 5)};
    Octets out;
    std::vector<ToneLoss> losses;
    std::string error;
    ASSERT_TRUE(WriteOttFile(melody, false, out, losses, error));
    EXPECT_EQ(losses.size(), 2u);
    for (const Octets& file : {out, Octets(out.begin() + 1, out.end())}) {
        CToneMelody read;
        losses.clear();
        ASSERT_TRUE(ReadOttFile(file, read, losses, error)) << error;
        EXPECT_EQ(read.strName, "Back");
        EXPECT_EQ(read.nTempo, 140);
        EXPECT_EQ(read.notes, written);
        EXPECT_TRUE(losses.empty());
    }
}

TEST(OttFile, SaysWhatTheNoteListCannotHoldAndRefusesDamage)
{
    // gnokii's message for "T:d=4,o=5,b=125:c": the continuous style.
    const Octets gnokii = {0x02, 0x4A, 0x3A, 0x45, 0x50, 0x04, 0x00, 0x08, 0xD8, 0xE4, 0x91, 0x40, 0x00};
    CToneMelody read;
    std::vector<ToneLoss> losses;
    std::string error;
    ASSERT_TRUE(ReadOttFile(gnokii, read, losses, error)) << error;
    EXPECT_EQ(Tokens(read.notes), std::vector<std::string>{"4c5"});
    EXPECT_EQ(losses, (std::vector<ToneLoss>{
                          {Kind::Ignored, "", "1 style(s) other than natural (continuous, staccato) left out"}}));

    EXPECT_FALSE(ReadOttFile(Octets{0x02, 0x4A, 0x3A}, read, losses, error));
    EXPECT_EQ(error, "the message ends inside the song type (at bit 23)");
    EXPECT_FALSE(ReadOttFile(Octets{}, read, losses, error));
}

} // namespace
