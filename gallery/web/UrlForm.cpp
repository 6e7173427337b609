#include "gallery/web/UrlForm.h"

#include "text/Text.h"

namespace {

bool Decode(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            if (i + 2 >= text.size())
                return false;
            int high = HexDigitValue(text[i + 1]);
            int low = HexDigitValue(text[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return true;
}

} // namespace

std::string FormField(std::string_view form, std::string_view name)
{
    while (!form.empty()) {
        std::size_t end = form.find('&');
        std::string_view field = form.substr(0, end);
        form = end == std::string_view::npos ? std::string_view() : form.substr(end + 1);
        std::size_t equals = field.find('=');
        std::string key;
        if (!Decode(field.substr(0, equals), key) || key != name)
            continue;
        std::string value;
        if (equals == std::string_view::npos || !Decode(field.substr(equals + 1), value))
            return {};
        return value;
    }
    return {};
}
