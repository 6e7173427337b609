#include "tests/support/TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kMaxRequestBytes = 1 << 20;

int ListenOnLoopback(int nBacklog, std::uint16_t& wPort)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, nBacklog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    wPort = ntohs(address.sin_port);
    return fd;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The Content-Length of a request head, or 0.
std::size_t ContentLength(const std::string& head)
{
    std::string lower = Lower(head);
    std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos)
        return 0;
    return std::strtoul(lower.c_str() + at + 17, nullptr, 10);
}

// Reads one request: the head up to the empty line, then Content-Length bytes of body.
std::string ReadRequest(int fd)
{
    std::string request;
    char buffer[4096];
    std::size_t nWanted = kMaxRequestBytes;
    while (request.size() < nWanted) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
        std::size_t headEnd = request.find("\r\n\r\n");
        if (headEnd != std::string::npos)
            nWanted = std::min(kMaxRequestBytes, headEnd + 4 + ContentLength(request.substr(0, headEnd + 2)));
    }
    return request;
}

void SendAll(int fd, const std::string& bytes)
{
    std::size_t nSent = 0;
    while (nSent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + nSent, bytes.size() - nSent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        nSent += static_cast<std::size_t>(n);
    }
}

} // namespace

CTestHttpServer::CReply CTestHttpServer::Answer(int nStatus, const std::string& reason, const std::string& body)
{
    return {"HTTP/1.1 " + std::to_string(nStatus) + " " + reason +
                "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nConnection: close\r\n\r\n" + body,
            false,
            {}};
}

CTestHttpServer::CReply CTestHttpServer::AnswerUntilClose(const std::string& body)
{
    return {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" + body, false, {}};
}

CTestHttpServer::CReply CTestHttpServer::Silence()
{
    return {"", true, {}};
}

CTestHttpServer::~CTestHttpServer()
{
    Stop();
}

bool CTestHttpServer::Start()
{
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        return false;
    m_listenFd = ListenOnLoopback(8, m_wPort);
    if (m_listenFd < 0)
        return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CTestHttpServer::Stop()
{
    if (m_thread.joinable()) {
        char by = 0;
        (void)!::write(m_stopPipe[1], &by, 1);
        m_thread.join();
    }
    for (int* pFd : {&m_listenFd, &m_stopPipe[0], &m_stopPipe[1]}) {
        if (*pFd >= 0)
            ::close(*pFd);
        *pFd = -1;
    }
}

void CTestHttpServer::Queue(CReply reply)
{
    std::lock_guard lock(m_mutex);
    m_replies.push_back(std::move(reply));
}

std::vector<std::string> CTestHttpServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

CTestHttpServer::CReply CTestHttpServer::NextReply()
{
    std::lock_guard lock(m_mutex);
    if (m_replies.empty())
        return Answer(200, "OK", "OK");
    CReply reply = m_replies.front();
    m_replies.pop_front();
    return reply;
}

void CTestHttpServer::Run()
{
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                Serve(fd);
                ::close(fd);
            }
        }
    }
}

void CTestHttpServer::Serve(int fd)
{
    std::string request = ReadRequest(fd);
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    CReply reply = NextReply();
    if (reply.m_beforeAnswer)
        reply.m_beforeAnswer();
    SendAll(fd, reply.m_strBytes);
    if (!reply.m_bHang) {
        ::shutdown(fd, SHUT_WR);
        return;
    }
    // Until the client gives up (its end closes) or the server stops.
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        char buffer[256];
        if (fds[0].revents != 0 && ::recv(fd, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

CBlackHoleListener::~CBlackHoleListener()
{
    for (int fd : m_fillers)
        ::close(fd);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

bool CBlackHoleListener::Start()
{
    m_listenFd = ListenOnLoopback(0, m_wPort);
    if (m_listenFd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(m_wPort);
    for (int i = 0; i < 4; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        m_fillers.push_back(fd);
    }
    return true;
}

std::uint16_t UnusedPort()
{
    std::uint16_t wPort = 0;
    int fd = ListenOnLoopback(1, wPort);
    if (fd >= 0)
        ::close(fd);
    return wPort;
}
