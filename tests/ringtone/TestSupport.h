#pragma once
// Bytes written as hex text, for the ringtone tests' expected messages and files.

#include <cstdint>
#include <string>
#include <vector>

// Bytes from a hex string such as "02 4A 3A" (blanks ignored).
inline std::vector<std::uint8_t> Hex(const std::string& text)
{
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits.push_back(c);
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}
