#include <gtest/gtest.h>

#include "engine/capture/FaithfulCapture.h"
#include "engine/capture/OfflineRecorder.h"
#include "engine/capture/RecordingPlan.h"
#include "song/MidiSong.h"
#include "song/SongNotes.h"
#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

// Two channels, one quarter note each second for four seconds, then an eighth.
std::vector<CTrackBytes> Metronome()
{
    CTrackBytes melody, bass;
    melody.Tempo(0, 500000);
    for (int i = 0; i < 4; ++i)
        melody.On(i == 0 ? 0 : 480, 0, 60 + 2 * i).Off(480, 0, 60 + 2 * i);
    melody.On(0, 0, 72).Off(240, 0, 72);
    for (int i = 0; i < 4; ++i)
        bass.On(i == 0 ? 0 : 480, 1, 36 + i).Off(480, 1, 36 + i);
    return {melody.End(), bass.End()};
}

class Recorder : public ::testing::Test {
protected:
    Recorder() { LoadSong(m_song, 480, Metronome()); }

    OfflineRecording Run(OfflineRecordOptions options)
    {
        OfflineRecording out;
        COfflineRecorder recorder;
        EXPECT_TRUE(recorder.Record(m_song, options, out)) << recorder.LastError();
        return out;
    }

    CMidiSong m_song;
};

TEST_F(Recorder, RecordsTheChosenChannelToTheEndOfTheSong)
{
    OfflineRecordOptions options;
    options.bChannelOn.fill(false);
    options.bChannelOn[0] = true;
    options.strToneName = "tick";
    const OfflineRecording r = Run(options);
    EXPECT_EQ(r.strRtttl, "tick:d=4,o=5,b=120:4c5,4P,4d5,4P,4e5,4P,4f#5,8c6,");
    EXPECT_EQ(r.notes.size(), 8u);
    EXPECT_EQ(r.nTempo, 120);
    // 3,600 ticks at the last Set Tempo: 3.75 s, of which the length keeps the whole seconds.
    EXPECT_EQ(r.uSongSeconds, 3u);
}

TEST_F(Recorder, StartsAtTheChosenSecondAndStopsAfterTheChosenSpan)
{
    OfflineRecordOptions options;
    options.bChannelOn.fill(false);
    options.bChannelOn[0] = true;
    options.uFromSecond = 1;
    options.nSeconds = 2;
    const OfflineRecording r = Run(options);
    // From second 1 (d5 on) to second 3 (f#5 on, which ends the recording's last tick).
    EXPECT_EQ(r.strRtttl, "ZorvatTone:d=4,o=5,b=120:4d5,4P,4e5,4P,");
    EXPECT_EQ(r.qwTicks, 400u);
}

TEST_F(Recorder, WithEveryChannelOnTheirNotesInterleave)
{
    OfflineRecordOptions options;
    options.nSeconds = 1;
    const OfflineRecording r = Run(options);
    // Both tracks' notes in one stream: each note-on writes the note the other started.
    EXPECT_EQ(r.strRtttl, "ZorvatTone:d=4,o=5,b=120:4c5,4c3,4c3,4P,4d5,");
}

TEST_F(Recorder, ASongItCannotTimeIsReported)
{
    CMidiSong song;
    LoadSong(song, 4, {CTrackBytes().On(0, 0, 60).End()});
    OfflineRecording out;
    COfflineRecorder recorder;
    EXPECT_FALSE(recorder.Record(song, {}, out));
    EXPECT_EQ(recorder.GetPrepareResult(), PrepareResult::kBadDivision);
}

TEST(RecordCommand, PrintsTheRtttlOfTheDemoMelodyAndItsPdu)
{
    const ProgramResult r = RunCli({"record", kDemo, "--channel", "1", "--seconds", "4", "--pdu"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto newline = r.out.find('\n');
    ASSERT_NE(newline, std::string::npos);
    const std::string rtttl = r.out.substr(0, newline);
    EXPECT_EQ(rtttl.rfind("demo:d=4,o=5,b=", 0), 0u) << rtttl;
    EXPECT_GT(rtttl.size(), 30u);
    const std::string pdu = r.out.substr(newline + 1);
    EXPECT_EQ(pdu.rfind("024A3A", 0), 0u) << pdu; // command 2, ringing tone, sound, basic song
    EXPECT_EQ(pdu.back(), '\n');
}

TEST(RecordCommand, FaithfulKeepsTheDemoTuneInPlaceAndAutoFindsItsChannel)
{
    const ProgramResult plain = RunCli({"record", kDemo, "--channel", "1", "--seconds", "8"});
    const ProgramResult faithful = RunCli({"record", kDemo, "--channel", "auto", "--seconds", "8", "--faithful"});
    ASSERT_EQ(faithful.exitCode, 0) << faithful.err;
    EXPECT_NE(plain.out.find(",4e5,8d5,2d5,"), std::string::npos) << plain.out;
    EXPECT_EQ(faithful.out, "demo:d=4,o=5,b=125:4e5,4e5,4f5,4g5,4g5,4f5,4e5,4d5,4c5,4c5,4d5,4e5,4e.5,8d5,2d5,\n");
    EXPECT_EQ(RunCli({"record", kDemo, "--channel", "auto", "--channel", "2"}).exitCode, 2);
    EXPECT_EQ(RunCli({"record", kDemo, "--faithful", "--pdu"}).exitCode, 2);
}

TEST(RecordCommand, FromAutoStartsAtTheTuneAndFitKeepsItToOneMessage)
{
    // An accompaniment from the start; the tune enters after ten seconds and goes
    // on far longer than one message holds, in phrases of seven eighths and a rest.
    CTrackBytes tune, chords;
    for (int i = 0; i < 200; ++i)
        tune.On(i == 0 ? 20 * 480 : (i % 7 == 0 ? 240 : 0), 0, 72 + i % 7).Off(240, 0, 72 + i % 7);
    for (int i = 0; i < 40; ++i)
        chords.On(0, 1, 48).Off(4 * 480, 1, 48);
    CTempDir dir;
    const std::string path = dir.File("late.mid");
    const Bytes bytes = SmfBytes(480, {tune.End(), chords.End()});
    ASSERT_TRUE(WriteFile(path, std::string(bytes.begin(), bytes.end())));

    const ProgramResult fromStart = RunCli({"record", path, "--channel", "1", "--seconds", "4", "--faithful"});
    ASSERT_EQ(fromStart.exitCode, 0) << fromStart.err;
    EXPECT_EQ(fromStart.out, "late:d=4,o=5,b=125:\n");
    const ProgramResult fromTune =
        RunCli({"record", path, "--channel", "1", "--from", "auto", "--seconds", "1", "--faithful"});
    EXPECT_EQ(fromTune.out, "late:d=4,o=5,b=125:8c6,8c#6,8d6,8d#6,\n");
    // The plain recording starts at the slider's second at or before that bar.
    const ProgramResult plain = RunCli({"record", path, "--channel", "1", "--from", "auto", "--seconds", "1"});
    EXPECT_EQ(plain.out.rfind("late:d=4,o=5,b=120:8c6,", 0), 0u) << plain.out;

    const ProgramResult fit = RunCli({"record", path, "--channel", "1", "--from", "auto", "--faithful", "--fit"});
    ASSERT_EQ(fit.exitCode, 0) << fit.err;
    EXPECT_NE(fit.err.find("of 130 octets, ended on a phrase to fit one message"), std::string::npos) << fit.err;
    EXPECT_EQ(fit.out.substr(fit.out.size() - 6), "8f#6,\n") << fit.out; // the last note before a rest
    CTempDir temp;
    const ProgramResult pdu = RunCli({"pdu", "--temp", temp.Path(), "-"}, {.stdinText = &fit.out});
    ASSERT_EQ(pdu.exitCode, 0) << pdu.err;
    EXPECT_NE(pdu.err.find(" of 130 octets\n"), std::string::npos) << pdu.err;
    EXPECT_EQ(RunCli({"record", path, "--fit"}).exitCode, 2);
}

TEST(RecordCommand, RefusesBadChannelsAndBadNumbers)
{
    EXPECT_EQ(RunCli({"record", kDemo, "--channel", "0"}).exitCode, 2);
    EXPECT_EQ(RunCli({"record", kDemo, "--channel", "17"}).exitCode, 2);
    EXPECT_EQ(RunCli({"record", kDemo, "--from", "-1"}).exitCode, 2);
    EXPECT_EQ(RunCli({"record", kDemo, "--seconds", "many"}).exitCode, 2);
    EXPECT_EQ(RunCli({"record"}).exitCode, 2);
    EXPECT_EQ(RunCli({"record", "/nonexistent.mid"}).exitCode, 1);
}

TEST(RecordCommand, TheSameSpanGivesTheSameTextWhateverItIsCutInto)
{
    const ProgramResult whole = RunCli({"record", kDemo, "--channel", "1"});
    const ProgramResult again = RunCli({"record", kDemo, "--channel", "1", "--from", "0"});
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_EQ(whole.out, again.out);
}

TEST(InfoCommand, ShowsTheSongLengthAndTheChannelLabels)
{
    const ProgramResult r = RunCli({"info", kDemo});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("length: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n#01 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n#16 Unknown\n"), std::string::npos) << r.out;
}

// The plan the desktop and the tool share: the tune's channel and where it starts,
// kept in rhythm or recorded as the player does.
TEST_F(Recorder, APlanFindsTheTuneAndItsStartAndRecordsEitherWay)
{
    CMidiSong song;
    CTrackBytes melody, bass;
    melody.Tempo(0, 500000);
    // The bass plays from the start; the stepwise melody comes in at the second bar.
    for (int i = 0; i < 8; ++i)
        bass.On(i == 0 ? 0 : 480, 1, 36 + 7 * (i % 2)).Off(480, 1, 36 + 7 * (i % 2));
    for (int i = 0; i < 8; ++i)
        melody.On(i == 0 ? 1920 : 0, 0, 60 + i % 3).Off(480, 0, 60 + i % 3);
    LoadSong(song, 480, {melody.End(), bass.End()});
    const CSongNotes notes(song);
    RecordingPlan plan;
    std::string error;
    ASSERT_TRUE(ChooseTuneChannel(notes, plan.bChannelOn, error)) << error;
    EXPECT_TRUE(plan.bChannelOn[0]);
    EXPECT_FALSE(plan.bChannelOn[1]);
    EXPECT_EQ(TuneStartTick(notes, plan.bChannelOn), 4u * 480);

    plan.bFromTune = true;
    plan.strToneName = "tune";
    RecordingOutcome played;
    ASSERT_TRUE(RecordByPlan(song, notes, plan, played, error)) << error;
    EXPECT_EQ(played.uFromSecond, 2u);
    EXPECT_EQ(played.notes.size(), 8u);
    plan.bKeepRhythm = true;
    RecordingOutcome kept;
    ASSERT_TRUE(RecordByPlan(song, notes, plan, kept, error)) << error;
    EXPECT_EQ(kept.strRtttl, "tune:d=4,o=5,b=125:4c5,4c#5,4d5,4c5,4c#5,4d5,4c5,4c#5,");
    EXPECT_EQ(kept.nNotes, 8);
}

} // namespace
