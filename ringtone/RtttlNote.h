#pragma once
// One note token of the RTTTL text as the parser understood it.

#include <array>
#include <cstdint>
#include <string_view>

// The note names RTTTL writes, by semitone (c = 0 .. b = 11).
inline constexpr std::array<std::string_view, 12> kRtttlNoteNames = {"c",  "c#", "d",  "d#", "e",  "f",
                                                                     "f#", "g",  "g#", "a",  "a#", "b"};

inline constexpr std::uint16_t kRtttlPause = 0xFFFF;    // wNote of a pause
inline constexpr std::uint16_t kRtttlNoScale = 0xFFFF;  // wScale of an octave outside 4..7

struct RtttlNote {
    std::uint32_t dwTicks = 0;   // length in MIDI ticks, dots applied
    std::uint16_t wNote = 0;     // semitone (c = 0 .. b = 11) + 12 * octave, or kRtttlPause
    std::uint16_t wDuration = 0; // 0 = 1/32, 1 = 1/16, 2 = 1/8, 3 = 1/4, 4 = 1/2, 5 = whole
    std::uint16_t wScale = 0;    // octave - 4 for octaves 4..7, else kRtttlNoScale; 0 for a pause
    std::uint32_t dwDots = 0;    // number of dots written after the note name

    [[nodiscard]] bool IsPause() const { return wNote == kRtttlPause; }
    friend bool operator==(const RtttlNote&, const RtttlNote&) = default;
};
