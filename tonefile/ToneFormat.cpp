#include "tonefile/ToneFormat.h"

#include <array>
#include <cctype>
#include <string_view>

namespace {

struct Alias {
    std::string_view name;
    ToneFormat format;
};

constexpr std::array<Alias, 9> kAliases = {{
    {"rtttl", ToneFormat::Rtttl},
    {"rtx", ToneFormat::Rtttl},
    {"txt", ToneFormat::Rtttl},
    {"ott", ToneFormat::Ott},
    {"imy", ToneFormat::IMelody},
    {"imelody", ToneFormat::IMelody},
    {"ogg", ToneFormat::Ogg},
    {"m4r", ToneFormat::M4r},
    {"m4a", ToneFormat::M4r},
}};

} // namespace

std::optional<ToneFormat> ToneFormatNamed(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Alias& alias : kAliases)
        if (alias.name == lower)
            return alias.format;
    return std::nullopt;
}

std::optional<ToneFormat> ToneFormatOfPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    const std::string extension = path.substr(dot + 1);
    if (extension == "imelody")
        return std::nullopt; // a name, not an extension
    return ToneFormatNamed(extension);
}

const char* ToneFormatName(ToneFormat format)
{
    switch (format) {
    case ToneFormat::Rtttl: return "rtttl";
    case ToneFormat::Ott: return "ott";
    case ToneFormat::IMelody: return "imy";
    case ToneFormat::Ogg: return "ogg";
    case ToneFormat::M4r: return "m4r";
    }
    return "";
}
