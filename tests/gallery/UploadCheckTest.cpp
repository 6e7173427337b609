#include <gtest/gtest.h>

#include <functional>

#include "GalleryTestData.h"
#include "gallery/UploadCheck.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"

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
        CPackageCase{"hex_that_is_no_ringing_tone",
                     [] { return CompressedPackage(SmallPreviewMidi(), "0102030405"); },
                     "is not a valid Smart Messaging ringing tone: the command length is 1 instead of 2"}),
    [](const testing::TestParamInfo<CPackageCase>& info) { return std::string(info.param.m_szName); });

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
