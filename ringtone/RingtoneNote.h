#pragma once
// One note of a Smart Messaging ringtone. Each field holds its code left-aligned
// in the low byte: the most significant bits of that byte are the bits sent.

#include <cstdint>

struct RingtoneNote {
    std::uint32_t dwNote = 0;      // pause 0x00; c 0x10, c# 0x20, ... b 0xC0
    std::uint32_t dwDuration = 0;  // 1/32 0xA0, 1/16 0x80, 1/8 0x60, 1/4 0x40, 1/2 0x20, whole 0x00
    std::uint32_t dwSpecifier = 0; // none 0x00, dotted 0x40, double dotted 0x80, 2/3 length 0xC0
    std::uint32_t dwScale = 0;     // octave 4 0x00, 5 0x40, 6 0x80, 7 0xC0

    friend bool operator==(const RingtoneNote&, const RingtoneNote&) = default;
};

// A ringtone holds at most this many notes.
inline constexpr int kMaxRingtoneNotes = 255;
