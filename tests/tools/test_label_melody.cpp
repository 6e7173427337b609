#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

constexpr std::uint32_t Q = 96;
constexpr std::uint8_t kText = 0x01;
constexpr std::uint8_t kTrackName = 0x03;
constexpr int kLineNotes = 64;

int LinePitch(int i)
{
    static const int steps[] = {0, 2, 4, 5, 7, 5, 4, 2};
    return 60 + steps[i % 8];
}

// A stepwise line of eighths through the whole song, on `channel`, `transpose`d.
CTrackBytes Line(const std::string& name, int channel, int transpose = 0)
{
    CTrackBytes t;
    t.Text(0, kTrackName, name);
    for (int i = 0; i < kLineNotes; ++i)
        t.On(0, channel, LinePitch(i) + transpose).Off(Q / 2, channel, LinePitch(i) + transpose);
    return t.End();
}

// Held chords on every bar, under the line.
CTrackBytes Chords(const std::string& name, int channel)
{
    CTrackBytes t;
    t.Text(0, kTrackName, name);
    for (int bar = 0; bar < kLineNotes / 8; ++bar) {
        t.On(0, channel, 48).On(0, channel, 52).On(0, channel, 55);
        t.Off(4 * Q, channel, 48).Off(0, channel, 52).Off(0, channel, 55);
    }
    return t.End();
}

// A karaoke file's words: a text event at each note of the line, after its header.
CTrackBytes Words()
{
    CTrackBytes t;
    t.Text(0, kTrackName, "Words").Text(0, kText, "@TA song");
    for (int i = 0; i < kLineNotes; ++i)
        t.Text(i ? Q / 2 : 0, kText, i % 4 ? "la" : "/La");
    return t.End();
}

struct Row {
    std::string channels;
    std::string how;
};

// The rows label_melody prints for the folder, by file name.
std::map<std::string, Row> Label(const CTempDir& dir, const std::string& rule)
{
    const ProgramResult run = RunProgram({BuildProgram("label_melody"), dir.Path(), "test:.:" + rule});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::map<std::string, Row> rows;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        EXPECT_EQ(fields.size(), 4u) << line;
        if (fields.size() == 4)
            rows[fields[0].substr(fields[0].rfind('/') + 1)] = Row{fields[1], fields[2]};
    }
    return rows;
}

TEST(LabelMelody, FindsTheSungChannelFromTheWordsAndTheChannelsThatDoubleItButNotASecondVoiceInThirds)
{
    CTempDir dir;
    // The track named as the voice doubles the sung channel an octave up: the two marks agree.
    ASSERT_TRUE(WriteBytes(dir.File("karaoke.kar"),
                           SmfBytes(Q, {Words(), Chords("Piano", 0), Line("Track 3", 2), Line("Lead Vocal", 5, 12)})));
    // A second voice a third above, struck with the first: the words cannot tell which is sung.
    ASSERT_TRUE(WriteBytes(dir.File("duet.kar"),
                           SmfBytes(Q, {Words(), Chords("Piano", 0), Line("Track 3", 2), Line("Track 4", 3, 4)})));
    const std::map<std::string, Row> rows = Label(dir, "words");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.at("karaoke.kar").channels, "3,6");
    EXPECT_EQ(rows.at("karaoke.kar").how.rfind("words: 64 syllables", 0), 0u) << rows.at("karaoke.kar").how;
    EXPECT_EQ(rows.at("duet.kar").channels, "-");
    EXPECT_EQ(rows.at("duet.kar").how.rfind("words: channels 3 and 4 meet the 64 syllables alike", 0), 0u)
        << rows.at("duet.kar").how;
}

TEST(LabelMelody, TakesOneTrackNamedAsTheVoiceAndNoSynthesizerVoiceBackingVoiceOrLeadGuitar)
{
    CTempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("named.mid"),
                           SmfBytes(Q, {Chords("Voice Oohs", 0), Line("Lead Guitar", 1, 7), Line("Lead Vocal", 3),
                                        Line("Bg Vocals", 4, 4), Line("Lead 6 (voice)", 5, 5),
                                        Line("Syn Vox", 6, 9)})));
    ASSERT_TRUE(WriteBytes(dir.File("unnamed.mid"),
                           SmfBytes(Q, {Chords("Space Voice", 0), Line("Lead Guitar", 1, 7)})));
    ASSERT_TRUE(WriteBytes(dir.File("again.mid"), ReadBytes(dir.File("named.mid"))));
    ASSERT_TRUE(WriteBytes(dir.File("chords.mid"), SmfBytes(Q, {Chords("Vocals", 0), Line("Strings", 1)})));
    ASSERT_TRUE(WriteBytes(dir.File("satb.mid"), SmfBytes(Q, {Line("Soprano", 0, 7), Line("Alto", 1)})));
    ASSERT_TRUE(WriteBytes(dir.File("swapped.mid"), SmfBytes(Q, {Line("Soprano", 0), Line("Alto", 1, 7)})));
    const std::map<std::string, Row> rows = Label(dir, "names");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows.at("satb.mid").channels, "1");
    EXPECT_EQ(rows.at("swapped.mid").channels, "-");
    EXPECT_EQ(rows.at("swapped.mid").how.rfind("the track named soprano lies below the one named alto", 0), 0u);
    EXPECT_EQ(rows.at("again.mid").channels, "4"); // sorted first, so the copy is named.mid
    EXPECT_EQ(rows.at("named.mid").channels, "-");
    EXPECT_EQ(rows.at("named.mid").how.rfind("the same file as", 0), 0u);
    EXPECT_EQ(rows.at("unnamed.mid").channels, "-");
    EXPECT_EQ(rows.at("unnamed.mid").how, "no sung syllables and no track named as the tune");
    EXPECT_EQ(rows.at("chords.mid").channels, "-");
    EXPECT_EQ(rows.at("chords.mid").how.rfind("the track named as the tune plays chords", 0), 0u);
}

TEST(LabelMelody, TakesAThemeTuneLeadOrHighPartAloneButNotThePiecesTitleOrAnInstrumentsOrSynthesizersLead)
{
    CTempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("theme.mid"), SmfBytes(Q, {Chords("Piano", 0), Line("Theme 1", 2)})));
    ASSERT_TRUE(WriteBytes(dir.File("title.mid"), SmfBytes(Q, {Line("Hyrule Castle Theme", 0), Line("Flute", 2)})));
    ASSERT_TRUE(WriteBytes(dir.File("credit.mid"), SmfBytes(Q, {Line("Lead by:", 0, 2), Chords("Piano", 1)})));
    ASSERT_TRUE(WriteBytes(dir.File("lead.mid"), SmfBytes(Q, {Chords("Piano", 0), Line("Lead", 4)})));
    ASSERT_TRUE(WriteBytes(dir.File("banjo.mid"), SmfBytes(Q, {Line("Lead Banjo", 0, 2), Chords("Piano", 1)})));
    ASSERT_TRUE(WriteBytes(dir.File("sound.mid"),
                           SmfBytes(Q, {Line("Synthesised Lead 7", 0, 2), Chords("Piano", 1)})));
    ASSERT_TRUE(WriteBytes(dir.File("square.mid"), SmfBytes(Q, {Line("Lead 1 (square)", 0, 2), Chords("Piano", 1)})));
    ASSERT_TRUE(WriteBytes(dir.File("duet.mid"), SmfBytes(Q, {Line("Vocals Low", 0), Line("Vocals High", 2, 4)})));
    const std::map<std::string, Row> rows = Label(dir, "names");
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows.at("theme.mid").channels, "3");
    EXPECT_EQ(rows.at("lead.mid").channels, "5");
    EXPECT_EQ(rows.at("duet.mid").channels, "3");
    for (const char* left : {"title.mid", "credit.mid", "banjo.mid", "sound.mid", "square.mid"})
        EXPECT_EQ(rows.at(left).channels, "-") << left;
}

} // namespace
