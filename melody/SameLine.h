#pragma once
// Which channels play one line with another: the same pitch classes struck at the
// same times, in unison or in octaves, as an arranger doubles a tune with a second
// instrument. Such a pair is one choice of tune, not two.

#include <array>

#include "song/MidiChannels.h"

class CSongNotes;

// Two channels play one line when, of the onsets of both top lines (the highest
// note of each onset), at least this share is struck together, within a
// thirty-second, at the same pitch class.
inline constexpr double kSameLineShare = 0.8;

// The channels that play `channel`'s line along (never `channel` itself).
[[nodiscard]] std::array<bool, kMidiChannels> ChannelsPlayingAlong(const CSongNotes& notes, int channel);
