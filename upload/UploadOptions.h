#pragma once
// Where and how an upload is sent. The defaults are the gallery's; tests and the
// command-line tool's --host change the port and the time-outs.

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::uint16_t kUploadPort = 9011;
inline constexpr std::string_view kUploadPath = "/examples/servlet/zvtoneload";
inline constexpr std::string_view kUploadUserAgent = "ZorvatTone";
// Bytes of the server's reply that are kept and shown; the rest is read and dropped.
inline constexpr std::size_t kUploadMaxReplyBytes = 4095;

struct CUploadOptions {
    std::uint16_t m_wPort = kUploadPort;
    long m_nConnectTimeoutMs = 60000; // look-up and connect, milliseconds
    long m_nStallTimeoutMs = 60000;   // connected but no progress, milliseconds
};
