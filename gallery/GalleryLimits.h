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

// The whole request, headers and body, must arrive within this time from when the
// gallery starts waiting for it (idle keep-alive time included); the answer must be
// taken within the same time. A per-byte time-out would let a client that sends one
// byte a second hold its connection for ever.
inline constexpr int kRequestSeconds = 10;
inline constexpr std::size_t kMaxHeaderBytes = 8192;
// Connections open at once from one address, and in all; more are answered 503 and
// closed. The total is lowered to what the process's file limit allows.
inline constexpr int kMaxConnectionsPerAddress = 32;
inline constexpr int kMaxConnections = 4096;

inline constexpr std::size_t kMaxNicknameChars = 32;   // characters, not bytes
inline constexpr std::size_t kMaxToneNameChars = 32;   // characters, not bytes
inline constexpr std::size_t kMaxPasswordBytes = 64;
inline constexpr std::size_t kMaxPackageBytes = 2048;
// The package's MIDI part once unpacked. A preview of 255 notes takes about 2 KB; a
// package of 2048 bytes could otherwise unpack to a megabyte and be stored.
inline constexpr std::size_t kMaxPreviewMidiBytes = 16 * 1024;
