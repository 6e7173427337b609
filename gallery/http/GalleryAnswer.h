#pragma once
// One HTTP answer of the gallery, before it goes on the wire.

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct CGalleryAnswer {
    int m_nStatus = 200;
    std::string m_strContentType = "text/html; charset=utf-8";
    std::string m_strBody;
    // When set, the body instead of m_strBody: one copy shared with other answers (a
    // preview sent to many clients at once).
    std::shared_ptr<const std::string> m_pSharedBody;
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
