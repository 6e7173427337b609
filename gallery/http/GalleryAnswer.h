#pragma once
// One HTTP answer of the gallery, before it goes on the wire.

#include <string>
#include <utility>
#include <vector>

struct CGalleryAnswer {
    int m_nStatus = 200;
    std::string m_strContentType = "text/html; charset=utf-8";
    std::string m_strBody;
    std::string m_strFileName; // when set, the body is a download saved under this name
    // Further header lines of this answer (Retry-After, Allow, Location and the like).
    std::vector<std::pair<std::string, std::string>> m_headers;
};

// An answer of one line of plain text: a refusal or a short confirmation.
inline CGalleryAnswer PlainTextAnswer(int status, std::string text)
{
    CGalleryAnswer answer;
    answer.m_nStatus = status;
    answer.m_strContentType = "text/plain; charset=utf-8";
    answer.m_strBody = std::move(text) + "\n";
    return answer;
}
