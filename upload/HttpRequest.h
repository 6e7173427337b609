#pragma once
// One HTTP POST as the upload hands it to a transport.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CHttpRequest {
    std::string m_strHost;              // host name or address, without port
    std::uint16_t m_wPort = 80;
    std::string m_strPath;              // the request target, starting with "/"
    std::string m_strUserAgent;
    std::vector<std::string> m_headers; // extra header lines, each without CR LF, sent as written
    std::vector<unsigned char> m_body;  // sent whole; its size is the Content-Length
    long m_nConnectTimeoutMs = 60000;   // name look-up and connect together
    long m_nStallTimeoutMs = 60000;     // once connected: the longest time without progress
    std::size_t m_nMaxReplyBytes = 0;   // bytes of the reply body kept; the rest is read and dropped
};
