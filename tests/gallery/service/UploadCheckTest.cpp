#include <gtest/gtest.h>

#include <functional>

#include "gallery/service/UploadCheck.h"
#include "gallery/service/UploadLimits.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "tests/gallery/GalleryTestData.h"

namespace {

CUploadForm GoodForm()
{
    CUploadForm form;
    form.m_strSubmitter = "nick";
    form.m_strPassword = "secret";
    form.m_strTone = "Ode to Joy";
    form.m_strCategory = "CLASSICAL";
    form.m_data = GoodPackage();
    return form;
}

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& bytes)
{
    return LzwCompressBytes(bytes.data(), bytes.size());
}

// A valid preview MIDI file of exactly `totalBytes`: SmallPreviewMidi with a text
// event before its end of track.
std::vector<std::uint8_t> PaddedPreviewMidi(std::size_t totalBytes)
{
    std::vector<std::uint8_t> midi = SmallPreviewMidi();
    const std::size_t fixed = midi.size() + 3; // delta time, FF 01
    for (std::size_t lengthBytes = 1; lengthBytes <= 4; ++lengthBytes) {
        const std::size_t text = totalBytes - fixed - lengthBytes;
        if (text >= (std::size_t{1} << (7 * lengthBytes)))
            continue;
        std::vector<std::uint8_t> event = {0x00, 0xFF, 0x01};
        for (std::size_t k = lengthBytes; k-- > 0;)
            event.push_back(static_cast<std::uint8_t>(((text >> (7 * k)) & 0x7F) | (k > 0 ? 0x80 : 0)));
        event.insert(event.end(), text, 'x');
        midi.insert(midi.end() - 4, event.begin(), event.end());
        const std::size_t track = midi.size() - 22;
        for (int i = 0; i < 4; ++i)
            midi[18 + i] = static_cast<std::uint8_t>(track >> (8 * (3 - i)));
        return midi;
    }
    return {};
}

TEST(UploadCheck, TakesTheProgramsPostApart)
{
    CCheckedUpload upload;
    std::string error;
    ASSERT_TRUE(CheckUpload(GoodForm(), upload, error)) << error;
    EXPECT_EQ(upload.m_strAuthor, "nick");
    EXPECT_EQ(upload.m_strPassword, "secret");
    EXPECT_EQ(upload.m_strTone, "Ode to Joy");
    EXPECT_EQ(upload.m_category, ToneCategory::Classical);
    EXPECT_EQ(upload.m_midi, SmallPreviewMidi());
    EXPECT_EQ(upload.m_message, MessageOf("Tone", 120, ScaleNotes(3)));
}

struct CFieldCase {
    const char* m_szName;
    friend void PrintTo(const CFieldCase& c, std::ostream* os) { *os << c.m_szName; }
    std::function<void(CUploadForm&)> m_change;
    bool m_bAccepted;
    std::string m_strError;
};

class UploadCheckFields : public testing::TestWithParam<CFieldCase> {};

TEST_P(UploadCheckFields, GiveTheVerdict)
{
    CUploadForm form = GoodForm();
    GetParam().m_change(form);
    CCheckedUpload upload;
    std::string error;
    EXPECT_EQ(CheckUpload(form, upload, error), GetParam().m_bAccepted) << error;
    EXPECT_NE(error.find(GetParam().m_strError), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadCheckFields,
    testing::Values(
        CFieldCase{"an_empty_nickname", [](CUploadForm& f) { f.m_strSubmitter = ""; }, false,
                   "The post has no nickname."},
        CFieldCase{"a_blank_nickname", [](CUploadForm& f) { f.m_strSubmitter = "  "; }, false,
                   "The post has no nickname."},
        CFieldCase{"a_nickname_of_33_characters", [](CUploadForm& f) { f.m_strSubmitter = std::string(33, 'n'); },
                   false, "The nickname has 33 characters; the gallery takes at most 32."},
        CFieldCase{"a_nickname_of_32_two_byte_characters",
                   [](CUploadForm& f) { f.m_strSubmitter = Repeat("\xC3\xA9", 32); }, true, ""},
        CFieldCase{"a_nickname_that_is_not_utf8", [](CUploadForm& f) { f.m_strSubmitter = "caf\xE9"; }, false,
                   "The nickname is not readable text"},
        CFieldCase{"a_nickname_with_a_control_character", [](CUploadForm& f) { f.m_strSubmitter = "a\tb"; }, false,
                   "The nickname is not readable text"},
        CFieldCase{"a_nickname_with_a_zero_width_space", [](CUploadForm& f) { f.m_strSubmitter = "vic\u200Btim"; },
                   false,
                   "The nickname contains an invisible or direction-changing character (U+200B), which the gallery "
                   "does not take."},
        CFieldCase{"a_nickname_with_a_right_to_left_override",
                   [](CUploadForm& f) { f.m_strSubmitter = "\u202Emitciv"; }, false,
                   "The nickname contains an invisible or direction-changing character (U+202E)"},
        CFieldCase{"a_ringtone_name_with_a_direction_isolate", [](CUploadForm& f) { f.m_strTone = "Ode\u2067"; },
                   false, "The ringtone name contains an invisible or direction-changing character (U+2067)"},
        CFieldCase{"a_nickname_of_hangul_fillers", [](CUploadForm& f) { f.m_strSubmitter = "\u3164\u3164"; }, false,
                   "invisible or direction-changing character (U+3164)"},
        CFieldCase{"a_nickname_with_a_line_separator", [](CUploadForm& f) { f.m_strSubmitter = "a\u2028b"; }, false,
                   "The nickname contains a line or paragraph separator (U+2028)"},
        CFieldCase{"a_nickname_with_a_private_use_character",
                   [](CUploadForm& f) { f.m_strSubmitter = "a\uE000"; }, false, "a private-use character (U+E000)"},
        CFieldCase{"a_nickname_with_an_unassigned_character", [](CUploadForm& f) { f.m_strSubmitter = "a\u0378"; },
                   false, "a character Unicode does not assign (U+0378)"},
        CFieldCase{"a_nickname_with_an_emoji_in_colour",
                   [](CUploadForm& f) { f.m_strSubmitter = "\u2764\uFE0F"; }, true, ""},
        CFieldCase{"a_nickname_of_wide_blanks_only", [](CUploadForm& f) { f.m_strSubmitter = "\u3000\u00A0"; },
                   false, "The post has no nickname."},
        CFieldCase{"a_nickname_of_32_characters_between_blanks",
                   [](CUploadForm& f) { f.m_strSubmitter = "  " + std::string(32, 'n') + "\u00A0 "; }, true, ""},
        CFieldCase{"a_nickname_of_17_ligatures_that_unfold_to_34_letters",
                   [](CUploadForm& f) { f.m_strSubmitter = Repeat("\uFB00", 17); }, false,
                   "The nickname has 34 characters; the gallery takes at most 32."},
        CFieldCase{"an_empty_password", [](CUploadForm& f) { f.m_strPassword = ""; }, true, ""},
        CFieldCase{"a_password_of_65_bytes", [](CUploadForm& f) { f.m_strPassword = std::string(65, 'p'); }, false,
                   "The password has 65 bytes; the gallery takes at most 64."},
        CFieldCase{"a_password_with_a_zero_byte", [](CUploadForm& f) { f.m_strPassword = std::string("a\0b", 3); },
                   false, "The password holds a zero byte."},
        CFieldCase{"an_empty_ringtone_name", [](CUploadForm& f) { f.m_strTone = ""; }, false,
                   "The post has no ringtone name."},
        CFieldCase{"a_ringtone_name_of_33_characters", [](CUploadForm& f) { f.m_strTone = std::string(33, 't'); },
                   false, "The ringtone name has 33 characters; the gallery takes at most 32."},
        CFieldCase{"a_ringtone_name_with_markup", [](CUploadForm& f) { f.m_strTone = "<b>Rock & Roll</b>"; }, true,
                   ""},
        CFieldCase{"a_category_in_lower_case", [](CUploadForm& f) { f.m_strCategory = "classical"; }, false,
                   "The category \"classical\" is not one of ENGLISH, CHINESE, CLASSICAL and OTHERS."},
        CFieldCase{"an_unknown_category", [](CUploadForm& f) { f.m_strCategory = "POP"; }, false,
                   "The category \"POP\""}),
    [](const testing::TestParamInfo<CFieldCase>& info) { return std::string(info.param.m_szName); });

struct CPackageCase {
    const char* m_szName;
    friend void PrintTo(const CPackageCase& c, std::ostream* os) { *os << c.m_szName; }
    std::function<std::vector<std::uint8_t>()> m_make;
    std::string m_strError;
};

class UploadCheckPackages : public testing::TestWithParam<CPackageCase> {};

TEST_P(UploadCheckPackages, AreRefusedWithTheReason)
{
    CUploadForm form = GoodForm();
    form.m_data = GetParam().m_make();
    CCheckedUpload upload;
    std::string error;
    EXPECT_FALSE(CheckUpload(form, upload, error));
    EXPECT_NE(error.find(GetParam().m_strError), std::string::npos) << error;
}

std::vector<std::uint8_t> MidiWithoutEndOfTrack()
{
    std::vector<std::uint8_t> midi = SmallPreviewMidi();
    midi[midi.size() - 2] = 0x01; // FF 2F 00 becomes FF 01 00, an empty text event
    return midi;
}

std::vector<std::uint8_t> MidiWithBrokenEvent()
{
    std::vector<std::uint8_t> midi = SmallPreviewMidi();
    midi[23] = 0x40; // the first event's status becomes a data byte, with no status to run on
    return midi;
}

// SmallPreviewMidi at 0 ticks per quarter.
std::vector<std::uint8_t> MidiOfDivisionZero()
{
    std::vector<std::uint8_t> midi = SmallPreviewMidi();
    midi[12] = 0x00;
    midi[13] = 0x00;
    return midi;
}

// SmallPreviewMidi with the longest delta time before its end of track: 268,435,455
// ticks, about 390 hours at 96 ticks a quarter and 120 quarters a minute.
std::vector<std::uint8_t> MidiOfFourHundredHours()
{
    std::vector<std::uint8_t> midi = SmallPreviewMidi();
    midi[21] += 3;
    const auto endOfTrack = midi.end() - 4;
    *endOfTrack = 0xFF;
    midi.insert(endOfTrack + 1, {0xFF, 0xFF, 0x7F});
    return midi;
}

std::string HexOfGoodMessage()
{
    return HexOf(MessageOf("Tone", 120, ScaleNotes(3)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadCheckPackages,
    testing::Values(
        CPackageCase{"no_package", [] { return std::vector<std::uint8_t>(); }, "The post holds no ringtone package."},
        CPackageCase{"a_package_over_2048_bytes", [] { return std::vector<std::uint8_t>(2049, 0); },
                     "The ringtone package has 2049 bytes; the gallery takes at most 2048."},
        CPackageCase{"an_uncompressed_package",
                     [] { return BuildRingtonePackage(SmallPreviewMidi(), HexOfGoodMessage()); },
                     "The ringtone package is damaged"},
        CPackageCase{"a_package_cut_short",
                     [] {
                         auto v = GoodPackage();
                         v.resize(v.size() / 2);
                         return v;
                     },
                     "The ringtone package is damaged"},
        CPackageCase{"another_magic",
                     [] {
                         auto v = BuildRingtonePackage(SmallPreviewMidi(), HexOfGoodMessage());
                         v[0] = 'X';
                         return Compress(v);
                     },
                     "ZORVATTONE"},
        CPackageCase{"a_midi_length_beyond_the_data",
                     [] {
                         auto v = BuildRingtonePackage(SmallPreviewMidi(), HexOfGoodMessage());
                         v[13] = 0x7F;
                         return Compress(v);
                     },
                     "passes the end of the package"},
        CPackageCase{"a_midi_part_without_end_of_track",
                     [] { return CompressedPackage(MidiWithoutEndOfTrack(), HexOfGoodMessage()); },
                     "does not end with an end of track"},
        CPackageCase{"a_midi_part_the_reader_stops_in",
                     [] { return CompressedPackage(MidiWithBrokenEvent(), HexOfGoodMessage()); },
                     "breaks off after"},
        CPackageCase{"an_odd_number_of_hex_digits",
                     [] { return CompressedPackage(SmallPreviewMidi(), HexOfGoodMessage() + "0"); }, "odd number"},
        CPackageCase{"lower_case_hex", [] { return CompressedPackage(SmallPreviewMidi(), "024a"); }, "hex digit"},
        CPackageCase{"no_hex_part", [] { return CompressedPackage(SmallPreviewMidi(), ""); }, "no ringtone"},
        CPackageCase{"a_ringtone_of_131_octets",
                     [] { return CompressedPackage(SmallPreviewMidi(), std::string(262, 'A')); }, "more than 130"},
        CPackageCase{"a_midi_part_one_byte_over_16_kib",
                     [] { return CompressedPackage(PaddedPreviewMidi(kMaxPreviewMidiBytes + 1), HexOfGoodMessage()); },
                     "The ringtone package declares a MIDI part of 16385 bytes; the gallery takes at most 16384 "
                     "bytes once unpacked."},
        CPackageCase{"a_midi_part_of_a_megabyte",
                     [] { return CompressedPackage(PaddedPreviewMidi(1 << 20), HexOfGoodMessage()); },
                     "declares a MIDI part of 1048576 bytes"},
        CPackageCase{"a_hex_part_that_unpacks_past_the_ceiling",
                     [] { return CompressedPackage(SmallPreviewMidi(), std::string(20000, 'A')); },
                     "The ringtone package unpacks to more than 16658 bytes"},
        CPackageCase{"a_midi_part_of_0_ticks_per_quarter",
                     [] { return CompressedPackage(MidiOfDivisionZero(), HexOfGoodMessage()); },
                     "The ringtone package's preview cannot be played: the MIDI file's timing is not supported "
                     "(fewer than 8 ticks per quarter note)."},
        CPackageCase{"a_midi_part_longer_than_four_hours",
                     [] { return CompressedPackage(MidiOfFourHundredHours(), HexOfGoodMessage()); },
                     "The ringtone package's preview cannot be played: the MIDI file plays for more than 4 hours."},
        CPackageCase{"hex_that_is_no_ringing_tone",
                     [] { return CompressedPackage(SmallPreviewMidi(), "0102030405"); },
                     "is not a valid Smart Messaging ringing tone: the command length is 1 instead of 2"}),
    [](const testing::TestParamInfo<CPackageCase>& info) { return std::string(info.param.m_szName); });

TEST(UploadCheck, KeepsNamesInOneForm)
{
    CUploadForm form = GoodForm();
    form.m_strSubmitter = " \uFF56\uFF49\uFF43\uFF54\uFF49\uFF4D\u00A0 \u3000the  great\u00A0";
    form.m_strTone = "Ode\u00A0to\u2003Joy ";
    CCheckedUpload upload;
    std::string error;
    ASSERT_TRUE(CheckUpload(form, upload, error)) << error;
    EXPECT_EQ(upload.m_strAuthor, "victim the great");
    EXPECT_EQ(upload.m_strTone, "Ode to Joy");
}

TEST(UploadCheck, TakesAMidiPartOfExactly16KiB)
{
    CUploadForm form = GoodForm();
    const std::vector<std::uint8_t> midi = PaddedPreviewMidi(kMaxPreviewMidiBytes);
    ASSERT_EQ(midi.size(), kMaxPreviewMidiBytes);
    form.m_data = CompressedPackage(midi, HexOfGoodMessage());
    CCheckedUpload upload;
    std::string error;
    ASSERT_TRUE(CheckUpload(form, upload, error)) << error;
    EXPECT_EQ(upload.m_midi, midi);
}

TEST(UploadCheck, TakesThePackageOfTheProgramsConversion)
{
    CTempDir temp;
    CUploadForm form = GoodForm();
    form.m_data = PackageFromRtttl("Ode:d=4,o=5,b=160:e,e,f,g,g,f,e,d,c,c,d,e,e.,8d,2d", temp.Path());
    ASSERT_FALSE(form.m_data.empty());
    CCheckedUpload upload;
    std::string error;
    EXPECT_TRUE(CheckUpload(form, upload, error)) << error;
}

} // namespace
