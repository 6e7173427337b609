#include <gtest/gtest.h>

#include <string>

#include "engine/sequencer/RtttlCapture.h"
#include "tests/engine/EngineFixture.h"

namespace {

constexpr std::uint16_t kThirtySecond = 480 / 8;
const std::string kHeader = "ZorvatTone:d=4,o=5,b=120:";

// A capture that has seen the header of 500,000 microseconds per quarter, division 480.
CRtttlCapture Fresh()
{
    CRtttlCapture c;
    c.SetThirtySecondTicks(kThirtySecond);
    c.WriteHeader(500000);
    return c;
}

struct DurationCase {
    const char* name;
    std::uint32_t delta;
    const char* text;
    std::uint32_t code;
};

class CaptureDuration : public ::testing::TestWithParam<DurationCase> {};

TEST_P(CaptureDuration, NoteOffDeltaBecomesAPowerOfTwoLength)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 60, 100, 0, true);
    c.Capture(0x80, 60, 64, GetParam().delta, true);
    EXPECT_EQ(c.GetRtttl(), kHeader + GetParam().text + "c5,");
    ASSERT_EQ(c.GetCount(), 1);
    EXPECT_EQ(c.GetNotes()[0], (RingtoneNote{0x10, GetParam().code, 0, 0x40}));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, CaptureDuration,
    ::testing::Values(DurationCase{"a_whole_note_is_1", 1920, "1", 0x00}, DurationCase{"a_half_note_is_2", 960, "2", 0x20},
                      DurationCase{"a_quarter_note_is_4", 480, "4", 0x40},
                      DurationCase{"an_eighth_note_is_8", 240, "8", 0x60},
                      DurationCase{"a_sixteenth_note_is_16", 120, "16", 0x80},
                      DurationCase{"a_thirty_second_note_is_32", 60, "32", 0xA0},
                      DurationCase{"three_thirty_seconds_round_down_to_16", 180, "16", 0x80},
                      DurationCase{"a_dotted_quarter_rounds_down_to_4", 720, "4", 0x40},
                      DurationCase{"less_than_a_thirty_second_is_32", 59, "32", 0xA0},
                      DurationCase{"a_note_off_at_delta_0_is_32", 0, "32", 0xA0},
                      DurationCase{"two_whole_notes_are_written_as_one_whole_note", 3840, "1", 0x00},
                      DurationCase{"anything_longer_is_a_whole_note_too", 100000, "1", 0x00}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Capture, VelocityZeroNoteOnAtDeltaZeroWritesAQuarterButRecordsAThirtySecond)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 64, 100, 0, true);
    c.Capture(0x90, 64, 0, 0, true);
    EXPECT_EQ(c.GetRtttl(), kHeader + "4e5,");
    EXPECT_EQ(c.GetNotes()[0], (RingtoneNote{0x50, 0xA0, 0, 0x40}));
}

TEST(Capture, VelocityZeroNoteOnWithADeltaEndsTheNoteLikeANoteOff)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 64, 100, 0, true);
    c.Capture(0x90, 64, 0, 240, true);
    EXPECT_EQ(c.GetRtttl(), kHeader + "8e5,");
    EXPECT_TRUE(c.IsRestPending());
}

TEST(Capture, NotesOutsideOctavesFourToSevenGoToTheTextOnly)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 47, 100, 0, true);
    c.Capture(0x80, 47, 0, 480, true);
    c.Capture(0x90, 96, 100, 0, true);
    c.Capture(0x80, 96, 0, 480, true);
    EXPECT_EQ(c.GetRtttl(), kHeader + "4b3,4c8,");
    EXPECT_EQ(c.GetCount(), 0);
}

TEST(Capture, NoteNamesAndOctavesFollowTheNoteNumber)
{
    EXPECT_EQ(CRtttlCapture::NoteText(60), "c5");
    EXPECT_EQ(CRtttlCapture::NoteText(69), "a5");
    EXPECT_EQ(CRtttlCapture::NoteText(70), "a#5");
    EXPECT_EQ(CRtttlCapture::NoteText(0), "c0");
    EXPECT_EQ(CRtttlCapture::NoteText(127), "g10");
}

TEST(Capture, The256thNoteIsWrittenButNotListed)
{
    CRtttlCapture c = Fresh();
    for (int i = 0; i < 256; ++i) {
        c.Capture(0x90, 72, 100, 0, true);
        c.Capture(0x80, 72, 0, 480, true);
    }
    std::string expected = kHeader;
    for (int i = 0; i < 256; ++i)
        expected += "4c6,";
    EXPECT_EQ(c.GetRtttl(), expected);
    EXPECT_EQ(c.GetCount(), 255);
    EXPECT_EQ(c.GetNotes()[254], (RingtoneNote{0x10, 0x40, 0, 0x80}));
}

TEST(Capture, ARestComesBeforeANoteThatStartsLaterThanTheLastEnded)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 60, 100, 0, true);
    c.Capture(0x80, 60, 0, 480, true);
    c.Capture(0x90, 79, 100, 120, true); // g6: the rest's record takes its octave
    c.Capture(0x90, 62, 100, 0, true);   // no rest for a delta of 0 after a note-on
    EXPECT_EQ(c.GetRtttl(), kHeader + "4c5,16P,4g6,");
    ASSERT_EQ(c.GetCount(), 3);
    EXPECT_EQ(c.GetNotes()[1], (RingtoneNote{0x00, 0x80, 0, 0x80}));
}

TEST(Capture, ARestAtDeltaZeroIsNotWritten)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 60, 100, 0, true);
    c.Capture(0x80, 60, 0, 480, true);
    c.Capture(0x90, 62, 100, 0, true);
    c.Capture(0x80, 62, 0, 480, true);
    EXPECT_EQ(c.GetRtttl(), kHeader + "4c5,4d5,");
}

TEST(Capture, ASecondNoteOnEndsTheSoundingNoteAndItsRecordCarriesThatNote)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 60, 100, 0, true);
    c.Capture(0x90, 88, 100, 480, true); // e7 starts: c5 is written, and recorded as c5
    c.Capture(0x90, 64, 100, 0, true);   // at the same tick: the pending e7 for a quarter
    EXPECT_EQ(c.GetRtttl(), kHeader + "4c5,4e7,");
    ASSERT_EQ(c.GetCount(), 2);
    EXPECT_EQ(c.GetNotes()[0], (RingtoneNote{0x10, 0x40, 0, 0x40}));
    EXPECT_EQ(c.GetNotes()[1], (RingtoneNote{0x50, 0xA0, 0, 0xC0}));
}

TEST(Capture, ANoteOffAlwaysEndsTheLastStartedNoteEvenTwice)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 60, 100, 0, true);
    c.Capture(0x80, 67, 0, 480, true);
    c.Capture(0x80, 60, 0, 240, true);
    EXPECT_EQ(c.GetRtttl(), kHeader + "4c5,8c5,");
    // The records take the note number of the note-off itself.
    EXPECT_EQ(c.GetNotes()[0].dwNote, 0x80u);
    EXPECT_EQ(c.GetNotes()[1].dwNote, 0x10u);
}

TEST(Capture, DisabledChannelsWriteNothingButTheirNoteOffsStillSetTheRestFlag)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 60, 100, 0, false);
    EXPECT_FALSE(c.IsNoteOpen());
    c.Capture(0x80, 60, 0, 480, false);
    EXPECT_EQ(c.GetRtttl(), kHeader);
    EXPECT_TRUE(c.IsRestPending());
}

TEST(Capture, AHeaderRestartsTheTextAndTheList)
{
    CRtttlCapture c = Fresh();
    c.Capture(0x90, 60, 100, 0, true);
    c.Capture(0x80, 60, 0, 480, true);
    c.SetToneName("Intro");
    c.WriteHeader(400000);
    EXPECT_EQ(c.GetRtttl(), "Intro:d=4,o=5,b=150:");
    EXPECT_EQ(c.GetCount(), 0);
    EXPECT_EQ(c.GetTempo(), 120);
}

TEST(Capture, TheNameIsZorvatToneAndTheTempoZeroBeforeAnyHeader)
{
    CRtttlCapture c;
    EXPECT_EQ(c.GetToneName(), "ZorvatTone");
    EXPECT_EQ(c.GetRtttl(), "");
    EXPECT_EQ(c.GetTempo(), 0);
    c.WriteHeader(0); // no tempo, no header
    EXPECT_EQ(c.GetRtttl(), "");
}

class EngineCapture : public EngineTest {};

TEST_F(EngineCapture, TheIntroExampleComesOutExactly)
{
    Start({CTrackBytes().Tempo(0, 500000).On(0, 0, 64).Off(480, 0, 64).On(240, 0, 67).Off(960, 0, 67).End()});
    m_engine.SetToneName("Intro");
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "Intro:d=4,o=5,b=120:4e5,8P,2g5,");
    EXPECT_EQ(m_engine.GetRingtoneNotes(),
              (std::vector<RingtoneNote>{{0x50, 0x40, 0, 0x40}, {0, 0x60, 0, 0x40}, {0x80, 0x20, 0, 0x40}}));
    EXPECT_EQ(m_engine.GetRingtoneTempo(), 120);
}

TEST_F(EngineCapture, ATempoChangeMidRecordingRestartsTheText)
{
    Start({CTrackBytes().Tempo(0, 500000).On(0, 0, 60).Off(480, 0, 60).Tempo(0, 600000).On(0, 0, 62).Off(480, 0, 62).End()});
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=100:4d5,");
    EXPECT_EQ(m_engine.GetRingtoneNotes().size(), 1u);
}

TEST_F(EngineCapture, TheRestFlagCarriesOverToTheNextRecording)
{
    const std::vector<CTrackBytes> song{CTrackBytes().Tempo(0, 500000).On(240, 0, 60).Off(480, 0, 60).End()};
    Start(song);
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=120:4c5,");
    m_engine.StopClock();
    m_engine.CloseDevice();

    // The first recording began without a pending rest; the second one begins
    // with the rest that the first one's note-off left.
    Start(song);
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=120:8P,4c5,");
}

TEST_F(EngineCapture, OnlyEnabledChannelsAreCaptured)
{
    Start({CTrackBytes().Tempo(0, 500000).On(0, 0, 60).Off(480, 0, 60).End(),
           CTrackBytes().On(0, 2, 72).Off(480, 2, 72).End()});
    m_engine.SetChannelOn(0, false);
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=120:4c6,");
}

TEST_F(EngineCapture, ASongWithoutSetTempoStillBeginsWithAHeader)
{
    Start({CTrackBytes().On(0, 0, 60).Off(480, 0, 60).End()});
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=120:4c5,");
    // A second recording does not append to the first.
    m_engine.StopClock();
    Play(0);
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=120:4c5,");
}

TEST_F(EngineCapture, NothingIsCapturedDuringTheChase)
{
    Start({CTrackBytes().Tempo(0, 500000).On(0, 0, 60).Off(480, 0, 60).On(480, 0, 62).Off(960, 0, 62).On(0, 0, 64)
               .Off(480, 0, 64).End()});
    Play(1); // one second is 960 ticks: the chase ends at the note-on of d5
    RunToEnd();
    EXPECT_EQ(m_engine.GetRtttl(), "ZorvatTone:d=4,o=5,b=120:2d5,4e5,");
}

} // namespace
