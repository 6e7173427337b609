#include "upload/CurlHttpTransport.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string_view>

namespace {

// A server that streams a reply without end would keep the upload busy for ever: past
// this many dropped bytes the reply counts as complete and the transfer stops.
constexpr std::size_t kMaxDroppedBytes = 1024 * 1024;

using Clock = std::chrono::steady_clock;

struct CCurlDeleter {
    void operator()(CURL* pCurl) const { curl_easy_cleanup(pCurl); }
};
struct CSlistDeleter {
    void operator()(curl_slist* pList) const { curl_slist_free_all(pList); }
};

// State of one Post, shared with libcurl's callbacks.
class CTransfer {
public:
    CTransfer(const CHttpRequest& request, CHttpStepSink& steps, CHttpReply& reply)
        : m_steps(steps), m_reply(reply), m_nMaxKept(request.m_nMaxReplyBytes),
          m_nBodySize(static_cast<curl_off_t>(request.m_body.size())),
          m_stallLimit(std::chrono::milliseconds(std::max(request.m_nStallTimeoutMs, 1L)))
    {
    }

    void SetHandle(CURL* pCurl) { m_pCurl = pCurl; }

    // Forwards each step once and in order: libcurl makes a socket per address it tries
    // and may report the same point more than once.
    void Emit(HttpStep step)
    {
        int nStep = static_cast<int>(step);
        if (nStep <= m_nLastStep)
            return;
        m_nLastStep = nStep;
        m_steps.OnStep(step);
    }

    void OnSocketOpened()
    {
        m_bSocketOpened = true;
        Emit(HttpStep::Resolved);
    }

    void OnConnected()
    {
        m_bConnected = true;
        m_lastProgress = Clock::now();
        Emit(HttpStep::Connected);
        Emit(HttpStep::Sending);
    }

    // The whole request has left: from now on the server is awaited, however long it
    // takes to answer.
    void OnSent()
    {
        Emit(HttpStep::Sent);
        Emit(HttpStep::Receiving);
    }

    // False once the transfer has made no progress for longer than the stall limit.
    bool OnProgress(curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow)
    {
        if (ultotal > 0 && ulnow == ultotal)
            OnSent();
        if (!m_bConnected)
            return true;
        Clock::time_point now = Clock::now();
        if (dlnow != m_nLastDownloaded || ulnow != m_nLastUploaded) {
            m_nLastDownloaded = dlnow;
            m_nLastUploaded = ulnow;
            m_lastProgress = now;
            return true;
        }
        m_bStalled = now - m_lastProgress >= m_stallLimit;
        return !m_bStalled;
    }

    void OnHeader(std::string_view line)
    {
        if (!m_bReplyStarted) {
            m_bReplyStarted = true;
            // The last progress report may not have come yet when the reply starts.
            if (Uploaded() >= m_nBodySize)
                OnSent();
            Emit(HttpStep::Receiving);
        }
        if (line.starts_with("HTTP/")) {
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.remove_suffix(1);
            m_reply.m_strStatusLine.assign(line);
        }
        if (line == "\r\n" && BodyComplete())
            Emit(HttpStep::Received);
    }

    // False when the reply has gone on too long and the transfer should stop.
    bool OnBody(const char* pData, std::size_t nBytes)
    {
        std::size_t nKeep = std::min(nBytes, m_nMaxKept - std::min(m_nMaxKept, m_reply.m_strBody.size()));
        m_reply.m_strBody.append(pData, nKeep);
        m_nReplyBytes += nBytes;
        if (m_nReplyBytes - m_reply.m_strBody.size() > kMaxDroppedBytes) {
            m_bDropLimitHit = true;
            Emit(HttpStep::Received);
            return false;
        }
        if (BodyComplete())
            Emit(HttpStep::Received);
        return true;
    }

    int OnClose(curl_socket_t socket)
    {
        // Sockets of addresses that lost the race to connect close silently.
        if (m_bConnected) {
            // Without a length the reply ends with the connection.
            if (m_bReplyStarted && ContentLength() < 0)
                Emit(HttpStep::Received);
            Emit(HttpStep::Closing);
        }
        int nResult = ::close(socket);
        if (m_bConnected)
            Emit(HttpStep::Closed);
        return nResult;
    }

    // libcurl does not close through the callback on every failure path.
    void EndSteps(bool bOk)
    {
        if (bOk)
            Emit(HttpStep::Received);
        if (m_bSocketOpened) {
            Emit(HttpStep::Closing);
            Emit(HttpStep::Closed);
        }
    }

    [[nodiscard]] bool DropLimitHit() const { return m_bDropLimitHit; }
    [[nodiscard]] bool Stalled() const { return m_bStalled; }

private:
    curl_off_t ContentLength() const
    {
        curl_off_t nLength = -1;
        if (curl_easy_getinfo(m_pCurl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &nLength) != CURLE_OK)
            return -1;
        return nLength;
    }

    curl_off_t Uploaded() const
    {
        curl_off_t nUploaded = 0;
        if (curl_easy_getinfo(m_pCurl, CURLINFO_SIZE_UPLOAD_T, &nUploaded) != CURLE_OK)
            return 0;
        return nUploaded;
    }

    bool BodyComplete() const
    {
        curl_off_t nLength = ContentLength();
        return nLength >= 0 && static_cast<curl_off_t>(m_nReplyBytes) >= nLength;
    }

    CHttpStepSink& m_steps;
    CHttpReply& m_reply;
    CURL* m_pCurl = nullptr;
    std::size_t m_nMaxKept;
    curl_off_t m_nBodySize;
    Clock::duration m_stallLimit;
    Clock::time_point m_lastProgress{};
    curl_off_t m_nLastDownloaded = 0;
    curl_off_t m_nLastUploaded = 0;
    std::size_t m_nReplyBytes = 0;
    int m_nLastStep = -1;
    bool m_bSocketOpened = false;
    bool m_bConnected = false;
    bool m_bReplyStarted = false;
    bool m_bDropLimitHit = false;
    bool m_bStalled = false;
};

curl_socket_t OpenSocket(void* pClient, curlsocktype, curl_sockaddr* pAddress)
{
    int fd = ::socket(pAddress->family, pAddress->socktype | SOCK_CLOEXEC, pAddress->protocol);
    if (fd < 0)
        return CURL_SOCKET_BAD;
    static_cast<CTransfer*>(pClient)->OnSocketOpened();
    return fd;
}

int SetSocketOptions(void* pClient, curl_socket_t, curlsocktype)
{
    static_cast<CTransfer*>(pClient)->Emit(HttpStep::Connecting);
    return CURL_SOCKOPT_OK;
}

int BeforeRequest(void* pClient, char*, char*, int, int)
{
    static_cast<CTransfer*>(pClient)->OnConnected();
    return CURL_PREREQFUNC_OK;
}

int ReportProgress(void* pClient, curl_off_t, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow)
{
    return static_cast<CTransfer*>(pClient)->OnProgress(dlnow, ultotal, ulnow) ? 0 : 1;
}

std::size_t TakeHeader(char* pData, std::size_t nSize, std::size_t nCount, void* pClient)
{
    static_cast<CTransfer*>(pClient)->OnHeader(std::string_view(pData, nSize * nCount));
    return nSize * nCount;
}

std::size_t TakeBody(char* pData, std::size_t nSize, std::size_t nCount, void* pClient)
{
    return static_cast<CTransfer*>(pClient)->OnBody(pData, nSize * nCount) ? nSize * nCount : 0;
}

int CloseSocket(void* pClient, curl_socket_t socket)
{
    return static_cast<CTransfer*>(pClient)->OnClose(socket);
}

// Only a plain host name or address: anything that could change the URL's meaning
// (a path, a user name, a port, a query) is refused before it reaches libcurl.
bool IsHostName(const std::string& host)
{
    if (host.empty())
        return false;
    return std::none_of(host.begin(), host.end(), [](char c) {
        unsigned char by = static_cast<unsigned char>(c);
        return by <= ' ' || by == 0x7F || std::string_view("/?#@[]\\%").find(c) != std::string_view::npos;
    });
}

std::string BuildUrl(const CHttpRequest& request)
{
    bool bIpv6 = request.m_strHost.find(':') != std::string::npos;
    std::string host = bIpv6 ? "[" + request.m_strHost + "]" : request.m_strHost;
    return "http://" + host + ":" + std::to_string(request.m_wPort) + request.m_strPath;
}

template <typename T>
void SetOption(CURL* pCurl, CURLoption option, T value, CURLcode& code)
{
    if (code == CURLE_OK)
        code = curl_easy_setopt(pCurl, option, value);
}

CURLcode SetOptions(CURL* pCurl, const CHttpRequest& request, const std::string& url, curl_slist* pHeaders,
                    CTransfer& transfer, char* pErrorBuffer)
{
    CURLcode code = CURLE_OK;
    SetOption(pCurl, CURLOPT_ERRORBUFFER, pErrorBuffer, code);
    SetOption(pCurl, CURLOPT_URL, url.c_str(), code);
    SetOption(pCurl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1), code);
    SetOption(pCurl, CURLOPT_POST, 1L, code);
    SetOption(pCurl, CURLOPT_POSTFIELDS, static_cast<const void*>(request.m_body.data()), code);
    SetOption(pCurl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.m_body.size()), code);
    SetOption(pCurl, CURLOPT_HTTPHEADER, pHeaders, code);
    SetOption(pCurl, CURLOPT_USERAGENT, request.m_strUserAgent.c_str(), code);
    SetOption(pCurl, CURLOPT_CONNECTTIMEOUT_MS, request.m_nConnectTimeoutMs, code);
    SetOption(pCurl, CURLOPT_NOSIGNAL, 1L, code);
    SetOption(pCurl, CURLOPT_FORBID_REUSE, 1L, code);
    SetOption(pCurl, CURLOPT_FRESH_CONNECT, 1L, code);
    SetOption(pCurl, CURLOPT_OPENSOCKETFUNCTION, &OpenSocket, code);
    SetOption(pCurl, CURLOPT_OPENSOCKETDATA, static_cast<void*>(&transfer), code);
    SetOption(pCurl, CURLOPT_SOCKOPTFUNCTION, &SetSocketOptions, code);
    SetOption(pCurl, CURLOPT_SOCKOPTDATA, static_cast<void*>(&transfer), code);
    SetOption(pCurl, CURLOPT_PREREQFUNCTION, &BeforeRequest, code);
    SetOption(pCurl, CURLOPT_PREREQDATA, static_cast<void*>(&transfer), code);
    SetOption(pCurl, CURLOPT_NOPROGRESS, 0L, code);
    SetOption(pCurl, CURLOPT_XFERINFOFUNCTION, &ReportProgress, code);
    SetOption(pCurl, CURLOPT_XFERINFODATA, static_cast<void*>(&transfer), code);
    SetOption(pCurl, CURLOPT_HEADERFUNCTION, &TakeHeader, code);
    SetOption(pCurl, CURLOPT_HEADERDATA, static_cast<void*>(&transfer), code);
    SetOption(pCurl, CURLOPT_WRITEFUNCTION, &TakeBody, code);
    SetOption(pCurl, CURLOPT_WRITEDATA, static_cast<void*>(&transfer), code);
    SetOption(pCurl, CURLOPT_CLOSESOCKETFUNCTION, &CloseSocket, code);
    SetOption(pCurl, CURLOPT_CLOSESOCKETDATA, static_cast<void*>(&transfer), code);
    return code;
}

// The request's own lines, then blanks that stop libcurl adding its defaults.
std::unique_ptr<curl_slist, CSlistDeleter> BuildHeaders(const CHttpRequest& request)
{
    std::unique_ptr<curl_slist, CSlistDeleter> list;
    auto append = [&list](const char* pLine) {
        curl_slist* pNew = curl_slist_append(list.get(), pLine);
        if (!pNew)
            return false;
        list.release();
        list.reset(pNew);
        return true;
    };
    for (const std::string& line : request.m_headers)
        if (!append(line.c_str()))
            return nullptr;
    if (!append("Accept:") || !append("Expect:"))
        return nullptr;
    return list;
}

// The failure in the program's own words, naming the home site; the library's text
// only where no sentence of ours says more.
std::string ErrorText(CURLcode code, const char* pErrorBuffer, const CHttpRequest& request)
{
    const std::string site = request.m_strHost + ":" + std::to_string(request.m_wPort);
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return "The home site \"" + request.m_strHost + "\" was not found: no such host name";
    case CURLE_COULDNT_CONNECT:
        return "Could not connect to the home site " + site + ": no gallery answers there";
    case CURLE_OPERATION_TIMEDOUT:
        return "The home site " + site + " did not answer in time";
    case CURLE_URL_MALFORMAT:
        return "The home site \"" + request.m_strHost + "\" is not an address to post to";
    case CURLE_GOT_NOTHING:
        return "The home site " + site + " closed the connection without an answer";
    case CURLE_PARTIAL_FILE:
        return "The connection to the home site " + site + " broke off in the middle of the answer";
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return "The connection to the home site " + site + " broke off";
    default: break;
    }
    std::string text = pErrorBuffer[0] != '\0' ? pErrorBuffer : curl_easy_strerror(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return "The post to the home site " + site + " failed: " + text;
}

} // namespace

CCurlHttpTransport::CCurlHttpTransport()
{
    // Not thread-safe in every libcurl build, so done once for the whole program.
    static std::once_flag s_initOnce;
    std::call_once(s_initOnce, [] { (void)curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool CCurlHttpTransport::Post(const CHttpRequest& request, CHttpStepSink& steps, CHttpReply& reply)
{
    reply = CHttpReply{};
    CTransfer transfer(request, steps, reply);
    transfer.Emit(HttpStep::Resolving);
    if (!IsHostName(request.m_strHost)) {
        reply.m_strError = "Invalid host name \"" + request.m_strHost + "\"";
        return false;
    }
    // Declared before the handle: libcurl may still use them while it cleans up.
    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::unique_ptr<curl_slist, CSlistDeleter> headers = BuildHeaders(request);
    std::unique_ptr<CURL, CCurlDeleter> curl(curl_easy_init());
    if (!curl || !headers) {
        reply.m_strError = "Out of memory for the network session";
        return false;
    }
    transfer.SetHandle(curl.get());
    std::string url = BuildUrl(request);
    CURLcode code = SetOptions(curl.get(), request, url, headers.get(), transfer, errorBuffer);
    if (code == CURLE_OK)
        code = curl_easy_perform(curl.get());
    long nStatus = 0;
    if (curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &nStatus) == CURLE_OK)
        reply.m_nStatus = nStatus;
    bool bOk = code == CURLE_OK || (code == CURLE_WRITE_ERROR && transfer.DropLimitHit());
    transfer.EndSteps(bOk);
    if (!bOk) {
        reply.m_strError = transfer.Stalled() ? "Timeout was reached: no progress for " +
                                                    std::to_string(request.m_nStallTimeoutMs) + " ms"
                                              : ErrorText(code, errorBuffer, request);
    }
    return bOk;
}
