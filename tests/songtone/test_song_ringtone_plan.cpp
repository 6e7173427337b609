// Where a ringtone of the song starts and ends, on songs built here: 120 beats a
// minute in 4/4, so a bar lasts 2 s.

#include <gtest/gtest.h>

#include "song/SongNotes.h"
#include "songtone/SongRingtonePlan.h"
#include "tests/support/MidiBytes.h"

namespace {

constexpr std::uint16_t kDivision = 96;
constexpr std::uint32_t kBar = 4 * kDivision;

// A bar of silence, then `bars` bars of quarter notes on channel 0 (and a bass note
// a bar on channel 1).
void LoadBars(CMidiSong& song, int bars)
{
    CTrackBytes track;
    track.Tempo(0, 500000);
    std::uint32_t delta = kBar;
    for (int bar = 0; bar < bars; ++bar) {
        track.On(delta, 1, 40).On(0, 0, 72);
        delta = 0;
        for (int beat = 0; beat < 4; ++beat) {
            track.Off(kDivision, 0, 72 + beat);
            if (beat < 3)
                track.On(0, 0, 73 + beat);
        }
        track.Off(0, 1, 40);
    }
    track.End();
    LoadSong(song, SmfBytes(kDivision, {track}, 0));
}

TEST(SongRingtonePlan, StartsAtTheFirstSoundAndEndsOnTheLastBarLineWithinTheLength)
{
    CMidiSong song;
    LoadBars(song, 30);
    const CSongNotes notes(song);
    SongRingtoneRequest request;
    request.fromSecond = 0;
    SongRingtoneRange range;
    std::string error;
    ASSERT_TRUE(PlanSongRingtone(notes, request, range, error)) << error;
    // The first bar is silent: the ringtone starts with the first sound, on bar 2.
    EXPECT_EQ(range.qwStartTick, kBar);
    EXPECT_FALSE(range.bStartsOnBarLine);
    // 29.5 s from 2 s: the last bar line within is at 30 s, 28 s on.
    EXPECT_TRUE(range.bEndsOnBarLine);
    EXPECT_EQ(range.qwEndTick, 15 * kBar);
    EXPECT_DOUBLE_EQ(range.dSeconds, 28.0);

    // From second 5 (inside bar 3): back to that bar's line.
    request.fromSecond = 5;
    ASSERT_TRUE(PlanSongRingtone(notes, request, range, error)) << error;
    EXPECT_EQ(range.qwStartTick, 2 * kBar);
    EXPECT_TRUE(range.bStartsOnBarLine);
}

TEST(SongRingtonePlan, ASongShorterThanTheLengthRingsOutAfterItsEnd)
{
    CMidiSong song;
    LoadBars(song, 4);
    const CSongNotes notes(song);
    SongRingtoneRequest request;
    request.fromSecond.reset(); // where the tune begins
    SongRingtoneRange range;
    std::string error;
    ASSERT_TRUE(PlanSongRingtone(notes, request, range, error)) << error;
    EXPECT_EQ(range.qwStartTick, kBar);
    EXPECT_FALSE(range.bEndsOnBarLine);
    EXPECT_DOUBLE_EQ(range.dSeconds, 4 * 2.0 + kSongRingtoneRingOutSeconds);

    // Only channel 3, which plays nothing: said, not rendered silent.
    request.wChannels = 1u << 3;
    EXPECT_FALSE(PlanSongRingtone(notes, request, range, error));
    EXPECT_EQ(error, "no note of the channels sounds from there on");
}

} // namespace
