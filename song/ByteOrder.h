#pragma once
// Big-endian conversions and MIDI variable-length quantities, shared by the
// Standard MIDI File reader and writer and by the ringtone preview writer.

#include <cstdint>

class CMidiArchive;

// Reverses the four bytes of a 32-bit value (file order <-> native little-endian).
[[nodiscard]] constexpr std::uint32_t SwapLong(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

// Swaps the two bytes of a 16-bit value.
[[nodiscard]] constexpr std::uint16_t SwapShort(std::uint16_t v)
{
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

// Reads a quantity of at most four bytes (up to 0x0FFFFFFF) into `value`.
// Returns the bytes consumed; `failed` is set when a byte could not be read.
// A fourth byte that still has bit 7 set ends the quantity there (nothing more is read).
std::uint32_t ReadVarLen(CMidiArchive& ar, std::uint32_t& value, bool& failed);

// Writes `value` (only its low 28 bits count) in its shortest form, 1 to 4 bytes.
// Returns false when the archive failed to take the bytes.
bool WriteVarLen(CMidiArchive& ar, std::uint32_t value);

// How many bytes WriteVarLen writes for `value` (1..4).
[[nodiscard]] constexpr std::uint32_t VarLenSize(std::uint32_t value)
{
    value &= 0x0FFFFFFFu;
    return value < (1u << 7) ? 1 : value < (1u << 14) ? 2 : value < (1u << 21) ? 3 : 4;
}

// The bytes WriteVarLen would write, for callers that build data in memory.
// Returns the count (1..4) placed in out[0..count).
std::uint32_t EncodeVarLen(std::uint32_t value, std::uint8_t out[4]);
