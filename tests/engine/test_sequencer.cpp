#include <gtest/gtest.h>

#include "tests/engine/EngineFixture.h"

namespace {

using Sent = CFakeMidiOutput::SentMessage;

class Sequencer : public EngineTest {};

TEST_F(Sequencer, AQuarterNoteAt480TicksAndHalfASecondLasts99Ticks)
{
    Start({CTrackBytes().Tempo(0, 500000).Program(0, 0, 5).On(0, 0, 60).Off(480, 0, 60).End()});
    Play(0);
    EXPECT_EQ(RunToEnd(), 99u);
    // 1,041 microseconds per tick: 499,680 microseconds, due in the step that ends at 99 x 5 ms.
    EXPECT_EQ(CMidiTrackCursor::GetCurrentScale(), 1041u);
    EXPECT_EQ(m_output.Messages(),
              (std::vector<Sent>{{Msg(0xC0, 5), 0, 0}, {Msg(0x90, 60, 100), 0, 0}, {Msg(0x80, 60, 64), 99, 0}}));
}

TEST_F(Sequencer, TwoTracksAtTheSameTickPlayLowerTrackNumberFirst)
{
    Start({CTrackBytes().Tempo(0, 500000).On(480, 1, 50).End(), CTrackBytes().On(480, 2, 70).End()});
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_output.Messages(), (std::vector<Sent>{{Msg(0x91, 50, 100), 99, 0}, {Msg(0x92, 70, 100), 99, 0}}));
}

TEST_F(Sequencer, ATempoChangeRescalesTheRemainingCountdownOfEveryTrack)
{
    Start({CTrackBytes().Tempo(0, 500000).Tempo(240, 250000).End(), CTrackBytes().On(0, 0, 60).Off(480, 0, 60).End()});
    Play(0);
    RunToEnd();
    // The tempo falls due at tick 49; the note-off, 259,680 microseconds away at
    // that moment, becomes 129,716 and falls due 24 steps later.
    EXPECT_EQ(m_output.Messages(), (std::vector<Sent>{{Msg(0x90, 60, 100), 0, 0}, {Msg(0x80, 60, 64), 73, 0}}));
}

TEST_F(Sequencer, TheChaseSendsProgramsAndControllersButNoNotes)
{
    Start({CTrackBytes()
               .Tempo(0, 500000)
               .Program(0, 0, 5)
               .Control(0, 0, 7, 100)
               .On(0, 0, 60)
               .Program(480, 0, 10)
               .Off(0, 0, 60)
               .On(480, 0, 62)
               .Off(480, 0, 62)
               .End()});
    Play(1); // 960 ticks: the note-on of 62 ends the chase and opens the first tick
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0xC0, 5), Msg(0xB0, 7, 100), Msg(0xC0, 10),
                                                             Msg(0x90, 62, 100)}));
    RunToEnd();
    // Half a second after the note-on, on the grid of the start position.
    EXPECT_EQ(m_output.Messages().back(), (Sent{Msg(0x80, 62, 64), 100, 0}));
}

TEST_F(Sequencer, StartingAtSecondZeroChasesNothing)
{
    Start({CTrackBytes().Tempo(0, 500000).Program(0, 0, 5).On(0, 0, 60).End()});
    m_output.ClearMessages();
    m_engine.Seek(0);
    EXPECT_TRUE(m_output.Packed().empty());
    ASSERT_TRUE(m_engine.StartClock());
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0xC0, 5), Msg(0x90, 60, 100)}));
}

TEST_F(Sequencer, StartingBeyondTheEndChasesEveryTrackToItsEndAndThenPlaysNothing)
{
    Start({CTrackBytes().Tempo(0, 500000).Program(0, 0, 5).On(0, 0, 60).Off(480, 0, 60).End(),
           CTrackBytes().Control(960, 1, 10, 64).End()});
    Play(100);
    EXPECT_TRUE(m_engine.AllTracksEnded());
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0xC0, 5), Msg(0xB1, 10, 64)}));
    m_clock.Step(1000);
    EXPECT_EQ(m_output.Packed().size(), 2u);
}

TEST_F(Sequencer, ASongWithoutSetTempoPlaysAtHalfASecondPerQuarter)
{
    // Whatever tempo an earlier song left behind.
    CMidiTrackCursor::SetTickScale(7);
    Start({CTrackBytes().On(0, 0, 60).Off(480, 0, 60).End()});
    EXPECT_EQ(m_engine.GetLastTempo(), 500000u);
    EXPECT_EQ(m_seconds, 5u); // measured at 5,000,000 microseconds per quarter
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_output.Messages().back(), (Sent{Msg(0x80, 60, 64), 99, 0}));
}

TEST_F(Sequencer, AChaseWithoutSetTempoConvertsSecondsAtTheDefaultTempo)
{
    Start({CTrackBytes().Program(480, 0, 1).Program(480, 0, 2).End()});
    m_output.ClearMessages();
    m_engine.Seek(1);
    // One second is 960 ticks: the program at tick 960 belongs to the clock.
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0xC0, 1)}));
    ASSERT_TRUE(m_engine.StartClock());
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0xC0, 1), Msg(0xC0, 2)}));
}

TEST_F(Sequencer, TheFirstSectionOfASongPlaysAtTheDefaultTempoUntilItsFirstSetTempo)
{
    // The scan ends at the slow tempo; playback must still start at 500,000.
    Start({CTrackBytes().On(0, 0, 60).Off(480, 0, 60).Tempo(0, 1000000).On(480, 0, 62).End()});
    Play(0);
    RunToEnd();
    const auto sent = m_output.Messages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1], (Sent{Msg(0x80, 60, 64), 99, 0}));
    // 480 ticks at 2,083 microseconds: 999,840, plus the 4,680 carried early.
    EXPECT_EQ(sent[2], (Sent{Msg(0x90, 62, 100), 99 + 200, 0}));
}

TEST_F(Sequencer, StopClockRewindsAndSendsASystemReset)
{
    Start({CTrackBytes().Tempo(0, 500000).On(0, 0, 60).Off(480, 0, 60).End()});
    Play(0);
    m_clock.Step(10);
    m_engine.StopClock();
    EXPECT_FALSE(m_clock.IsRunning());
    EXPECT_FALSE(m_engine.IsClockRunning());
    EXPECT_EQ(m_output.Packed().back(), Msg(0xFF));
    // Rewound: a new start plays the first note again.
    m_output.ClearMessages();
    ASSERT_TRUE(m_engine.StartClock());
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0x90, 60, 100)}));
}

TEST_F(Sequencer, NothingPlaysWhileTheDeviceIsClosed)
{
    Start({CTrackBytes().Tempo(0, 500000).On(0, 0, 60).End()});
    m_engine.CloseDevice();
    EXPECT_EQ(m_engine.GetTrackCount(), 0u);
    m_output.ClearMessages();
    m_engine.Tick(false);
    EXPECT_TRUE(m_output.Packed().empty());
}

TEST_F(Sequencer, SysexAndTextEventsReachTheObserverButNotTheDevice)
{
    LoadSong(m_song, 480,
             {CTrackBytes().Raw(0, {0xFF, 0x01, 0x02, 'h', 'i'}).Raw(0, {0xF0, 0x02, 0x7E, 0xF7}).On(0, 0, 60).End()});
    std::vector<std::int32_t> kinds;
    ASSERT_TRUE(m_engine.OpenDevice([&](const CMidiMessage& m) { kinds.push_back(m.m_nKind); }));
    ASSERT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), PrepareResult::kOk);
    Play(0);
    EXPECT_EQ(kinds, (std::vector<std::int32_t>{CMidiMessage::kMeta, CMidiMessage::kSysex, CMidiMessage::kChannel,
                                                CMidiMessage::kMeta}));
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0x90, 60, 100)}));
}

class Prepare : public EngineTest {};

TEST_F(Prepare, LabelsEachChannelByItsLastProgramChange)
{
    LoadSong(m_song, 480,
             {CTrackBytes().Program(0, 0, 0).End(), CTrackBytes().Program(0, 15, 3).Program(10, 15, 127).End()});
    ASSERT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, true), PrepareResult::kOk);
    EXPECT_EQ(m_names[0], "#01 PIANO/Acoustic Grand");
    EXPECT_EQ(m_names[15], "#16 SOUND EFFECTS/Gunshot");
    EXPECT_EQ(m_names[1], "#02 Unknown");
    EXPECT_EQ(m_names[9], "#10 Unknown");
    EXPECT_EQ(m_engine.GetTrackCount(), 0u); // discarded
}

TEST_F(Prepare, MeasuresTheLongestTrackAtTheLastTempo)
{
    LoadSong(m_song, 480,
             {CTrackBytes().Tempo(0, 500000).Tempo(480, 1000000).End(), CTrackBytes().On(4800, 0, 60).End(2400)});
    ASSERT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), PrepareResult::kOk);
    EXPECT_EQ(m_seconds, 15u); // 7,200 ticks at one second per quarter
    EXPECT_EQ(m_engine.GetLastTempo(), 1000000u);
    EXPECT_EQ(m_engine.GetTrackCount(), 2u);
}

TEST_F(Prepare, SendsNothingAndWritesTheHeaderOfTheLastTempo)
{
    ASSERT_TRUE(m_engine.OpenDevice());
    m_output.ClearMessages();
    LoadSong(m_song, 480, {CTrackBytes().Tempo(0, 500000).Program(0, 0, 1).On(0, 0, 60).Tempo(0, 400000).End()});
    ASSERT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), PrepareResult::kOk);
    EXPECT_TRUE(m_output.Packed().empty());
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=150:");
}

TEST_F(Prepare, ASongOfEmptyTracksIsZeroSecondsLong)
{
    LoadSong(m_song, 480, {CTrackBytes(), CTrackBytes()});
    ASSERT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), PrepareResult::kOk);
    EXPECT_EQ(m_seconds, 0u);
    EXPECT_TRUE(m_engine.AllTracksEnded());
}

struct RefusalCase {
    const char* name;
    std::uint16_t division;
    int tracks;
    PrepareResult result;
};

class PrepareRefusal : public EngineTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PrepareRefusal, RefusesSongsItCannotTime)
{
    std::vector<CTrackBytes> tracks(static_cast<std::size_t>(GetParam().tracks));
    for (CTrackBytes& t : tracks)
        t.On(0, 0, 60).End();
    LoadSong(m_song, SmfBytes(GetParam().division, tracks));
    m_names[0] = "untouched";
    m_seconds = 77;
    EXPECT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), GetParam().result);
    if (GetParam().result != PrepareResult::kOk) {
        EXPECT_EQ(m_names[0], "untouched");
        EXPECT_EQ(m_seconds, 77u);
        EXPECT_EQ(m_engine.GetTrackCount(), 0u);
        EXPECT_STRNE(PrepareResultText(GetParam().result), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Songs, PrepareRefusal,
    ::testing::Values(RefusalCase{"division_0_is_refused", 0, 1, PrepareResult::kBadDivision},
                      RefusalCase{"division_7_is_refused", 7, 1, PrepareResult::kBadDivision},
                      RefusalCase{"division_8_is_accepted", 8, 1, PrepareResult::kOk},
                      RefusalCase{"a_song_without_tracks_is_refused", 480, 0, PrepareResult::kNoTracks},
                      RefusalCase{"256_tracks_are_accepted", 480, 256, PrepareResult::kOk},
                      RefusalCase{"257_tracks_are_refused", 480, 257, PrepareResult::kTooManyTracks}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Prepare, RefusesASongThatWouldPlayForMoreThanFourHours)
{
    // Four waits of 68,000 ticks at 62,500 microseconds per tick: 4.7 hours.
    CTrackBytes t;
    for (int i = 0; i < 4; ++i)
        t.On(68000, 0, 60);
    LoadSong(m_song, 8, {t.End()});
    EXPECT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), PrepareResult::kTooLong);
}

TEST_F(Prepare, RefusesAHugeDeltaWhoseMicrosecondWaitWouldWrap)
{
    // 0x0FFFFFFF ticks is 776 hours: its wait in microseconds does not fit 32 bits,
    // so the count-down alone would see a short song.
    CTrackBytes t;
    t.On(0x0FFFFFFF, 0, 60);
    LoadSong(m_song, 480, {t.End()});
    EXPECT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), PrepareResult::kTooLong);
}

TEST_F(Prepare, ASetTempoOfZeroIsIgnored)
{
    Start({CTrackBytes().Tempo(0, 0).On(480, 0, 60).End()});
    EXPECT_EQ(m_engine.GetLastTempo(), 500000u);
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_output.Messages().back(), (Sent{Msg(0x90, 60, 100), 99, 0}));
}

} // namespace
