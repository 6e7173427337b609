#pragma once
// What the gallery accepts in one post. The program's own limits come first: a
// nickname and a ringtone name of at most 32 characters, a package of at most 2048
// bytes, a ringtone of at most 130 octets.

#include <cstddef>
#include <string_view>

// The request target the program posts to.
inline constexpr std::string_view kGalleryUploadPath = "/examples/servlet/zvtoneload";

// A whole request body, the program's trailing zero byte included. The largest body
// the program sends is 2705 bytes.
inline constexpr std::size_t kMaxUploadBodyBytes = 8192;

inline constexpr std::size_t kMaxNicknameChars = 32;   // characters, not bytes
inline constexpr std::size_t kMaxToneNameChars = 32;   // characters, not bytes
inline constexpr std::size_t kMaxPasswordBytes = 64;
inline constexpr std::size_t kMaxPackageBytes = 2048;
// The package's MIDI part once unpacked. A preview of 255 notes takes about 2 KB; a
// package of 2048 bytes could otherwise unpack to a megabyte and be stored.
inline constexpr std::size_t kMaxPreviewMidiBytes = 16 * 1024;
