#pragma once
// Small pieces of text handling that the ringtone parser, the profile reader, the
// song's event dump and the gallery share: header-only, plain C++.

#include <string>
#include <string_view>

// `text` without the blanks around it (by default blanks, tabs and line ends).
inline std::string_view Trimmed(std::string_view text, std::string_view blanks = " \t\r\n")
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The value of a hexadecimal digit in either case, or -1 for any other character.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Appends `byte` as two hexadecimal digits, upper case unless bLowerCase.
inline void AppendHexOctet(std::string& out, unsigned char byte, bool bLowerCase = false)
{
    const char* digits = bLowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}
