#include <gtest/gtest.h>

#include "ConverterFixture.h"

namespace {

std::vector<std::uint8_t> TempoBytes(const std::vector<std::uint8_t>& midi)
{
    return {midi.begin() + 26, midi.begin() + 29};
}

TEST_F(ConverterTest, PreviewOfThreeNotesIsTheFiftyTwoByteFile)
{
    ASSERT_TRUE(Run("MyTone:d=4,o=5,b=120:8c5,4p,8d5,"));
    EXPECT_EQ(ReadBytes(Midi()), Hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 1E 00 FF 51 03 "
                                     "07 A1 20 00 C0 39 00 90 3C 7F 30 80 3C 7F 60 90 3E 7F 30 80 3E 7F 00 FF 2F 00"));
    EXPECT_EQ(Listing(m_dir.Path()), std::vector<std::string>{"zorvat.mid"});
}

TEST_F(ConverterTest, PreviewWithoutNotesHasOnlyTempoProgramAndEnd)
{
    ASSERT_TRUE(Run("T:d=4,o=5,b=120:", "", 0));
    std::vector<std::uint8_t> midi = ReadBytes(Midi());
    ASSERT_EQ(midi.size(), 36u);
    EXPECT_EQ(std::vector<std::uint8_t>(midi.begin() + 12, midi.begin() + 22), Hex("00 60 4D 54 72 6B 00 00 00 0E"));
}

TEST_F(ConverterTest, PreviewRestsBecomeDeltasAndTrailingRestsVanish)
{
    ASSERT_TRUE(Run("T:d=4,o=5,b=120:4p,8p,1c,2p,", "", 480, 0));
    std::vector<std::uint8_t> midi = ReadBytes(Midi());
    // 720 ticks of rest before the note on, a 1920-tick whole note, then the end.
    EXPECT_EQ(std::vector<std::uint8_t>(midi.begin() + 32, midi.end()),
              Hex("85 50 90 3C 7F 8F 00 80 3C 7F 00 FF 2F 00"));
    EXPECT_EQ(midi[12], 0x01);
    EXPECT_EQ(midi[13], 0xE0);
}

TEST_F(ConverterTest, PreviewTempoAndProgramChoices)
{
    struct Case {
        const char* name;
        const char* tempo;
        const char* bytes;
    };
    const Case cases[] = {
        {"tempo 100 is 600 000 us", "100", "09 27 C0"},
        {"tempo 25 is 2 400 000 us", "25", "24 9F 00"},
        {"tempo 0 plays at 25 bpm", "0", "24 9F 00"},
        {"a negative tempo plays at 25 bpm", "-30", "24 9F 00"},
        {"tempo 3 is held at the 24-bit maximum", "3", "FF FF FF"},
        {"tempo 4 still fits", "4", "E4 E1 C0"},
        {"a tempo above 900 is written as asked", "1000", "00 EA 60"},
        {"an absurd tempo keeps one microsecond", "99999999999", "00 00 01"},
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(Run(std::string("T:d=4,o=5,b=") + k.tempo + ":c,")) << k.name;
        EXPECT_EQ(TempoBytes(ReadBytes(Midi())), Hex(k.bytes)) << k.name;
    }
    for (int program : {0, 127}) {
        ASSERT_TRUE(Run("T:d=4,o=5,b=120:c,", "", 96, program));
        EXPECT_EQ(ReadBytes(Midi())[31], program);
    }
    ASSERT_TRUE(Run("T:d=4,o=5,b=120:c,"));
    EXPECT_EQ(ReadBytes(Midi())[31], 57);
}

} // namespace
