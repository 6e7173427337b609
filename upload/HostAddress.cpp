#include "upload/HostAddress.h"

#include <algorithm>

#include "args/CommandArgs.h"

bool ParseHostAddress(std::string_view text, std::string& host, std::optional<std::uint16_t>& port)
{
    port.reset();
    std::string_view portText;
    bool bPortGiven = false;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return false;
        host = std::string(text.substr(1, close - 1));
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':')
                return false;
            bPortGiven = true;
            portText = text.substr(close + 2);
        }
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        host = std::string(text); // an IPv6 address without brackets names no port
    } else {
        const std::size_t colon = text.find(':');
        host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos) {
            bPortGiven = true;
            portText = text.substr(colon + 1);
        }
    }
    if (host.empty())
        return false;
    if (!bPortGiven)
        return true;
    long number = 0;
    if (!ParseWholeNumber(std::string(portText), 1, 65535, number))
        return false;
    port = static_cast<std::uint16_t>(number);
    return true;
}
