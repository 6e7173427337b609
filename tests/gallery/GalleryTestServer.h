#pragma once
// The gallery server for the HTTP tests: on 127.0.0.1, a port of its own, a data
// directory the test gives, the cheapest password hashes and the fake preview
// renderer; and the program's own post path to talk to it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/FakePreviewRenderer.h"
#include "gallery/GalleryProgram.h"

class CGalleryTestServer {
public:
    explicit CGalleryTestServer(std::string dataDir) : m_strDataDir(std::move(dataDir)) {}

    // False with the reason in `error`.
    [[nodiscard]] bool Start(std::string& error);
    void Stop() { m_pServer.reset(); }
    [[nodiscard]] std::uint16_t Port() const { return m_pServer ? m_pServer->Port() : 0; }
    // The renderer of the running server.
    [[nodiscard]] CFakePreviewRenderer& Renderer() { return *m_pRenderer; }
    // The time the next post is stored with, and the guard's clock.
    std::atomic<std::int64_t> m_nNow{1765180800}; // 2025-12-08 08:00 UTC
    // Set before Start. The tests post far more, and from one address, than anyone
    // may: the post allowance and the connections per address are raised; the
    // guessing limits are the gallery's own.
    CAbuseLimits m_abuseLimits{.m_nPostBurst = 100000};
    int m_nConnectionsPerAddress = 1000;
    int m_nMaxConnections = kMaxConnections;
    int m_nIdleSeconds = kIdleSeconds;
    std::string m_strTrustedProxy;

private:
    std::string m_strDataDir;
    CFakePreviewRenderer* m_pRenderer = nullptr;
    std::unique_ptr<CGalleryProgram> m_pServer;
};

struct CProgramPost {
    bool m_bPosted = false;     // the program's verdict: a 2xx reply
    std::string m_strShown;     // what it showed: "Post Result" or "Upload Error" text
    std::string m_strCaption;
};

// Posts `package` the way the Post dialog does (CPostController with the real libcurl
// transport), as nickname/password, under `tone` and the list position `category`.
[[nodiscard]] CProgramPost PostLikeTheProgram(std::uint16_t port, const std::string& nickname,
                                              const std::string& password, const std::string& tone, int category,
                                              const std::vector<std::uint8_t>& package);

// The number of ringtones the gallery lists (all categories); -1 when it could not be read.
[[nodiscard]] int TonesOnPage(std::uint16_t port);
// The JSON listing "/api/tones?QUERY" (QUERY percent-encoded by the caller): its
// "total", and the ids of its first page. False when it could not be read.
[[nodiscard]] bool ReadJsonListing(std::uint16_t port, const std::string& query, int& total,
                                   std::vector<std::int64_t>& ids);
