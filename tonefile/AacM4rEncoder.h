#pragma once
// 16-bit samples encoded as AAC (low complexity) in an MPEG-4 audio file of the kind
// iPhones take as a ringtone (.m4r: the "ipod" MPEG-4 layout), through FFmpeg's
// libavcodec and libavformat, in memory.

#include <cstddef>
#include <cstdint>
#include <string>

// `frames` interleaved frames of `channels` (1 or 2) at `sampleRate`, encoded into
// `out`. False with the library's reason in `error`.
[[nodiscard]] bool EncodeAacM4r(const std::int16_t* samples, std::size_t frames, int sampleRate, int channels,
                                std::string& out, std::string& error);
