#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConverterFixture.h"
#include "ringtone/RtttlReader.h"
#include "ringtone/RtttlNumber.h"

namespace {

struct NoteCase {
    const char* name;
    const char* token;
    bool ok;
    std::uint32_t ticks;
    std::uint16_t note;
    std::uint16_t duration;
    std::uint16_t scale;
    std::uint32_t dots;
};

TEST(RtttlReader, NextSectionWalksNameDefaultsAndNotes)
{
    CRtttlReader c("Tone:d=4,o=5,b=120:8c5,8d#5,4p,c.6", 96);
    std::vector<std::string> sections;
    std::string s;
    while (c.NextSection(s))
        sections.push_back(s);
    EXPECT_EQ(sections, (std::vector<std::string>{"Tone", "4", "5", "120", "8c5", "8d#5", "4p", "c.6"}));
    EXPECT_EQ(c.State(), 6);
    EXPECT_EQ(c.DefaultDuration(), 4);
    EXPECT_EQ(c.DefaultOctave(), 5);
    EXPECT_EQ(c.Tempo(), 120);
    EXPECT_FALSE(c.NextSection(s));
}

TEST(RtttlReader, BlanksAndLineBreaksAroundSectionsAndTokensAreTrimmed)
{
    struct Case {
        const char* name;
        const char* text;
        std::vector<std::string> sections;
    };
    const Case cases[] = {
        {"a blank after each comma", "Tone:d=4,o=5,b=120:c, d, e", {"Tone", "4", "5", "120", "c", "d", "e"}},
        {"blanks and tabs in the header, inside the name kept", " My Tone\t: d = 4 ,\to=5, b= 120 :c,",
         {"My Tone", "4", "5", "120", "c"}},
        {"a line break after the last note", "T:d=4,o=5,b=120:c,d\n", {"T", "4", "5", "120", "c", "d"}},
        {"CR LF line ends", "T:d=4,o=5,b=120:\r\nc,\r\nd,\r\ne\r\n", {"T", "4", "5", "120", "c", "d", "e"}},
        {"empty tokens are skipped", "T:d=4,o=5,b=120:,8c5,,8d5, ,8e5,\t,",
         {"T", "4", "5", "120", "8c5", "8d5", "8e5"}},
    };
    for (const Case& k : cases) {
        CRtttlReader c(k.text, 96);
        std::vector<std::string> sections;
        std::string s;
        while (c.NextSection(s))
            sections.push_back(s);
        EXPECT_EQ(sections, k.sections) << k.name;
        EXPECT_EQ(c.State(), 6) << k.name;
    }
}

TEST(RtttlReader, HeaderSectionsAreRefusedOutOfOrderAndTheStateStays)
{
    struct Case {
        const char* name;
        const char* text;
        std::uint16_t stopsAt;
    };
    const Case cases[] = {
        {"a text starting with a colon has no name", ":d=4,o=5,b=120:c,", 0},
        {"a name alone has no colon", "Tone", 0},
        {"o= before d= is no duration", "T:o=5,d=4,b=120:c,", 1},
        {"a name of blanks is no name", " \t:d=4,o=5,b=120:c,", 0},
        {"a blank in place of the = is no duration", "T:d 4,o=5,b=120:c,", 1},
        {"a letter without = is no duration", "T:d,o=5,b=120:c,", 1},
        {"a missing octave", "T:d=4,b=120:c,", 2},
        {"no colon after the b= section", "T:d=4,o=5,b=120,c,d", 3},
        {"a single note without a comma", "T:d=4,o=5,b=120:c", 4},
    };
    for (const Case& k : cases) {
        CRtttlReader c(k.text, 96);
        std::string s;
        while (c.NextSection(s)) {
        }
        EXPECT_EQ(c.State(), k.stopsAt) << k.name;
        EXPECT_FALSE(c.NextSection(s)) << k.name;
        EXPECT_EQ(c.State(), k.stopsAt) << k.name;
    }
    CRtttlReader upper("T:D=8,O=6,B=63:c,", 96);
    std::string s;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(upper.NextSection(s));
    EXPECT_EQ(upper.DefaultDuration(), 8);
    EXPECT_EQ(upper.DefaultOctave(), 6);
    EXPECT_EQ(upper.Tempo(), 63);
}

TEST(RtttlReader, ParseNoteReadsDurationNameDotsAndOctave)
{
    const NoteCase cases[] = {
        {"an eighth c in octave 5", "8c5", true, 48, 60, 2, 1, 0},
        {"upper case is the same note", "8C#5", true, 48, 61, 2, 1, 0},
        {"an upper-case P is a pause", "8P", true, 48, kRtttlPause, 2, 0, 0},
        {"a dot after the octave is ignored", "8c#5.", true, 48, 61, 2, 1, 0},
        {"a dot before the octave counts", "8c#.5", true, 72, 61, 2, 1, 1},
        {"defaults fill duration and octave", "c", true, 96, 72, 3, 2, 0},
        {"a whole note is four quarters", "1a4", true, 384, 57, 5, 0, 0},
        {"a 32nd is an eighth of a quarter", "32b7", true, 12, 95, 0, 3, 0},
        {"double dots add a half and a quarter", "4c..5", true, 216, 60, 3, 1, 2},
        {"three dots are counted", "8c...5", true, 162, 60, 2, 1, 3},
        {"an octave outside 4..7 has no scale", "8c3", true, 48, 36, 2, kRtttlNoScale, 0},
        {"a pause ignores its octave", "8p9", true, 48, kRtttlPause, 2, 0, 0},
        {"a blank inside a token fails", "8 c5", false, 0, 0, 0, 0, 0},
        {"h is no note", "8h5", false, 0, 0, 0, 0, 0},
        {"e sharp is no note", "8e#5", false, 0, 0, 0, 0, 0},
        {"b sharp is no note", "b#5", false, 0, 0, 0, 0, 0},
        {"a duration of 3 fails", "3c5", false, 0, 0, 0, 0, 0},
        {"a duration of 64 fails", "64c5", false, 0, 0, 0, 0, 0},
        {"a duration of 12 fails", "12c5", false, 0, 0, 0, 0, 0},
        {"an empty token fails", "", false, 0, 0, 0, 0, 0},
    };
    CRtttlReader c("T:d=4,o=6,b=120:", 96);
    std::string s;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(c.NextSection(s));
    for (const NoteCase& k : cases) {
        RtttlNote n;
        ASSERT_EQ(c.ParseNote(k.token, n), k.ok) << k.name;
        if (!k.ok)
            continue;
        EXPECT_EQ(n, (RtttlNote{k.ticks, k.note, k.duration, k.scale, k.dots})) << k.name;
    }
}

TEST(RtttlReader, DivisionZeroAndSmpteDivisionsCountNinetySixTicks)
{
    EXPECT_EQ(CRtttlReader("", 0).TicksPerQuarter(), 96);
    EXPECT_EQ(CRtttlReader("", 0xE728).TicksPerQuarter(), 96);
    CRtttlReader c("", 480);
    RtttlNote n;
    ASSERT_TRUE(c.ParseNote("1c5", n));
    EXPECT_EQ(n.dwTicks, 1920u);
}

TEST(RtttlReader, AtoiRulesSaturateInsteadOfOverflowing)
{
    EXPECT_EQ(RtttlAtoi("  120x"), 120);
    EXPECT_EQ(RtttlAtoi("-7"), -7);
    EXPECT_EQ(RtttlAtoi("+9"), 9);
    EXPECT_EQ(RtttlAtoi("x9"), 0);
    EXPECT_EQ(RtttlAtoi(""), 0);
    EXPECT_EQ(RtttlAtoi("99999999999999999999"), 2147483647);
    EXPECT_EQ(RtttlAtoi("-99999999999999999999"), -2147483647 - 1);
}

TEST_F(ConverterTest, RebuiltTextKeepsAcceptedTokensAsTyped)
{
    struct Case {
        const char* name;
        const char* text;
        const char* rebuilt;
        std::size_t notes;
    };
    const Case cases[] = {
        {"four notes each get a comma", "Tone:d=4,o=5,b=120:8c5,8d#5,4p,c.6", "Tone:d=4,o=5,b=120:8c5,8d#5,4p,c.6,", 4},
        {"letter case is kept", "T:D=4,O=5,B=120:8C#5,8P,", "T:d=4,o=5,b=120:8C#5,8P,", 2},
        {"bad tokens are dropped", "T:d=4,o=5,b=120:8c5,8c3,3c5,h,8e#5,8d5", "T:d=4,o=5,b=120:8c5,8d5,", 2},
        {"tokens are written trimmed", "T : d=4,o=5,b=120:\r\n 8c5 ,\t8d5\r\n", "T:d=4,o=5,b=120:8c5,8d5,", 2},
        {"a single note without a comma gives none", "T:d=4,o=5,b=120:c", "T:d=4,o=5,b=120:", 0},
        {"the last note needs no comma", "T:d=4,o=5,b=120:c,d", "T:d=4,o=5,b=120:c,d,", 2},
        {"an empty token loses no note", "T:d=4,o=5,b=120:8c5,,8d5, ,8e5", "T:d=4,o=5,b=120:8c5,8d5,8e5,", 3},
        {"a pause with octave 9 is kept", "T:d=4,o=5,b=120:8p9,c,", "T:d=4,o=5,b=120:8p9,c,", 2},
        {"names may hold blanks and commas", "My, Tone:d=4,o=5,b=120:c,", "My, Tone:d=4,o=5,b=120:c,", 1},
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(Run(k.text)) << k.name;
        EXPECT_EQ(m_text, k.rebuilt) << k.name;
        EXPECT_EQ(m_notes.size(), k.notes) << k.name;
    }
    EXPECT_TRUE(m_prompt.Entries().empty());
}

TEST_F(ConverterTest, EveryTokenLeftOutIsReportedWithItsReason)
{
    using R = DroppedToken::Reason;
    struct Case {
        const char* name;
        const char* text;
        std::vector<DroppedToken> dropped;
    };
    const Case cases[] = {
        {"nothing left out, nothing reported", "T:d=4,o=5,b=120:c,8p9,d\n", {}},
        {"an octave above 7", "T:d=4,o=5,b=120:8c9,c,", {{"8c9", R::Octave, "octave 9 is outside 4-7"}}},
        {"the default octave below 4", "T:d=4,o=3,b=120:c,", {{"c", R::Octave, "octave 3 is outside 4-7"}}},
        {"a length of 3", "T:d=4,o=5,b=120:c, 3d5", {{"3d5", R::Length, "length 3 is not 1, 2, 4, 8, 16 or 32"}}},
        {"a default length of 5", "T:d=5,o=5,b=120:c,", {{"c", R::Length, "length 5 is not 1, 2, 4, 8, 16 or 32"}}},
        {"an unknown name, as typed", "T:d=4,o=5,b=120:8H5,c,", {{"8H5", R::NoteName, "\"H\" is not a note name"}}},
        {"e sharp", "T:d=4,o=5,b=120:8e#5,c,", {{"8e#5", R::NoteName, "\"e#\" is not a note name"}}},
        {"a length without a name", "T:d=4,o=5,b=120:c,8", {{"8", R::NoteName, "no note name"}}},
        {"a single note without a comma", "T:d=4,o=5,b=120: 8c5 \n",
         {{"8c5", R::LoneNote, "a single note needs a comma after it"}}},
        {"several, in text order", "T:d=4,o=5,b=120:8c9,c,3d5",
         {{"8c9", R::Octave, "octave 9 is outside 4-7"}, {"3d5", R::Length, "length 3 is not 1, 2, 4, 8, 16 or 32"}}},
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(Run(k.text)) << k.name;
        EXPECT_EQ(m_dropped, k.dropped) << k.name;
    }
}

TEST(DroppedSummary, NamesTheFirstFiveAndCountsTheRest)
{
    using R = DroppedToken::Reason;
    const DroppedToken octave{"8c9", R::Octave, "octave 9 is outside 4-7"};
    const DroppedToken length{"3d5", R::Length, "length 3 is not 1, 2, 4, 8, 16 or 32"};
    const DroppedToken cut{"8e5", R::Truncated, "cut to fit one message"};
    EXPECT_EQ(DroppedSummary({}), "");
    EXPECT_EQ(DroppedSummary({octave}), "1 note left out: 8c9 (octave 9)");
    EXPECT_EQ(DroppedSummary({octave, length}), "2 notes left out: 8c9 (octave 9), 3d5 (length 3)");
    EXPECT_EQ(DroppedSummary({octave, length, cut, cut, cut, cut, cut}),
              "7 notes left out: 8c9 (octave 9), 3d5 (length 3), 8e5 (cut), 8e5 (cut), 8e5 (cut), and 2 more");
}

} // namespace

namespace {

TEST(RtttlReader, ReadsAWholeTextWithoutAPromptAndSaysWhatTheHeaderMisses)
{
    const RingtoneSketch missing = CRtttlReader("Tone:d=4,b=120:c,d", 0).Sketch(true);
    EXPECT_FALSE(missing.bHeaderRead);
    EXPECT_EQ(missing.strHeaderError,
              "RTTTL does not contain default octave. Refer to RTTTL.txt about ringtone format.");

    CRtttlReader reader("Tone:d=4,o=5,b=120:8c5,8c9,d", 0);
    const RingtoneSketch sketch = reader.Sketch(true);
    ASSERT_TRUE(sketch.bHeaderRead);
    EXPECT_EQ(reader.ToneName(), "Tone");
    EXPECT_EQ(reader.Notes().size(), 2u);
    ASSERT_EQ(sketch.dropped.size(), 1u);
    EXPECT_EQ(sketch.dropped[0].strReason, "octave 9 is outside 4-7");

    // What a recording that found notes writes, and what one that found none writes.
    EXPECT_TRUE(RtttlHoldsANote("Tone:d=4,o=5,b=120:4p,8c5,"));
    EXPECT_TRUE(RtttlHoldsANote("Tone:d=4,o=5,b=120:8c5"));
    EXPECT_FALSE(RtttlHoldsANote("Tone:d=4,o=5,b=120:4p,8p,"));
    EXPECT_FALSE(RtttlHoldsANote("Tone:d=4,o=5,b=120:"));
}

} // namespace
