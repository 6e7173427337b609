#pragma once
// What the gallery accepts in one post. The program's own limits come first: a
// nickname and a ringtone name of at most 32 characters, a package of at most 2048
// bytes, a ringtone of at most 130 octets.

#include <cstddef>
#include <string_view>

// The request target the program posts to.
inline constexpr std::string_view kGalleryUploadPath = "/examples/servlet/zvtoneload";
inline constexpr unsigned short kGalleryDefaultPort = 9011;

// A whole request body, the program's trailing zero byte included. The largest body
// the program sends is 2705 bytes.
inline constexpr std::size_t kMaxUploadBodyBytes = 8192;
// Bodies up to this size are read to the end before they are refused, so that the
// refusal reaches the client instead of a reset connection.
inline constexpr std::size_t kMaxDrainedBodyBytes = 1024 * 1024;

inline constexpr std::size_t kMaxNicknameChars = 32;   // characters, not bytes
inline constexpr std::size_t kMaxToneNameChars = 32;   // characters, not bytes
inline constexpr std::size_t kMaxPasswordBytes = 64;
inline constexpr std::size_t kMaxPackageBytes = 2048;
