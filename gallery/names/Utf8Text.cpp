#include "gallery/names/Utf8Text.h"

#include <cstdint>

namespace {

// Decodes one sequence at `pos`; false for anything but a shortest-form scalar value.
bool NextCodePoint(std::string_view text, std::size_t& pos, std::uint32_t& cp)
{
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    std::uint8_t lead = byte(pos);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        ++pos;
        return true;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
        min = 0x10000;
    } else {
        return false;
    }
    if (text.size() - pos < length)
        return false;
    for (std::size_t i = 1; i < length; ++i) {
        std::uint8_t b = byte(pos + i);
        if ((b & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    pos += length;
    return true;
}

} // namespace

bool IsPrintableUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::uint32_t cp = 0;
        if (!NextCodePoint(text, pos, cp))
            return false;
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F))
            return false;
    }
    return true;
}

std::size_t Utf8CharCount(std::string_view text)
{
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

bool HasVisibleChar(std::string_view text)
{
    return text.find_first_not_of(" \t") != std::string_view::npos;
}

std::string ToPrintableUtf8(std::string_view text)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = pos;
        std::uint32_t cp = 0;
        if (!NextCodePoint(text, pos, cp)) {
            out += kReplacement;
            pos = start + 1;
        } else if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) {
            out += kReplacement;
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}
