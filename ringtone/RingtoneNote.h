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

// The note's duration code (0 whole .. 5 1/32) and specifier code (0 none, 1 dotted,
// 2 double dotted, 3 2/3 length), as the message sends them.
[[nodiscard]] unsigned NoteDurationCode(const RingtoneNote& note);
[[nodiscard]] unsigned NoteSpecifierCode(const RingtoneNote& note);

// The note's MIDI note number (c5 = 60), or -1 for a pause.
[[nodiscard]] int NotePitch(const RingtoneNote& note);

// The note of MIDI number `pitch` (its octave 4..7 must be checked by the caller)
// with the given duration and specifier codes. pitch -1 gives a pause.
[[nodiscard]] RingtoneNote MakeNote(int pitch, unsigned durationCode, unsigned specifierCode);
