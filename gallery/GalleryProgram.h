#pragma once
// The gallery program put together: the store its options name, the password hasher,
// the preview cache, the service and its routes (GalleryRoutes.h), behind the HTTP
// server (http/HttpServer.h). Start returns once the port listens.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gallery/http/HttpServer.h"
#include "gallery/preview/PreviewCache.h"
#include "gallery/preview/PreviewRenderer.h"
#include "gallery/service/AbuseGuard.h"
#include "gallery/service/PasswordHasher.h"

struct CGalleryProgramOptions {
    std::string m_strDataDir;                // created when missing
    std::string m_strDatabase;               // see OpenGalleryStore; empty: DATA_DIR/gallery.db
    // Where it listens, its threads and connection limits, the trusted proxy and the
    // request log. The program sets the lanes and what the handler keeps of a body.
    CHttpServerOptions m_http;
    int m_nRenderThreads = 2;                // previews served (rendered) at once, beside them
    PasswordCost m_passwordCost = PasswordCost::Interactive;
    std::uint64_t m_nPreviewCacheBytes = CPreviewCache::kDefaultLimitBytes; // kept previews, at most
    CAbuseLimits m_abuseLimits;              // password guessing and post floods
    std::function<std::int64_t()> m_clock;   // seconds since 1970; empty: the system clock
};

class CGalleryProgram {
public:
    CGalleryProgram(CGalleryProgramOptions options, std::unique_ptr<CPreviewRenderer> renderer);
    ~CGalleryProgram(); // stops
    CGalleryProgram(const CGalleryProgram&) = delete;
    CGalleryProgram& operator=(const CGalleryProgram&) = delete;

    // Opens the data directory and the store, and listens. False with the reason in `error`.
    [[nodiscard]] bool Start(std::string& error);
    // Stops listening, lets running requests finish and joins the threads.
    void Stop();
    // The port listened on (the one chosen when the options asked for 0).
    [[nodiscard]] std::uint16_t Port() const;

private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};
