#pragma once
// One HTTP request as the gallery's routes see it, whatever server read it.

#include <cstddef>
#include <string>

struct CGalleryRequest {
    std::string m_strMethod;      // "GET", "HEAD", "POST", ...
    std::string m_strPath;        // the target before any "?", not decoded
    std::string m_strQuery;       // after the "?", not decoded
    std::string m_strContentType;
    std::string m_strClient;      // the client's address, as text
    // The body's first bytes (at most the largest body any route takes), how many
    // came in all, and whether it could be read to its end.
    std::string m_strBody;
    std::size_t m_nBodyBytes = 0;
    bool m_bBodyComplete = true;
};
