#include "upload/UploadSession.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "upload/StripMarkup.h"
#include "upload/UploadBody.h"
#include "upload/UploadStatusText.h"

namespace {

constexpr std::size_t kMaxErrorChars = 1024;

bool HasVisibleText(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return !std::isspace(c); });
}

// A server that refuses the upload usually says why in its page; a bare status has
// only its status line to show.
std::string RefusalMessage(const CHttpReply& reply)
{
    std::string text = StripMarkup(reply.m_strBody);
    if (HasVisibleText(text))
        return text;
    if (!reply.m_strStatusLine.empty())
        return reply.m_strStatusLine;
    return "HTTP status " + std::to_string(reply.m_nStatus);
}

} // namespace

CUploadSession::CUploadSession(CHttpTransport& transport, CStatusLine& statusLine, CUploadOptions options)
    : m_transport(transport), m_statusLine(statusLine), m_options(options)
{
}

bool CUploadSession::Upload(const std::string& host, std::vector<unsigned char> body, std::string& message)
{
    CHttpRequest request;
    request.m_strHost = host;
    request.m_wPort = m_options.m_wPort;
    request.m_strPath = kUploadPath;
    request.m_strUserAgent = kUploadUserAgent;
    request.m_headers.emplace_back(kUploadHeaderLine);
    request.m_body = std::move(body);
    request.m_nConnectTimeoutMs = m_options.m_nConnectTimeoutMs;
    request.m_nStallTimeoutMs = m_options.m_nStallTimeoutMs;
    request.m_nMaxReplyBytes = kUploadMaxReplyBytes;

    CHttpReply reply;
    if (!m_transport.Post(request, *this, reply)) {
        m_statusLine.SetText(std::string(kStatusFailed));
        message = reply.m_strError.substr(0, kMaxErrorChars);
        return false;
    }
    // Only a 2xx status means the gallery stored the tone; an error page is a refusal.
    if (reply.m_nStatus < 200 || reply.m_nStatus > 299) {
        m_statusLine.SetText(std::string(kStatusFailed));
        message = RefusalMessage(reply);
        return false;
    }
    m_statusLine.SetText(std::string(kStatusPosted));
    message = StripMarkup(reply.m_strBody);
    return true;
}

void CUploadSession::OnStep(HttpStep step)
{
    m_statusLine.SetText(std::string(UploadStatusText(step)));
}
