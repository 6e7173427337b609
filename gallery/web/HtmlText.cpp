#include "gallery/web/HtmlText.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace {

bool BreakDown(std::int64_t seconds, std::tm& tm)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    return gmtime_r(&t, &tm) != nullptr;
}

// A control character other than a tab or a line end has no place in a page (a NUL
// ends some readers' text there): it is shown as U+FFFD.
bool IsHiddenControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

} // namespace

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if (IsHiddenControl(c))
                out += kReplacement;
            else
                out += c;
        }
    }
    return out;
}

std::string ReplyEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '<') {
            out += "&lt;";
        } else if (IsHiddenControl(c)) {
            out += kReplacement;
        } else if (c == '&' && i + 1 < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '#')) {
            out += "&amp;";
        } else {
            out += c;
        }
    }
    return out;
}

std::string FormatUtcMinute(std::int64_t seconds)
{
    std::tm tm{};
    if (!BreakDown(seconds, tm))
        return "?";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d UTC", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    return buffer;
}

std::string FormatIsoUtc(std::int64_t seconds)
{
    std::tm tm{};
    if (!BreakDown(seconds, tm))
        return "";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}
