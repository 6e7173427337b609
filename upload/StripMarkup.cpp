#include "upload/StripMarkup.h"

std::string StripMarkup(std::string_view reply)
{
    // The reply is shown as a zero-terminated text, so nothing after a zero byte shows.
    reply = reply.substr(0, reply.find('\0'));
    std::string text;
    text.reserve(reply.size());
    bool bInsideMarkup = false;
    for (char c : reply) {
        if (bInsideMarkup)
            bInsideMarkup = c != '>';
        else if (c == '<')
            bInsideMarkup = true;
        else
            text.push_back(c);
    }
    return text;
}
