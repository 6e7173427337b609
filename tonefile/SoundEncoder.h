#pragma once
// 16-bit samples encoded in memory through FFmpeg's libavcodec and libavformat, as
// the phones take a ringtone: AAC (low complexity) in the MPEG-4 audio file iPhones
// read (.m4r: the "ipod" layout), or Vorbis in Ogg for Android, with the tags each reads.

#include <cstddef>
#include <cstdint>
#include <string>

enum class SoundContainer { M4rAac, OggVorbis };

struct SoundTags {
    std::string strTitle; // the ringtone's name, shown by the phone; empty: none
    bool bLoop = false;   // Ogg: ANDROID_LOOP=true, which Android plays over and over without a gap
};

// `frames` interleaved frames of `channels` (1 or 2) at `sampleRate`, encoded into
// `out`. False with the library's reason in `error`.
[[nodiscard]] bool EncodeSound(const std::int16_t* samples, std::size_t frames, int sampleRate, int channels,
                               SoundContainer container, const SoundTags& tags, std::string& out, std::string& error);
