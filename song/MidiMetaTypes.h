#pragma once
// The meta event types the program acts on, named once for every reader and writer
// of a song.

#include <cstdint>

namespace MidiMeta {
inline constexpr std::uint8_t kText = 0x01;
inline constexpr std::uint8_t kTrackName = 0x03;
inline constexpr std::uint8_t kLyric = 0x05;
inline constexpr std::uint8_t kEndOfTrack = 0x2F;
inline constexpr std::uint8_t kSetTempo = 0x51;
// A Set Tempo event says microseconds per quarter note: this over beats a minute.
inline constexpr std::uint32_t kMicrosecondsPerMinute = 60000000;
inline constexpr std::uint8_t kTimeSignature = 0x58;
} // namespace MidiMeta
