#pragma once
// Whether two channels play one line: the same pitch classes struck at the same
// times, in unison or in octaves, as an arranger doubles a tune with a second
// instrument. Such a pair is one choice of tune, not two.

class CSongNotes;

// Of the onsets of both channels' top lines (the highest note of each onset), the
// share struck together, within a thirty-second, at the same pitch class: 1 when
// the two play one line, 0 when they never meet.
[[nodiscard]] double SameLineShare(const CSongNotes& notes, int channelA, int channelB);

// At least this share, one channel plays the other's line along.
inline constexpr double kSameLineShare = 0.8;
[[nodiscard]] bool PlaySameLine(const CSongNotes& notes, int channelA, int channelB);
