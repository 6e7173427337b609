#include <gtest/gtest.h>

#include <random>

#include "convert/RingtoneConverter.h"
#include "engine/capture/FaithfulCapture.h"
#include "prompt/Prompt.h"
#include "ringtone/SmartMessaging.h"
#include "settings/SettingsStore.h"
#include "song/SongNotes.h"
#include "tests/support/MidiBytes.h"

namespace {

constexpr std::uint16_t kDivision = 480;
constexpr std::uint32_t Q = kDivision;

struct PlayedNote {
    int pitch;
    std::uint32_t wait; // ticks of silence before it
    std::uint32_t length;
};

CTrackBytes Line(int channel, const std::vector<PlayedNote>& notes)
{
    CTrackBytes t;
    for (const PlayedNote& n : notes)
        t.On(n.wait, channel, n.pitch).Off(n.length, channel, n.pitch);
    return t.End();
}

std::string Notes(const std::vector<CTrackBytes>& tracks, FaithfulCaptureOptions options = {})
{
    CMidiSong song;
    LoadSong(song, kDivision, tracks);
    options.strToneName = "T";
    const std::string text = CaptureFaithful(CSongNotes(song), options).strRtttl;
    const std::string header = "T:d=4,o=5,b=";
    EXPECT_EQ(text.rfind(header, 0), 0u) << text;
    return text.substr(text.find(':', header.size()) + 1);
}

// What the converter reads back: onset and length of each note in quarters, and its pitch.
struct ReadNote {
    double onset;
    double length;
    int pitch;
};

std::vector<ReadNote> ReadBack(const std::string& text)
{
    CMemorySettingsStore settings;
    CRecordingPrompt prompt;
    CRingtoneConverter converter(text, kDivision, settings, prompt);
    std::string section;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(converter.NextSection(section)) << text;
    std::vector<ReadNote> notes;
    double at = 0;
    while (converter.NextSection(section)) {
        RtttlNote note;
        EXPECT_TRUE(converter.ParseNote(section, note)) << section;
        EXPECT_LE(note.wScale, 3) << section;
        const double length = static_cast<double>(note.dwTicks) / kDivision;
        if (!note.IsPause())
            notes.push_back({at, length, note.wNote});
        at += length;
    }
    return notes;
}

TEST(FaithfulCapture, KeepsDottedRhythmsThatThePlainCaptureRoundsDown)
{
    EXPECT_EQ(Notes({Line(0, {{64, 0, Q + Q / 2}, {62, 0, Q / 2}, {62, 0, 2 * Q}})}), "4e.5,8d5,2d5,");
    // Played a little short, a note still takes its whole place; a real silence is a rest.
    EXPECT_EQ(Notes({Line(0, {{60, 0, Q - 40}, {62, 40, Q}, {64, Q, Q / 4}})}), "4c5,4d5,4p,16e5,");
}

TEST(FaithfulCapture, TakesTheHighestNoteOfAChordAndHidesNotesUnderAHeldOne)
{
    CTrackBytes chords;
    chords.On(0, 0, 60).On(0, 0, 67).On(0, 0, 64).Off(Q, 0, 60).Off(0, 0, 67).Off(0, 0, 64);
    // A long high note over a short lower one: the lower one is not heard on top.
    chords.On(0, 0, 72).On(Q / 2, 0, 65).Off(Q / 4, 0, 65).Off(5 * Q / 4, 0, 72).End();
    EXPECT_EQ(Notes({chords}), "4g5,2c6,");
}

TEST(FaithfulCapture, KeepsOneHeaderAcrossATempoChangeAndStartsWithTheTempoInForce)
{
    CTrackBytes conductor;
    conductor.Tempo(0, 600000).Tempo(2 * Q, 300000).End();
    CMidiSong song;
    LoadSong(song, kDivision, {conductor, Line(0, {{60, 0, Q}, {62, 0, Q}, {64, 0, Q}, {65, 0, Q}})});
    const CSongNotes notes(song);
    FaithfulCaptureOptions options;
    options.strToneName = "T";
    EXPECT_EQ(CaptureFaithful(notes, options).strRtttl, "T:d=4,o=5,b=100:4c5,4d5,4e5,4f5,");
    options.qwFromTick = 2 * Q;
    EXPECT_EQ(CaptureFaithful(notes, options).strRtttl, "T:d=4,o=5,b=200:4e5,4f5,");
    // 1.2 seconds at 100 bpm are two quarters, 0.3 more at 200 bpm one more.
    EXPECT_EQ(notes.TickAfterSeconds(0, 1.5), 3 * Q);
    EXPECT_EQ(notes.TickAtSliderSecond(3), 10 * Q); // the slider counts at the last tempo
}

TEST(FaithfulCapture, MovesALowLineByOctavesAndFoldsWhatStillFallsOutside)
{
    const std::vector<PlayedNote> line = {{36, 0, Q}, {43, 0, Q}, {40, 0, Q}, {100, 0, Q}};
    EXPECT_EQ(Notes({Line(0, line)}), "4c4,4g4,4e4,4e7,");
    FaithfulCaptureOptions options;
    CMidiSong song;
    LoadSong(song, kDivision, {Line(0, line)});
    const FaithfulCaptureResult result = CaptureFaithful(CSongNotes(song), options);
    EXPECT_EQ(result.nOctaveShift, 1);
    EXPECT_EQ(result.nFolded, 1);
}

TEST(FaithfulCapture, SplitsARestThatNoOneLengthCanSay)
{
    // Four whole notes of silence: two dotted whole rests and a whole rest.
    EXPECT_EQ(Notes({Line(0, {{60, 0, Q}, {62, 16 * Q, Q}})}), "4c5,1p.,1p.,1p,4d5,");
    // A shorter silence is one rest, the note before it growing into the silence a little.
    EXPECT_EQ(Notes({Line(0, {{60, 0, Q}, {62, 5 * Q / 2, Q}})}), "4c.5,2p,4d5,");
}

TEST(FaithfulCapture, SaysWhatADoubleDotWouldSayInTwoTokens)
{
    // A double-dotted quarter and a sixteenth: the note as a dotted quarter and a
    // sixteenth rest, which every reader plays alike.
    EXPECT_EQ(Notes({Line(0, {{64, 0, 7 * Q / 4}, {62, 0, Q / 4}, {60, 0, Q}})}), "4e.5,16p,16d5,4c5,");
    // A note tied over two and a half whole notes sounds on: the note struck twice.
    EXPECT_EQ(Notes({Line(0, {{64, 0, 10 * Q}, {62, 0, Q}})}), "1e5,1e.5,4d5,");
}

TEST(FaithfulCapture, TakesTheTempoFromTheTableThePhoneReads)
{
    CTrackBytes conductor;
    conductor.Tempo(0, 576923).End(); // 104 beats per minute
    CMidiSong song;
    LoadSong(song, kDivision, {conductor, Line(0, {{60, 0, Q}})});
    const FaithfulCaptureResult result = CaptureFaithful(CSongNotes(song), {});
    EXPECT_EQ(result.nTempo, 100);
    EXPECT_EQ(result.strRtttl, "ZorvatTone:d=4,o=5,b=100:4c5,");
}

TEST(FaithfulCapture, FitEndsOnThePhraseBeforeTheLastRestThatFits)
{
    // Phrases of six sixteenths and a quarter rest, a thirty-second off the bar
    // lines, far longer than one message.
    std::vector<PlayedNote> line;
    for (int phrase = 0; phrase < 30; ++phrase)
        for (int i = 0; i < 6; ++i)
            line.push_back({60 + i, static_cast<std::uint32_t>(phrase == 0 && i == 0 ? Q / 8 : (i == 0 ? Q : 0)), Q / 4});
    CMidiSong song;
    LoadSong(song, kDivision, {Line(0, line)});
    FaithfulCaptureOptions options;
    options.bFitOneMessage = true;
    const FaithfulCaptureResult fit = CaptureFaithful(CSongNotes(song), options);
    EXPECT_TRUE(fit.bCutToFit);
    EXPECT_EQ(fit.nNotes % 6, 0) << fit.strRtttl;
    EXPECT_EQ(fit.strRtttl.substr(fit.strRtttl.size() - 5), "16f5,") << fit.strRtttl;
    // The text ends where the last kept phrase's last note does.
    const auto phrases = static_cast<std::uint64_t>(fit.nNotes / 6);
    EXPECT_EQ(fit.qwEndTick, Q / 8 + (phrases - 1) * 5 * Q / 2 + 3 * Q / 2);
    EXPECT_LE(fit.nOctets, kMaxRingtoneOctets);
    // One phrase more (six notes, a rest and two changes of scale) would not fit.
    EXPECT_GT(fit.nOctets * 8 + 7 * 12 + 2 * 5, kMaxRingtoneOctets * 8);
    options.bFitOneMessage = false;
    EXPECT_EQ(CaptureFaithful(CSongNotes(song), options).nNotes, 180);
}

TEST(FaithfulCapture, TheTuneStartsAtTheBarOfItsFirstNote)
{
    CTrackBytes conductor;
    conductor.Meta(0, 0x58, {3, 2, 24, 8}).End(); // 3/4
    CMidiSong song;
    LoadSong(song, kDivision, {conductor, Line(0, {{60, 0, Q}}), Line(1, {{62, 7 * Q + Q / 2, Q}})});
    const CSongNotes notes(song);
    std::array<bool, 16> second{};
    second[1] = true;
    EXPECT_EQ(TuneStartTick(notes, second), 6 * Q);
    second[1] = false;
    EXPECT_EQ(TuneStartTick(notes, second), 0u);
}

TEST(FaithfulCapture, RecordsOnlyTheEnabledChannelsInTheRange)
{
    FaithfulCaptureOptions options;
    options.bChannelOn.fill(false);
    options.bChannelOn[1] = true;
    options.qwFromTick = Q;
    options.qwToTick = 3 * Q;
    EXPECT_EQ(Notes({Line(0, {{84, 0, 4 * Q}}), Line(1, {{60, 0, Q}, {62, 0, Q}, {64, 0, Q}, {65, 0, Q}})}, options),
              "4d5,4e5,");
}

TEST(FaithfulCapture, EveryOnsetOfAnIrregularLineReadsBackWithinAThirtySecond)
{
    std::mt19937 random(7);
    std::vector<PlayedNote> played;
    std::vector<double> onsets;
    double at = 0;
    for (int i = 0; i < 200; ++i) {
        const std::uint32_t wait = (i > 0 && random() % 3 == 0) ? random() % Q : 0;
        const std::uint32_t length = 30 + random() % (2 * Q);
        at += wait / double(Q);
        onsets.push_back(at);
        played.push_back({55 + static_cast<int>(random() % 30), wait, length});
        at += length / double(Q);
    }
    CMidiSong song;
    LoadSong(song, kDivision, {Line(0, played)});
    FaithfulCaptureOptions options;
    const std::vector<ReadNote> read = ReadBack(CaptureFaithful(CSongNotes(song), options).strRtttl);
    // Each note read back stands within a thirty-second of a played note of its pitch
    // class; only a note closer than a 64th to the next may give way.
    std::size_t first = 0;
    for (const ReadNote& r : read) {
        while (first < onsets.size() && onsets[first] < r.onset - 1.0 / 8)
            ++first;
        bool found = false;
        for (std::size_t i = first; i < onsets.size() && onsets[i] <= r.onset + 1.0 / 8 && !found; ++i)
            found = played[i].pitch % 12 == r.pitch % 12;
        EXPECT_TRUE(found) << "note at " << r.onset;
    }
    EXPECT_GE(read.size(), played.size() - 2);
}

} // namespace
