#include <gtest/gtest.h>

#include "gallery/web/RtttlText.h"
#include "ringtone/RingtoneMessageDecoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "tests/gallery/GalleryTestData.h"

namespace {

CDecodedRingtone Decoded(const std::vector<std::uint8_t>& octets)
{
    CDecodedRingtone tone;
    std::string error;
    EXPECT_TRUE(DecodeRingtoneMessage(octets, tone, error)) << error;
    return tone;
}

TEST(GalleryRtttlText, WritesTheHeaderOfAnEmptyTone)
{
    EXPECT_EQ(RtttlTextOf(Decoded(MessageOf("MyTone", 120, {}))), "MyTone:d=4,o=5,b=125:");
}

TEST(GalleryRtttlText, AgreesWithTheProgramsConversionOfRtttl)
{
    CTempDir temp;
    std::vector<std::uint8_t> package = PackageFromRtttl("Tone:d=4,o=5,b=120:8c5,8d#5,4p,c.6,16a#7,2g..4,", temp.Path());
    RingtonePackageParts parts;
    std::string error;
    ASSERT_TRUE(ReadRingtonePackage(package.data(), package.size(), parts, error)) << error;
    const std::string text = RtttlTextOf(Decoded(parts.message));
    EXPECT_EQ(text, "Tone:d=4,o=5,b=125:8c5,8d#5,4p,4c.6,16a#7,2g..4,");

    // The decoded text converts to the same message again.
    std::vector<std::uint8_t> again = PackageFromRtttl(text, temp.Path());
    RingtonePackageParts partsAgain;
    ASSERT_TRUE(ReadRingtonePackage(again.data(), again.size(), partsAgain, error)) << error;
    EXPECT_EQ(partsAgain.message, parts.message);
}

TEST(GalleryRtttlText, ShowsAnUnreadableTitleSafely)
{
    EXPECT_EQ(RtttlTextOf(Decoded(MessageOf("a:b\xFF", 120, {}))), "a_b\xEF\xBF\xBD:d=4,o=5,b=125:");
}

} // namespace
