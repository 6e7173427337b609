#include <gtest/gtest.h>

#include "song/MidiMessage.h"
#include "song/MidiTrackCursor.h"
#include "tests/support/MidiBytes.h"

namespace {

// Restores the process-wide scale pair so tests do not leak into each other.
class CursorTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset()
    {
        CMidiTrackCursor::SetTickScale(0);
        CMidiTrackCursor::SetTickScale(0);
    }

    // One track of note events with the given deltas.
    void LoadDeltas(std::initializer_list<std::uint8_t> deltas)
    {
        Bytes body;
        for (std::uint8_t d : deltas)
            body.insert(body.end(), {d, 0x90, 60, 64});
        LoadSong(m_song, Cat({Header(0, 1, 96), Chunk("MTrk", body)}));
        ASSERT_EQ(m_song.GetTrackList().GetTrackCount(), 1);
    }
    CMidiEvent* First() { return m_song.GetTrackList().GetFirstTrack()->GetFirstEvent(); }

    CMidiSong m_song;
};

TEST_F(CursorTest, EmptyTrackStartsAtEndAndNeverYields)
{
    CMidiTrackCursor cursor;
    cursor.Init(1, nullptr);
    EXPECT_TRUE(cursor.IsAtEnd());
    CMidiMessage msg;
    cursor.CountDown();
    EXPECT_FALSE(cursor.GetDueMessage(msg));
    cursor.Rewind();
    EXPECT_TRUE(cursor.IsAtEnd());
}

TEST_F(CursorTest, WithScaleZeroEveryEventIsDueAtOnce)
{
    LoadDeltas({0, 100, 120});
    CMidiTrackCursor cursor;
    cursor.Init(3, First());
    CMidiMessage msg;
    int due = 0;
    while (cursor.GetDueMessage(msg)) {
        EXPECT_EQ(msg.m_nTrack, 3);
        ++due;
        cursor.Advance();
    }
    EXPECT_EQ(due, 3);
    EXPECT_TRUE(cursor.IsAtEnd());
}

TEST_F(CursorTest, CountDownStepsFiveMillisecondsAndCarriesTheRemainder)
{
    CMidiTrackCursor::SetTickScale(1000); // 1 ms a tick
    LoadDeltas({12, 0, 3});
    CMidiTrackCursor cursor;
    cursor.Init(1, First());
    EXPECT_EQ(cursor.GetPending(), 12000u);
    CMidiMessage msg;
    cursor.CountDown();
    EXPECT_EQ(cursor.GetPending(), 7000u);
    EXPECT_FALSE(cursor.GetDueMessage(msg));
    cursor.CountDown();
    EXPECT_EQ(cursor.GetPending(), 2000u);
    ASSERT_TRUE(cursor.GetDueMessage(msg)); // 2 ms early: carried to the next wait
    EXPECT_EQ(cursor.GetCarried(), 2000u);
    cursor.Advance(); // delta 0 keeps the carry for later
    EXPECT_EQ(cursor.GetPending(), 0u);
    EXPECT_EQ(cursor.GetCarried(), 2000u);
    ASSERT_TRUE(cursor.GetDueMessage(msg));
    cursor.Advance(); // delta 3: 3000 + the carried 2000
    EXPECT_EQ(cursor.GetPending(), 5000u);
    EXPECT_EQ(cursor.GetCarried(), 0u);
    cursor.CountDown();
    cursor.CountDown(); // below one step: left as it is
    EXPECT_EQ(cursor.GetPending(), 0u);
}

TEST_F(CursorTest, RewindReturnsToTheFirstEvent)
{
    CMidiTrackCursor::SetTickScale(1000);
    LoadDeltas({1, 2});
    CMidiTrackCursor cursor;
    cursor.Init(1, First());
    CMidiMessage msg;
    ASSERT_TRUE(cursor.GetDueMessage(msg));
    cursor.Advance();
    cursor.Advance();
    EXPECT_TRUE(cursor.IsAtEnd());
    cursor.Rewind();
    EXPECT_FALSE(cursor.IsAtEnd());
    EXPECT_EQ(cursor.GetCurrent(), First());
    EXPECT_EQ(cursor.GetPending(), 1000u);
    EXPECT_EQ(cursor.GetCarried(), 0u);
}

TEST_F(CursorTest, RescaleAppliesTheRatioOfTheNewScaleToTheOld)
{
    CMidiTrackCursor::SetTickScale(1000);
    LoadDeltas({4});
    CMidiTrackCursor cursor;
    cursor.Init(1, First());
    EXPECT_EQ(cursor.GetPending(), 4000u);
    CMidiTrackCursor::SetTickScale(500);
    EXPECT_EQ(CMidiTrackCursor::GetPreviousScale(), 1000u);
    cursor.Rescale();
    EXPECT_EQ(cursor.GetPending(), 2000u);
}

TEST_F(CursorTest, RescaleDoesNothingWhileThePreviousScaleIsZero)
{
    LoadDeltas({4});
    CMidiTrackCursor::SetTickScale(1000);
    CMidiTrackCursor cursor;
    cursor.Init(1, First());
    cursor.Rescale(); // previous is still 0
    EXPECT_EQ(cursor.GetPending(), 4000u);
}

TEST_F(CursorTest, RescaleBeyondThirtyTwoBitsKeepsTheLargestCountdown)
{
    CMidiTrackCursor::SetTickScale(1);
    LoadDeltas({0x7F});
    CMidiTrackCursor cursor;
    cursor.Init(1, First());
    CMidiTrackCursor::SetTickScale(0xFFFFFFFFu);
    cursor.Rescale();
    EXPECT_EQ(cursor.GetPending(), 0xFFFFFFFFu);
}

TEST_F(CursorTest, GetEventValueReadsTheTempo)
{
    LoadSong(m_song, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20})}));
    CMidiTrackCursor cursor;
    cursor.Init(1, First());
    EXPECT_EQ(cursor.GetEventValue(), 500000);
}

} // namespace
