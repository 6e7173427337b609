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
// The request's head (its request and header lines) must arrive within this time from
// its first byte: a client that trickles its head holds a connection for no longer.
inline constexpr int kHeadSeconds = 5;
// At the limit in all, when no connection is idle, the one that has been reading its
// request longest gives way to a newcomer, if it has been reading for this long: a
// client at a sound speed sends its whole request in far less.
inline constexpr int kSlowRequestSeconds = 1;
// A connection that waits for a request of which nothing came yet (a new one, or one
// kept alive after an answer) is closed after this; idle ones may otherwise fill the
// connections from many addresses, each within its own limit.
inline constexpr int kIdleSeconds = 3;
inline constexpr std::size_t kMaxHeaderBytes = 8192;
// Connections open at once from one address, and in all. Past an address's limit a
// connection is answered 503 and closed; at the limit in all, the connection idle the
// longest is closed to make room, else the slowest sender (kSlowRequestSeconds), and
// 503 comes only when neither is there. The total is lowered to what the process's
// file limit allows.
inline constexpr int kMaxConnectionsPerAddress = 32;
inline constexpr int kMaxConnections = 4096;

