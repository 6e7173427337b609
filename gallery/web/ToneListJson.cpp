#include "gallery/web/ToneListJson.h"

#include <cstdint>

#include "gallery/web/HtmlText.h"
#include "text/Text.h"

namespace {

// The length of the well-formed UTF-8 sequence `text` starts with (shortest form, no
// surrogate, at most U+10FFFF), or 0.
std::size_t SequenceLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1Fu;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0Fu;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool bSurrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < least || code > 0x10FFFF || bSurrogate ? 0 : length;
}

void AppendEscapedAscii(std::string& out, char c)
{
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '<' || c == '>') {
        out += "\\u00";
        AppendHexOctet(out, byte, true);
    } else {
        out += c;
    }
}

std::string Field(std::string_view name, const std::string& json)
{
    return "\"" + std::string(name) + "\":" + json;
}

std::string LinkOrNull(const CToneListing& listing, std::int64_t page)
{
    const bool bExists = page >= 1 && page <= listing.m_nPages;
    return bExists ? JsonString(ListingAddress(listing.m_filter, page, true)) : std::string("null");
}

std::string ToneJson(const CToneRecord& tone)
{
    const CToneLinks links = LinksOf(tone.m_nId);
    std::string rtttl;
    std::string why;
    const bool bDecodes = RtttlOfTone(tone, rtttl, why);
    return "{" + Field("id", std::to_string(tone.m_nId)) + "," + Field("author", JsonString(tone.m_strAuthor)) + "," +
           Field("name", JsonString(tone.m_strName)) + "," +
           Field("category", JsonString(WordOf(tone.m_category))) + "," +
           Field("posted", JsonString(FormatIsoUtc(tone.m_nPosted))) + "," +
           Field("rtttl", bDecodes ? JsonString(rtttl) : std::string("null")) + "," +
           Field("author_page", JsonString(AuthorAddress(tone.m_strAuthor))) + "," +
           Field("preview", JsonString(links.m_strPreview)) + "," + Field("midi", JsonString(links.m_strMidi)) + "," +
           Field("ringing_tone", JsonString(links.m_strRingingTone)) + "," +
           Field("hex_text", JsonString(links.m_strHexText)) + "," + Field("delete", JsonString(links.m_strDelete)) +
           "}";
}

} // namespace

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text.substr(i));
        const std::string_view sequence = text.substr(i, length);
        if (length == 0)
            out += "\\ufffd";
        else if (length == 1)
            AppendEscapedAscii(out, text[i]);
        // Valid JSON, but they end a line in JavaScript.
        else if (sequence == "\u2028" || sequence == "\u2029")
            out += sequence == "\u2028" ? "\\u2028" : "\\u2029";
        else
            out += sequence;
        i += length == 0 ? 1 : length;
    }
    return out + "\"";
}

std::string RenderToneListJson(const CToneListing& listing)
{
    std::string json = "{" + Field("page", std::to_string(listing.m_nPage)) + "," +
                       Field("pages", std::to_string(listing.m_nPages)) + "," +
                       Field("total", std::to_string(listing.m_tones.m_nTotal)) + "," +
                       Field("more_matches", listing.m_tones.m_bMoreMatches ? "true" : "false") + "," +
                       Field("previous", LinkOrNull(listing, listing.m_nPage - 1)) + "," +
                       Field("next", LinkOrNull(listing, listing.m_nPage + 1)) + ",\"tones\":[";
    const char* separator = "";
    for (const CToneRecord& tone : listing.m_tones.m_tones) {
        json += separator;
        json += ToneJson(tone);
        separator = ",";
    }
    return json + "]}\n";
}

std::string RenderJsonError(std::string_view sentence)
{
    return "{" + Field("error", JsonString(sentence)) + "}\n";
}
