#include "settings/ProfileReader.h"

#include <cstdlib>
#include <fstream>

#include "settings/ProfileKeys.h"
#include "text/Text.h"

namespace {

// A profile is a few hundred bytes; anything past this is not one of ours.
constexpr std::size_t kMaxLine = 64 * 1024;
// What getline leaves around a line's content.
constexpr std::string_view kLineBlanks = " \t\r";

void AppendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Section and key names: Qt writes "%XX" for bytes outside letters, digits and a few marks.
std::string PercentDecoded(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size() && HexDigitValue(name[i + 1]) >= 0 && HexDigitValue(name[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(name[i + 1]) * 16 + HexDigitValue(name[i + 2]));
            i += 2;
        } else {
            out += name[i];
        }
    }
    return out;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char EscapedChar(char c)
{
    switch (c) {
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'v': return '\v';
    default: return c; // \" \' \? \\ and anything else stand for themselves
    }
}

// A value as Qt writes a string: blanks outside quotes around it are layout,
// quotes keep what they enclose, a backslash escapes, an unquoted ";" starts a
// comment and an unquoted "," separates the items of a list (joined here with ",").
std::string Unescaped(const std::string& raw)
{
    std::string out;
    std::size_t keep = 0; // out's length up to the last character that is not layout
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            keep = out.size();
            continue;
        }
        if (!quoted && c == ';')
            break;
        if (!quoted && c == ',') {
            out.resize(keep);
            out += ',';
            keep = out.size();
            while (i + 1 < raw.size() && IsBlank(raw[i + 1]))
                ++i;
            continue;
        }
        if (c == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            if (e == 'x') {
                unsigned code = 0;
                int digits = 0;
                while (digits < 4 && i + 1 < raw.size() && HexDigitValue(raw[i + 1]) >= 0) {
                    code = code * 16 + static_cast<unsigned>(HexDigitValue(raw[++i]));
                    ++digits;
                }
                AppendUtf8(out, code);
            } else {
                out += EscapedChar(e);
            }
            keep = out.size();
            continue;
        }
        if (!quoted && IsBlank(c) && out.empty())
            continue; // leading layout
        out += c;
        if (quoted || !IsBlank(c))
            keep = out.size();
    }
    out.resize(keep);
    // A string that begins with "@" is written with a second one.
    if (out.rfind("@@", 0) == 0)
        out.erase(0, 1);
    return out;
}

} // namespace

std::string UserProfilePath()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string dir;
    if (xdg && xdg[0] == '/') {
        dir = xdg;
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home ? home : "") + "/.config";
    }
    return dir + "/" + kProfileOrganization + "/" + kProfileApplication + ".ini";
}

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key)
{
    std::ifstream in(path);
    std::string line;
    std::string current;
    std::string value;
    while (std::getline(in, line)) {
        if (line.size() > kMaxLine)
            return std::string();
        line = std::string(Trimmed(line, kLineBlanks));
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            current = PercentDecoded(line.substr(1, line.size() - 2));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || current != section)
            continue;
        if (PercentDecoded(std::string(Trimmed(std::string_view(line).substr(0, equals), kLineBlanks))) == key)
            value = Unescaped(line.substr(equals + 1)); // the last one wins, as in Qt
    }
    return value;
}
