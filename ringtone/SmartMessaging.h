#pragma once
// The Smart Messaging ringing-tone message (basic song, one pattern) built from
// RingtoneNote records, its 130-octet verdict and its hex text file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ringtone/RingtoneNote.h"
#include "ringtone/RtttlNote.h"

// The largest message that still fits a ringtone.
inline constexpr std::size_t kMaxRingtoneOctets = 130;
// Characters of the name that go into the title.
inline constexpr std::size_t kMaxRingtoneTitle = 10;

// Builds the message for the first `count` notes (count is clamped to 0..255) and,
// when writeFile is set, writes it to `path` as upper-case hex with no separator or
// line break. Returns true when the message is at most 130 octets, whatever the flag
// and whether the file could be written.
bool EncodeRingtone(const std::string& path, const std::string& name, std::int32_t tempo, std::int32_t count,
                    const RingtoneNote* notes, bool writeFile);

// The message octets themselves, for callers that keep them in memory. The pattern
// declares the number of instructions it really holds (style, tempo, first scale,
// every scale change, every note), modulo 256.
[[nodiscard]] std::vector<std::uint8_t> BuildRingtoneMessage(const std::string& name, std::int32_t tempo,
                                                             std::int32_t count, const RingtoneNote* notes);

// Upper-case hex of the octets, two digits each, no separator.
[[nodiscard]] std::string HexOf(const std::vector<std::uint8_t>& octets);

// Creates (or truncates) `path` and writes HexOf(octets) into it. False with the
// system's reason in `error` when the file cannot be created or written; a file
// that failed half-way is deleted.
[[nodiscard]] bool WriteRingtoneHexFile(const std::string& path, const std::vector<std::uint8_t>& octets,
                                        std::string& error);

// The 5-bit tempo code: the index of the first entry of the tempo table (25, 28, ...
// 800, 900 beats per minute) at or above `bpm`. 25 or less, zero and negative tempos
// give 0; a tempo above 900, which the table cannot reach, gives 31 (900, the fastest
// the message can say).
[[nodiscard]] std::uint8_t TempoCode(std::int32_t bpm);
// Beats per minute of a tempo code 0..31 (the code is taken modulo 32).
[[nodiscard]] std::int32_t TempoOfCode(std::uint8_t code);
// The tempo of the table nearest `bpm` (by ratio): a b= value that the message says
// exactly, so the phone plays what the preview plays. 25 for 0 or less.
[[nodiscard]] std::int32_t NearestTableTempo(double bpm);

// Writes the `bitCount` (0..8) most significant bits of `value` at bit `bitPos` of
// `buffer`, most significant first, growing the buffer as needed. Returns the bit
// position after them.
std::size_t PutBits(std::vector<std::uint8_t>& buffer, std::size_t bitPos, std::uint8_t value, unsigned bitCount);
// The first `bitCount` bits of `bytes` (most significant bit of each byte first).
std::size_t PutBits(std::vector<std::uint8_t>& buffer, std::size_t bitPos, const std::uint8_t* bytes,
                    std::size_t bitCount);
// Zero bits up to the next multiple of 8; a position on a boundary stays.
std::size_t PadToOctet(std::vector<std::uint8_t>& buffer, std::size_t bitPos);

// The message codes of a parsed note: note value, duration, specifier (1 dot dotted,
// 2 double dotted, 3 the 2/3 length, any other count none) and scale, each
// left-aligned in the low byte. A pause has note value 0 and scale 0x00.
[[nodiscard]] RingtoneNote RingtoneNoteOf(const RtttlNote& note);
