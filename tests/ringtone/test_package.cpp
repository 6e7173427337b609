#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kMidi = Hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 0E 00 FF 51 03 07 A1 20 "
                        "00 C0 39 00 FF 2F 00");
const std::string kHexText = "024A3A5935E551BDB994040006C8E48000";

TEST(RingtonePackage, BuildLaysOutMagicLengthMidiAndHex)
{
    Bytes p = BuildRingtonePackage(kMidi, kHexText);
    ASSERT_EQ(p.size(), 14 + kMidi.size() + kHexText.size());
    EXPECT_EQ(std::string(p.begin(), p.begin() + 10), "ZORVATTONE");
    EXPECT_EQ(Bytes(p.begin() + 10, p.begin() + 14), Hex("24 00 00 00"));
    EXPECT_EQ(Bytes(p.begin() + 14, p.begin() + 50), kMidi);
    EXPECT_EQ(std::string(p.begin() + 50, p.end()), kHexText);

    RingtonePackageParts parts;
    std::string error;
    ASSERT_TRUE(SplitRingtonePackage(p.data(), p.size(), parts, error)) << error;
    EXPECT_EQ(parts.midi, kMidi);
    EXPECT_EQ(parts.strHex, kHexText);
    EXPECT_EQ(parts.message, Hex(kHexText));

    Bytes packed = LzwCompressBytes(p.data(), p.size());
    ASSERT_TRUE(ReadRingtonePackage(packed.data(), packed.size(), parts, error)) << error;
    EXPECT_EQ(parts.midi, kMidi);
}

TEST(RingtonePackage, SplitNamesEachFault)
{
    auto with = [](auto change) {
        Bytes p = BuildRingtonePackage(kMidi, kHexText);
        change(p);
        return p;
    };
    struct Case {
        const char* name;
        Bytes data;
        const char* error;
    };
    const Case cases[] = {
        {"too short for the header", Bytes(13, 'Z'), "the package has 13 bytes, fewer than its 14-byte header"},
        {"a wrong magic", with([](Bytes& p) { p[9] = 'e'; }), "the package does not start with \"ZORVATTONE\""},
        {"a MIDI length beyond the data", with([](Bytes& p) { p[11] = 1; }),
         "the MIDI length 292 passes the end of the package (70 bytes follow the header)"},
        {"a MIDI part without MThd", with([](Bytes& p) { p[14] = 'X'; }),
         "the MIDI part is not a Standard MIDI File with one track"},
        {"a track length that does not match", with([](Bytes& p) { p[35] = 0x0F; }),
         "the MIDI part's track length 15 does not match its 14 bytes of track data"},
        {"no hex part", BuildRingtonePackage(kMidi, ""), "the package holds no ringtone after the MIDI part"},
        {"an odd hex part", BuildRingtonePackage(kMidi, "024"), "the ringtone part has an odd number (3) of hex digits"},
        {"lower-case hex", BuildRingtonePackage(kMidi, "024a"),
         "the ringtone part holds a character that is not an upper-case hex digit at offset 3"},
        {"a line break after the hex", BuildRingtonePackage(kMidi, kHexText + "\n\n"),
         "the ringtone part holds a character that is not an upper-case hex digit at offset 34"},
        {"a ringtone over 130 octets", BuildRingtonePackage(kMidi, std::string(262, '0')),
         "the ringtone part holds 131 octets, more than 130"},
    };
    for (const Case& k : cases) {
        RingtonePackageParts parts;
        std::string error;
        EXPECT_FALSE(SplitRingtonePackage(k.data.data(), k.data.size(), parts, error)) << k.name;
        EXPECT_EQ(error, k.error) << k.name;
    }
    Bytes raw = BuildRingtonePackage(kMidi, kHexText);
    RingtonePackageParts parts;
    std::string error;
    EXPECT_FALSE(ReadRingtonePackage(raw.data(), raw.size(), parts, error));
    EXPECT_EQ(error, "the package does not decompress: the data does not start with the clear code");
}

TEST(RingtonePackage, WriteCopiesBothFilesAndReportsAMissingOne)
{
    CTempDir dir;
    WriteBytes(dir.File("zorvat.mid"), kMidi);
    WriteBytes(dir.File("zorvat.pdu"), Bytes(kHexText.begin(), kHexText.end()));
    FileError error;
    ASSERT_TRUE(WriteRingtonePackage(dir.File("pkg"), dir.File("zorvat.mid"), dir.File("zorvat.pdu"), error));
    EXPECT_EQ(ReadBytes(dir.File("pkg")), BuildRingtonePackage(kMidi, kHexText));

    EXPECT_FALSE(WriteRingtonePackage(dir.File("pkg2"), dir.File("zorvat.mid"), dir.File("none.pdu"), error));
    EXPECT_EQ(error.strFile, dir.File("none.pdu"));
    EXPECT_FALSE(Exists(dir.File("pkg2")));
}

} // namespace
