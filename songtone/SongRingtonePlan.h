#pragma once
// Where a ringtone of the song itself starts and ends, cut as a musician would: from
// a bar line (or, where the bar begins in silence, the first sound after it) to the
// last bar line within the phone's length, or to the song's end and its ring-out.
// Plain C++ on the song's note index.

#include <cstdint>
#include <optional>
#include <string>

#include "song/SongNotes.h"

// An iPhone takes a ringtone under 40 s when synced and under 30 s set on the phone;
// Android plays what it is given.
inline constexpr double kSongRingtoneM4rSeconds = 29.5;
inline constexpr double kSongRingtoneLongestM4rSeconds = 39.9;
inline constexpr double kSongRingtoneOggSeconds = 30;
inline constexpr double kSongRingtoneLongestOggSeconds = 600;
// What rings on after the song's last event when the song ends before the limit.
inline constexpr double kSongRingtoneRingOutSeconds = 1.5;

struct SongRingtoneRequest {
    // The position slider's second to start from; none: where the tune begins (the bar
    // line before the first note of the channel the melody finder ranks first).
    std::optional<std::uint32_t> fromSecond;
    double dMaxSeconds = kSongRingtoneM4rSeconds;
    std::uint16_t wChannels = 0xFFFF; // bit n on: channel n sounds
};

struct SongRingtoneRange {
    std::uint64_t qwStartTick = 0;
    std::uint64_t qwEndTick = 0;   // the last tick that sounds
    double dSeconds = 0;           // how long the ringtone lasts, ring-out included
    bool bStartsOnBarLine = false; // else at the first sound after the bar line
    bool bEndsOnBarLine = false;   // else at the song's end, or at the limit where no bar line fits
};

// The range of `notes` for `request`. False with the reason when no note of the
// channels sounds from the start on.
[[nodiscard]] bool PlanSongRingtone(const CSongNotes& notes, const SongRingtoneRequest& request,
                                    SongRingtoneRange& range, std::string& error);
