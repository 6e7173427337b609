#pragma once
// The files of the devices that take neither RTTTL nor a Smart Messaging tone: the
// Flipper Music Format, the EEPROM melody block of Bluejay and AM32 ESCs, and a C
// header of frequency and length pairs for Arduino's tone(). Plain C++.

#include <cstdint>
#include <string>
#include <vector>

#include "tonefile/ToneMelody.h"
#include "tonefile/ToneTarget.h"

// The size of the ESC's EEPROM melody block, and the pairs it holds after its header.
inline constexpr std::size_t kEscMelodyBytes = 128;
inline constexpr std::size_t kEscMelodyPairs = 62;

// "Filetype: Flipper Music Format", version 0, the tempo, the default length and
// octave, then the notes on one line: [length]LETTER[#][octave][.], P for a rest.
[[nodiscard]] std::string WriteFlipperMusic(const CToneMelody& melody);

// The 128-byte block: the tempo (2 bytes, big-endian), the default octave and length,
// then up to 62 pairs (a note's pulse count and its pitch's wait, or a rest's
// milliseconds and 0), zeros after. False with the reason when a note is outside
// what the ESC plays or the pairs do not fit (fit the tune first).
[[nodiscard]] bool WriteEscMelody(const CToneMelody& melody, std::vector<std::uint8_t>& out, std::string& error);

// A C header: one array of {frequency in Hz (0 for a rest), length in ms} and its
// length, named after the tune.
[[nodiscard]] std::string WriteToneHeader(const CToneMelody& melody);

// The file of a fitted tune for `target` in `form` (the target's form, or its other
// one). False with the reason in `error`.
[[nodiscard]] bool WriteTargetFile(const ToneTarget& target, TargetForm form, const CToneMelody& melody,
                                   std::string& bytes, std::vector<ToneLoss>& losses, std::string& error);

// The form of `target` a file name asks for: its other form where the name ends in
// the other extension, else its own.
[[nodiscard]] TargetForm TargetFormForPath(const ToneTarget& target, const std::string& path);

// What the command line's export --target and the desktop's Export Ringtone both do:
// `melody` fitted to `target` (the fit's changes join `losses`) and written in `form`.
[[nodiscard]] bool ExportToTarget(const CToneMelody& melody, const ToneTarget& target, TargetForm form,
                                  std::string& bytes, std::vector<ToneLoss>& losses, CTargetFit& fit,
                                  std::string& error);
