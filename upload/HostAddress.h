#pragma once
// The gallery's address as the Setup dialog's home site and the tool's --host give it:
// "host", "host:port", "[v6 address]" or "[v6 address]:port"; a bare IPv6 address
// (two colons or more, no brackets) is a host without a port.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// False for an empty host, a port that is not 1 to 65535, or a colon with nothing
// after it. `port` is empty when the text names none.
[[nodiscard]] bool ParseHostAddress(std::string_view text, std::string& host, std::optional<std::uint16_t>& port);
