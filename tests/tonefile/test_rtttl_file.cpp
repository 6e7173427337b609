#include <gtest/gtest.h>

#include "ToneTestSupport.h"
#include "tonefile/RtttlFile.h"

namespace {

using Kind = ToneLoss::Kind;

struct WriteCase {
    const char* name;
    CToneMelody melody;
    std::string text;
    std::vector<ToneLoss> losses;
};

class RtttlWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(RtttlWrite, Writes)
{
    std::vector<ToneLoss> losses;
    EXPECT_EQ(WriteRtttlText(GetParam().melody, losses), GetParam().text);
    EXPECT_EQ(losses, GetParam().losses);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RtttlWrite,
    testing::Values(
        // The octave of the dotted notes is the header's, so that a dot reads alike
        // wherever a reader takes it; other octaves stand before their dot.
        WriteCase{"every_note_with_its_length_and_no_comma_after_the_last",
                  {"Ode", 120, {N(64, 2), N(62, 3, 1), N(-1, 1), N(49, 0), N(95, 5)}},
                  "Ode:d=4,o=5,b=120:4e,8d.,2p,1c#4,32b7",
                  {}},
        WriteCase{"the_octave_most_dotted_notes_sound_in",
                  {"Six", 125, {N(60, 2), N(72, 2, 1), N(74, 3, 1), N(60, 3, 1)}},
                  "Six:d=4,o=6,b=125:4c5,4c.,8d.,8c5.",
                  {}},
        WriteCase{"a_single_note_has_no_comma_either", {"One", 63, {N(60, 2)}}, "One:d=4,o=5,b=63:4c", {}},
        WriteCase{"no_notes", {"None", 900, {}}, "None:d=4,o=5,b=900:", {}},
        WriteCase{"a_tempo_off_the_table_is_kept", {"T", 1000, {N(60, 2), N(60, 2)}}, "T:d=4,o=5,b=1000:4c,4c",
                  {}},
        WriteCase{"a_name_past_ten_characters",
                  {"Ode to Joy (piano)", 125, {}},
                  "Ode to Joy:d=4,o=5,b=125:",
                  {{Kind::Ignored, "Ode to Joy (piano)", "RTTTL names are at most 10 characters: written \"Ode to Joy\""}}},
        WriteCase{"a_double_dot_is_a_dot_and_a_rest",
                  {"DD", 125, {N(72, 2, 2), N(-1, 2, 2), N(60, 4, 2)}},
                  "DD:d=4,o=5,b=125:4c6.,16p,4p.,16p,16c.",
                  {{Kind::Changed, "4c..6", "RTTTL has no double dot: written 4c.6,16p"},
                   {Kind::Changed, "16c..5", "RTTTL has no double dot: written 16c.5"}}},
        WriteCase{"a_two_thirds_length_is_the_next_shorter_dotted",
                  {"Tri", 125, {N(60, 3, 3), N(-1, 2, 3), N(62, 5, 3)}},
                  "Tri:d=4,o=5,b=125:16c.,8p.,32d",
                  {{Kind::Changed, "8c...5", "RTTTL has no 2/3 length: written 16c.5"},
                   {Kind::Changed, "4p...", "RTTTL has no 2/3 length: written 8p."},
                   {Kind::Changed, "32d...5", "RTTTL has no 2/3 length: written 32d5"}}},
        WriteCase{"a_name_with_a_colon_or_a_line_break", {"a:b\nc", 125, {}}, "a_b_c:d=4,o=5,b=125:",
                  {{Kind::Ignored, "a:b\nc",
                    "RTTTL names hold no \":\", control characters or bytes that are not UTF-8: written \"a_b_c\""}}},
        WriteCase{"a_title_of_bytes_that_are_not_utf8_or_are_a_c1_control",
                  {"\xE9t\xC3\xA9\x9B\xC2\x9B", 125, {}}, "_t\xC3\xA9__:d=4,o=5,b=125:",
                  {{Kind::Ignored, "\xE9t\xC3\xA9\x9B\xC2\x9B",
                    "RTTTL names hold no \":\", control characters or bytes that are not UTF-8: written "
                    "\"_t\xC3\xA9__\""}}},
        WriteCase{"an_empty_name", {"", 125, {}}, "Tone:d=4,o=5,b=125:", {}}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(RtttlFile, ReadsWhatItWroteAsTheSameNotes)
{
    const CToneMelody melody{"Back", 140, {N(64, 2), N(62, 3, 1), N(-1, 1), N(49, 0), N(95, 5), N(-1, 3, 1)}};
    std::vector<ToneLoss> losses;
    CToneMelody read;
    std::string error;
    ASSERT_TRUE(ReadRtttlTone(WriteRtttlText(melody, losses), read, losses, error)) << error;
    EXPECT_EQ(read.strName, "Back");
    EXPECT_EQ(read.nTempo, 140);
    EXPECT_EQ(read.notes, melody.notes);
    EXPECT_TRUE(losses.empty());
}

TEST(RtttlFile, ReadsAsListenDoesButKeepsNotesPastOneMessage)
{
    std::string text = "Long:d=8,o=5,b=120:c9, ";
    for (int i = 0; i < 300; ++i)
        text += "c,";
    CToneMelody read;
    std::vector<ToneLoss> losses;
    std::string error;
    ASSERT_TRUE(ReadRtttlTone(text, read, losses, error)) << error;
    EXPECT_EQ(read.notes.size(), 255u);
    ASSERT_EQ(losses.size(), 46u);
    EXPECT_EQ(losses[0], (ToneLoss{Kind::Dropped, "c9", "octave 9 is outside 4-7"}));
    EXPECT_EQ(losses[1], (ToneLoss{Kind::Dropped, "c", "more than 255 notes"}));

    EXPECT_FALSE(ReadRtttlTone("no tone here", read, losses, error));
    EXPECT_FALSE(error.empty());
}

// What other tools write: h for b, flats, the dot after the octave, the defaults in
// another order or missing, no name, a lone note without its comma, upper case.
TEST(RtttlFile, ImportsWhatOtherToolsWrite)
{
    struct {
        const char* text;
        std::string name;
        std::int32_t tempo;
        std::vector<RingtoneNote> notes;
    } const cases[] = {
        {"Gn:d=4,o=5,b=125:8h5,h,4c6.", "Gn", 125, {N(71, 3), N(71, 2), N(72, 2, 1)}},
        {"Fl:b=100,o=5,d=8:eb,4bb4,cb6,fb", "Fl", 100, {N(63, 3), N(58, 2), N(71, 3), N(64, 3)}},
        {"d=4,o=6,b=63:c", "", 63, {N(72, 2)}},
        {":d=4,o=6,b=63:C#,8A5.", "", 63, {N(73, 2), N(69, 3, 1)}},
        {"Def:b=90:c", "Def", 90, {N(72, 2)}},
    };
    for (const auto& c : cases) {
        CToneMelody read;
        std::vector<ToneLoss> losses;
        std::string error;
        ASSERT_TRUE(ReadRtttlTone(c.text, read, losses, error)) << c.text << ": " << error;
        EXPECT_EQ(read.strName, c.name) << c.text;
        EXPECT_EQ(read.nTempo, c.tempo) << c.text;
        EXPECT_EQ(read.notes, c.notes) << c.text;
        EXPECT_TRUE(losses.empty()) << c.text;
    }
}

TEST(RtttlFile, SplitsACollectionOneToneALine)
{
    using Tones = std::vector<std::string>;
    EXPECT_EQ(SplitRtttlFile("A:d=4,o=5,b=120:c,d\r\n\r\nB:d=8,o=6,b=63:e,f\n"),
              (Tones{"A:d=4,o=5,b=120:c,d\r", "B:d=8,o=6,b=63:e,f"}));
    // A tone over several lines stays one, in a collection and alone.
    EXPECT_EQ(SplitRtttlFile("A:d=4,o=5,b=120:\n c,\n d\nB:d=4,o=5,b=120:e,"),
              (Tones{"A:d=4,o=5,b=120:\n c,\n d", "B:d=4,o=5,b=120:e,"}));
    EXPECT_EQ(SplitRtttlFile("\xEF\xBB\xBFOde to Joy :\n d=4, o=5, b=120 :\n e, e,\n"),
              (Tones{"Ode to Joy :\n d=4, o=5, b=120 :\n e, e,\n"}));
    EXPECT_EQ(SplitRtttlFile(" \n\n"), Tones{});
    EXPECT_EQ(RtttlNameOf(" My, Tone :d=4,o=5,b=120:c,"), "My, Tone");
}

} // namespace
