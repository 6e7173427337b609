#pragma once
// Numbers in RTTTL sections and note tokens, read the way the C library's atoi
// reads them.

#include <cstdint>
#include <string_view>

// Skips leading white space, takes an optional sign and the decimal digits up to
// the first other character; no digits give 0. Unlike atoi, a value beyond the
// 32-bit range saturates at INT32_MIN or INT32_MAX instead of being undefined.
[[nodiscard]] std::int32_t RtttlAtoi(std::string_view text);
