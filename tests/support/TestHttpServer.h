#pragma once
// A small HTTP server for the upload tests: it listens on 127.0.0.1 on a port of its
// own choosing, takes one connection at a time, keeps the raw bytes of each request and
// answers with the next scripted reply.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CTestHttpServer {
public:
    struct CReply {
        std::string m_strBytes; // sent as they are once the request has been read
        bool m_bHang = false;   // then keep the connection open until the client leaves
        // When set, run on the server's thread between reading the request and answering.
        std::function<void()> m_beforeAnswer;
    };

    // A whole reply with Content-Length and "Connection: close".
    static CReply Answer(int nStatus, const std::string& reason, const std::string& body);
    // A reply whose body ends when the connection closes (no Content-Length).
    static CReply AnswerUntilClose(const std::string& body);
    // Reads the request and then says nothing.
    static CReply Silence();

    CTestHttpServer() = default;
    CTestHttpServer(const CTestHttpServer&) = delete;
    CTestHttpServer& operator=(const CTestHttpServer&) = delete;
    ~CTestHttpServer();

    // False when no socket could be bound.
    [[nodiscard]] bool Start();
    void Stop();
    [[nodiscard]] std::uint16_t Port() const { return m_wPort; }

    // Replies for the next connections, one each, in order; without any: 200 "OK".
    void Queue(CReply reply);
    // The raw bytes of every request so far, in the order they came.
    [[nodiscard]] std::vector<std::string> Requests() const;

private:
    void Run();
    void Serve(int fd);
    [[nodiscard]] CReply NextReply();

    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    std::uint16_t m_wPort = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::deque<CReply> m_replies;
    std::vector<std::string> m_requests;
};

// A port on 127.0.0.1 that accepts no connection: a listener with a full queue that
// never accepts, so a new connect neither succeeds nor is refused.
class CBlackHoleListener {
public:
    CBlackHoleListener() = default;
    CBlackHoleListener(const CBlackHoleListener&) = delete;
    CBlackHoleListener& operator=(const CBlackHoleListener&) = delete;
    ~CBlackHoleListener();

    [[nodiscard]] bool Start();
    [[nodiscard]] std::uint16_t Port() const { return m_wPort; }

private:
    int m_listenFd = -1;
    std::vector<int> m_fillers;
    std::uint16_t m_wPort = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
[[nodiscard]] std::uint16_t UnusedPort();
