#pragma once
// What the gallery's HTTP server holds for any client: how long a request may take,
// how large its header lines and body may be, and how many connections are open.

#include <cstddef>

inline constexpr unsigned short kGalleryDefaultPort = 9011;

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

