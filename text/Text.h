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

// The code point of the UTF-8 sequence at the start of `text` and its length in
// bytes; length 0 when it is not valid UTF-8 (a stray or missing continuation byte, an
// overlong form, a surrogate, past U+10FFFF).
inline char32_t DecodeUtf8(std::string_view text, std::size_t& length)
{
    length = 0;
    if (text.empty())
        return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t size = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (size == 0 || text.size() < size)
        return 0;
    char32_t c = size == 1 ? lead : size == 2 ? lead & 0x1F : size == 3 ? lead & 0x0F : lead & 0x07;
    for (std::size_t i = 1; i < size; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[size] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return 0;
    length = size;
    return c;
}

// `text` made safe to write on a terminal on one line: control characters (C0, DEL,
// C1) and the invisible direction changers are written as \xNN or \uNNNN, bytes that
// are not UTF-8 as U+FFFD, and past `maxCharacters` (0: no limit) the text is cut and
// ends in "…". Hostile names in messages cannot then move the cursor, retitle the
// window or flood the screen.
// How much of a message, and of a token quoted in one, a terminal is shown.
inline constexpr std::size_t kShownMessageCharacters = 2000;
inline constexpr std::size_t kShownTokenCharacters = 40;

inline std::string ShownText(std::string_view text, std::size_t maxCharacters = 0)
{
    std::string out;
    std::size_t characters = 0;
    while (!text.empty()) {
        if (maxCharacters != 0 && characters == maxCharacters) {
            out += "\u2026";
            break;
        }
        std::size_t length = 0;
        const char32_t c = DecodeUtf8(text, length);
        ++characters;
        if (length == 0) {
            out += "\uFFFD";
            text.remove_prefix(1);
            continue;
        }
        const bool bControl = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        const bool bDirection = c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
                                (c >= 0x2066 && c <= 0x2069);
        if (bControl || bDirection) {
            const char* digits = "0123456789ABCDEF";
            out += c < 0x80 ? "\\x" : "\\u";
            for (int shift = c < 0x80 ? 4 : 12; shift >= 0; shift -= 4)
                out += digits[(c >> shift) & 0xF];
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}
