#pragma once
// What came back from one HTTP POST.

#include <string>

struct CHttpReply {
    long m_nStatus = 0;          // the HTTP status code; 0 when no reply arrived
    std::string m_strStatusLine; // e.g. "HTTP/1.1 200 OK", without CR LF
    std::string m_strBody;       // at most CHttpRequest::m_nMaxReplyBytes bytes
    std::string m_strError;      // why the exchange failed, when it did
};
