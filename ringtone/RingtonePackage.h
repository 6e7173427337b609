#pragma once
// The ringtone package that posting uploads, before compression:
//   offset 0   10 bytes  "ZORVATTONE" (no terminator)
//   offset 10   4 bytes  M, the length of the preview MIDI file, little-endian
//   offset 14   M bytes  the preview MIDI file
//   offset 14+M rest     the ringtone as upper-case hex text, no line break
// On disk and on the wire the whole package is LZW-compressed (LzwFile.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ringtone/LzwFile.h"

inline constexpr char kPackageMagic[] = "ZORVATTONE";
inline constexpr std::size_t kPackageMagicSize = sizeof kPackageMagic - 1;
inline constexpr std::size_t kPackageHeaderSize = kPackageMagicSize + 4;
// More than any package of 255 notes needs; readers refuse to unpack beyond it.
inline constexpr std::size_t kMaxUnpackedPackage = 1u << 20;

struct RingtonePackageParts {
    std::vector<std::uint8_t> midi;    // the preview MIDI file
    std::string strHex;                // the ringtone as hex text
    std::vector<std::uint8_t> message; // the ringtone octets the hex stands for
};

// "<tempDir>/<seconds>": the package name posting uses, the current time in seconds
// since 1970 as a decimal number, no extension.
[[nodiscard]] std::string MakePackagePath(const std::string& tempDir, std::int64_t seconds);

// The uncompressed package of a MIDI file and a hex text.
[[nodiscard]] std::vector<std::uint8_t> BuildRingtonePackage(const std::vector<std::uint8_t>& midi,
                                                             const std::string& hex);

// Creates (or truncates) packagePath and writes the uncompressed package of the two
// files into it. False when a file cannot be read or the package cannot be written;
// a package that failed half-way is deleted. `error` says which file and why.
[[nodiscard]] bool WriteRingtonePackage(const std::string& packagePath, const std::string& midiPath,
                                        const std::string& hexPath, FileError& error);

// The MIDI length M in the header of an uncompressed package, or of its first bytes
// (at least kPackageHeaderSize): lets a reader refuse a large MIDI part before
// unpacking it. False with the fault in `error` for too few bytes or another magic.
[[nodiscard]] bool ReadPackageMidiLength(const std::uint8_t* data, std::size_t size, std::uint32_t& length,
                                         std::string& error);

// Checks an uncompressed package and splits it: the magic, a MIDI length within the
// data, a MIDI part that is a one-track Standard MIDI File whose track length matches
// its size, and a hex part of an even number (2..260) of upper-case hex digits.
// False with the first fault found in `error`.
[[nodiscard]] bool SplitRingtonePackage(const std::uint8_t* data, std::size_t size, RingtonePackageParts& parts,
                                        std::string& error);

// Decompresses a package as posting sends it (at most maxUnpacked bytes) and splits it.
[[nodiscard]] bool ReadRingtonePackage(const std::uint8_t* data, std::size_t size, RingtonePackageParts& parts,
                                       std::string& error, std::size_t maxUnpacked = kMaxUnpackedPackage);
