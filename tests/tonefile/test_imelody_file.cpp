#include <gtest/gtest.h>

#include <random>

#include "ToneTestSupport.h"
#include "tonefile/IMelodyFile.h"

namespace {

using Kind = ToneLoss::Kind;
using Strings = std::vector<std::string>;

TEST(IMelodyFile, WritesTheHeaderAndEveryLengthAsTheListHoldsIt)
{
    const CToneMelody melody{"Ode\r\n", 120,
                             {N(64, 2), N(62, 3, 1), N(-1, 1, 2), N(73, 0, 3), N(70, 5), N(58, 4), N(62, 2), N(62, 2)}};
    std::vector<ToneLoss> losses;
    EXPECT_EQ(WriteIMelodyFile(melody, losses), "BEGIN:IMELODY\r\nVERSION:1.2\r\nFORMAT:CLASS1.0\r\nNAME:Ode\r\n"
                                                "BEAT:120\r\nMELODY:e2d3.r1:*5#c0;*4#a5*3#a4*4d2d2\r\nEND:IMELODY\r\n");
    EXPECT_TRUE(losses.empty());
}

TEST(IMelodyFile, FoldsTheMelodyAndHoldsTheBeatTo25To900)
{
    const CToneMelody melody{"", 1000, std::vector<RingtoneNote>(40, N(60, 3))};
    std::vector<ToneLoss> losses;
    std::string line;
    for (int i = 0; i < 40; ++i)
        line += "c3";
    EXPECT_EQ(WriteIMelodyFile(melody, losses),
              "BEGIN:IMELODY\r\nVERSION:1.2\r\nFORMAT:CLASS1.0\r\nBEAT:900\r\nMELODY:" + line.substr(0, 68) + "\r\n " +
                  line.substr(68) + "\r\nEND:IMELODY\r\n");
    EXPECT_EQ(losses, (std::vector<ToneLoss>{{Kind::Changed, "b=1000", "iMelody's beat is 25-900: written 900"}}));
}

TEST(IMelodyFile, ReadsBackEveryNoteItWrote)
{
    std::mt19937 random(20261209);
    for (int round = 0; round < 200; ++round) {
        CToneMelody melody{"R" + std::to_string(round), static_cast<int>(25 + random() % 876), {}};
        for (std::size_t i = random() % 120; i > 0; --i)
            melody.notes.push_back(N(random() % 5 == 0 ? -1 : static_cast<int>(48 + random() % 48), random() % 6,
                                     random() % 4));
        std::vector<ToneLoss> losses;
        CToneMelody read;
        std::string error;
        ASSERT_TRUE(ReadIMelodyFile(WriteIMelodyFile(melody, losses), read, losses, error)) << error;
        EXPECT_EQ(read.strName, melody.strName);
        EXPECT_EQ(read.nTempo, melody.nTempo);
        ASSERT_EQ(read.notes, melody.notes) << "round " << round;
        EXPECT_TRUE(losses.empty());
    }
}

struct ReadCase {
    const char* name;
    std::string text;
    std::string tone;     // "NAME BEAT: tokens..."
    Strings notes;
    std::vector<ToneLoss> losses;
};

class IMelodyRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IMelodyRead, Reads)
{
    CToneMelody read;
    std::vector<ToneLoss> losses;
    std::string error;
    ASSERT_TRUE(ReadIMelodyFile(GetParam().text, read, losses, error)) << error;
    EXPECT_EQ(read.strName + " " + std::to_string(read.nTempo), GetParam().tone);
    EXPECT_EQ(Tokens(read.notes), GetParam().notes);
    EXPECT_EQ(losses, GetParam().losses);
}

const std::string kBegin = "BEGIN:IMELODY\r\nVERSION:1.2\r\nFORMAT:CLASS1.0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, IMelodyRead,
    testing::Values(
        // The example of the EMS iMelody description.
        ReadCase{"the_example_of_the_description",
                 kBegin + "NAME:Melody1\r\nBEAT:120\r\nSTYLE:S1\r\nVOLUME:V7\r\n"
                          "MELODY:V7&b2#c3V-c2*4g3d3V+#d1r3d2e2:d1V+f2f3.\r\nEND:IMELODY\r\n",
                 "Melody1 120",
                 {"4a#5", "8c#5", "4c5", "8g5", "8d5", "2d#5", "8p", "4d5", "4e..5", "2d5", "4f5", "8f.5"},
                 {{Kind::Ignored, "STYLE:S1", "only the natural style (S0) is kept"},
                  {Kind::Ignored, "", "volume changes are left out"}}},
        ReadCase{"octave_prefixes_hold_for_the_notes_after_them_flats_and_lengths",
                 kBegin + "MELODY:*3c0*6&d1b2;*5r3:&e4&g5&a3&b2\r\nEND:IMELODY\r\n",
                 " 120", {"1c4", "2c#7", "4b...7", "8p..", "16d#6", "32f#6", "8g#6", "4a#6"}, {}},
        ReadCase{"field_names_in_any_case_lf_line_ends_and_folded_lines",
                 "begin:imelody\nName:Folded\nbeat:63\nmelody:c2d2\n e2\n\tf2\nend:imelody",
                 "Folded 63", {"4c5", "4d5", "4e5", "4f5"}, {}},
        ReadCase{"a_repeat_block_plays_its_count",
                 kBegin + "BEAT:200\r\nMELODY:c3(d3e3@3)f3(g3ledonvibeon@0V+)\r\nEND:IMELODY\r\n",
                 " 200", {"8c5", "8d5", "8e5", "8d5", "8e5", "8d5", "8e5", "8f5", "8g5"},
                 {{Kind::Ignored, "", "lights, vibration and backlight are left out"},
                  {Kind::Ignored, "", "volume changes are left out"},
                  {Kind::Ignored, "", "a block repeated for ever is played once"}}},
        ReadCase{"octaves_a_ringtone_cannot_play_and_a_beat_outside_the_range",
                 kBegin + "BEAT:1000\r\nMELODY:*2c2*7c2*6c2\r\nEND:IMELODY\r\n",
                 " 900", {"4c7"},
                 {{Kind::Changed, "BEAT:1000", "a beat is 25-900: played at 900"},
                  {Kind::Dropped, "*2c2", "octave *2 is outside *3-*6"},
                  {Kind::Dropped, "*7c2", "octave *7 is outside *3-*6"}}},
        ReadCase{"a_repeat_past_255_notes_stops_there",
                 kBegin + "MELODY:(c5d5@999999999)\r\nEND:IMELODY\r\n", " 120",
                 [] {
                     Strings notes;
                     for (int i = 0; i < 255; ++i)
                         notes.push_back(i % 2 ? "32d5" : "32c5");
                     return notes;
                 }(),
                 {{Kind::Dropped, "1999999743 notes", "more than 255 notes"}}},
        ReadCase{"a_block_longer_than_the_list_counts_each_repeat",
                 [] {
                     std::string text = kBegin + "MELODY:(";
                     for (int i = 0; i < 300; ++i)
                         text += "c5";
                     return text + "@2)\r\nEND:IMELODY\r\n";
                 }(),
                 " 120", Strings(255, "32c5"), {{Kind::Dropped, "345 notes", "more than 255 notes"}}}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    std::string text;
    std::string error;
};

class IMelodyRefuses : public testing::TestWithParam<FaultCase> {};

TEST_P(IMelodyRefuses, TheFile)
{
    CToneMelody read;
    std::vector<ToneLoss> losses;
    std::string error;
    EXPECT_FALSE(ReadIMelodyFile(GetParam().text, read, losses, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IMelodyRefuses,
    testing::Values(
        FaultCase{"not_imelody", "Ode:d=4,o=5,b=120:c,", "not an iMelody file: it does not begin with BEGIN:IMELODY"},
        FaultCase{"empty", "", "not an iMelody file: it does not begin with BEGIN:IMELODY"},
        FaultCase{"cut_short", kBegin + "MELODY:c2d2\r\n", "the file ends before END:IMELODY: it is cut short"},
        FaultCase{"no_melody", kBegin + "END:IMELODY\r\n", "the file holds no MELODY"},
        FaultCase{"a_beat_that_is_no_number", kBegin + "BEAT:fast\r\n", "BEAT:fast is not a number of beats per minute"},
        FaultCase{"a_sharp_the_format_does_not_spell", kBegin + "MELODY:c2#e2\r\nEND:IMELODY\r\n",
                  "MELODY: \"#e\" is not a note (at character 5)"},
        FaultCase{"a_letter_that_is_no_note", kBegin + "MELODY:h2\r\nEND:IMELODY\r\n",
                  "MELODY: \"h\" is not a note (at character 1)"},
        FaultCase{"a_note_without_duration", kBegin + "MELODY:c\r\nEND:IMELODY\r\n",
                  "MELODY: a note's duration is 0 to 5 (at character 2)"},
        FaultCase{"a_duration_of_6", kBegin + "MELODY:c6\r\nEND:IMELODY\r\n",
                  "MELODY: a note's duration is 0 to 5 (at character 2)"},
        FaultCase{"an_octave_of_9", kBegin + "MELODY:*9c2\r\nEND:IMELODY\r\n",
                  "MELODY: an octave prefix is *0 to *8 (at character 1)"},
        FaultCase{"a_nested_repeat", kBegin + "MELODY:(c2(d2@2)@2)\r\nEND:IMELODY\r\n",
                  "MELODY: a repeat block inside a repeat block (at character 4)"},
        FaultCase{"an_unclosed_repeat", kBegin + "MELODY:(c2d2\r\nEND:IMELODY\r\n",
                  "MELODY: a repeat block \"(\" is not closed (at character 6)"},
        FaultCase{"a_repeat_without_count", kBegin + "MELODY:(c2@)\r\nEND:IMELODY\r\n",
                  "MELODY: a repeat count is a number (at character 5)"},
        FaultCase{"a_second_melody", kBegin + "MELODY:c2\r\nMELODY:d2\r\nEND:IMELODY\r\n",
                  "the file holds a second MELODY"},
        FaultCase{"a_volume_of_16", kBegin + "MELODY:V16c2\r\nEND:IMELODY\r\n",
                  "MELODY: a volume is V0 to V15, V+ or V- (at character 1)"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

} // namespace
