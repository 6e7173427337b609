#pragma once
// A ringtone of the song itself: the planned range of the whole arrangement (or of
// the channels asked for) rendered by the built-in synthesizer, faded in over 5 ms
// and out over 1.5 s (or, for a loop, ended on its bar line with no fade), brought
// to the ringtone loudness, and encoded as the phone takes it with its title.

#include <cstdint>
#include <functional>
#include <string>

#include "song/MidiSong.h"
#include "song/SongNotes.h"
#include "songtone/Loudness.h"
#include "songtone/SongRingtonePlan.h"
#include "tonefile/SoundEncoder.h"

inline constexpr double kSongRingtoneFadeInSeconds = 0.005;
inline constexpr double kSongRingtoneFadeOutSeconds = 1.5;

struct SongRingtoneOptions {
    SoundContainer container = SoundContainer::M4rAac;
    std::string strTitle;
    bool bLoop = false;          // no fade-out; an .ogg is tagged ANDROID_LOOP=true
    std::uint16_t wChannels = 0xFFFF;
    std::string strSoundFont;    // empty: the system's
    std::function<void(double)> progress; // the share done, 0..1, now and then
};

struct SongRingtoneReport {
    SongRingtoneRange range;
    LoudnessReport loudness;
};

// Renders `range` of `song` (whose notes are `notes`) into `bytes`. False with the
// reason (no SoundFont, a song the player refuses, an encoder fault).
[[nodiscard]] bool RenderSongRingtone(const CMidiSong& song, const CSongNotes& notes, const SongRingtoneRange& range,
                                      const SongRingtoneOptions& options, std::string& bytes,
                                      SongRingtoneReport& report, std::string& error);
