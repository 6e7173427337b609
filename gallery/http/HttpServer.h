#pragma once
// The gallery's HTTP server on Boost.Beast. One thread reads and writes every
// connection, each request within a whole-request deadline (HttpLimits.h); a pool of
// threads hands each request read whole to the handler. What a request means is the
// handler's: the server knows nothing of the gallery. Start returns once the port
// listens.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gallery/http/GalleryAnswer.h"
#include "gallery/http/GalleryRequest.h"
#include "gallery/http/HttpLimits.h"

struct CHttpLane {
    int m_nThreads = 2;
    int m_nQueue = 64;           // requests waiting or handled at once; more are answered 503
    int m_nQueuePerAddress = 8;  // of those, from one client address, so that one cannot take all
    std::string m_strFull;       // the 503's text when the queue is full
    std::string m_strAddressFull; // when the address has its share
};

struct CHttpServerOptions {
    std::string m_strHost = "0.0.0.0";
    int m_nPort = kGalleryDefaultPort;       // 0: a free port, see CHttpServer::Port
    int m_nThreads = 8;                      // requests handled at once
    int m_nConnectionsPerAddress = kMaxConnectionsPerAddress;
    int m_nMaxConnections = kMaxConnections; // lowered to what the file limit allows
    int m_nIdleSeconds = kIdleSeconds;
    // A reverse proxy's address: requests from it name the client by the last address
    // of X-Forwarded-For, and its connections are not limited per address. Empty: no
    // proxy is trusted and the header is ignored.
    std::string m_strTrustedProxy;
    // A body's first bytes handed to the handler; the rest is counted, up to
    // kMaxDrainedBodyBytes (past that the request has m_bBodyComplete false).
    std::size_t m_nKeptBodyBytes = 8192;
    std::function<void(const std::string&)> m_log; // one line per request; empty: none
    // Kinds of request that may take long (a render, a write that waits on the disk):
    // each is handled by threads of its own, never by the threads of the others, with a
    // bounded queue. m_laneOf names a request's lane, an index into m_lanes; -1 (or no
    // function) for the common threads.
    std::vector<CHttpLane> m_lanes;
    std::function<int(const CGalleryRequest&)> m_laneOf;
};

// Called on a worker thread, from several at once.
using HttpHandler = std::function<CGalleryAnswer(const CGalleryRequest&)>;

class CHttpServer {
public:
    CHttpServer(CHttpServerOptions options, HttpHandler handler);
    ~CHttpServer(); // stops
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Listens. False with the reason in `error`.
    [[nodiscard]] bool Start(std::string& error);
    // Stops listening, lets running requests finish and joins the threads.
    void Stop();
    // The port listened on (the one chosen when the options asked for 0).
    [[nodiscard]] std::uint16_t Port() const;

private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};
