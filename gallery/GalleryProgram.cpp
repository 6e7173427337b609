#include "gallery/GalleryProgram.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <optional>

#include "gallery/http/HttpServer.h"
#include "gallery/service/GalleryRoutes.h"
#include "gallery/service/GalleryService.h"
#include "gallery/service/UploadLimits.h"
#include "gallery/store/GalleryStore.h"

namespace {

std::int64_t SystemSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The lanes of the requests that may take long, in this order.
enum GalleryLane { kRenderLane, kPostLane };

// The ringtone id of a preview's path, "/tone/<id>.ogg"; 0 for another path.
std::int64_t PreviewIdOf(std::string_view path)
{
    if (!path.starts_with("/tone/") || !path.ends_with(".ogg"))
        return 0;
    const std::string_view digits = path.substr(6, path.size() - 10);
    std::int64_t id = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    return ec == std::errc() && end == digits.data() + digits.size() ? id : 0;
}

CHttpServerOptions HttpOptionsOf(const CGalleryProgramOptions& options, const CPreviewCache& previews)
{
    CHttpServerOptions http = options.m_http;
    http.m_nKeptBodyBytes = kMaxUploadBodyBytes;
    // A preview not yet in the cache is rendered on first request: on threads of its
    // own, so that renders never hold the threads that serve the pages, and kept
    // previews are served beside the pages. Posts and deletions write, and wait while
    // the disk does: on threads of their own too, so that reading goes on meanwhile.
    http.m_lanes.resize(2);
    http.m_lanes[kRenderLane] = {options.m_nRenderThreads, 64, 16,
                                 "The gallery has too much to render at the moment; try again.",
                                 "Too many previews asked for by your address are being rendered; try again."};
    // An address may have as many posts waiting as it may have connections.
    http.m_lanes[kPostLane] = {http.m_nThreads, 256, http.m_nConnectionsPerAddress,
                               "The gallery has too many posts waiting to be stored; try again.",
                               "Too many posts from your address are waiting to be stored; try again."};
    http.m_laneOf = [&previews](const CGalleryRequest& request) {
        if (request.m_strMethod == "POST")
            return static_cast<int>(kPostLane);
        const std::int64_t preview = PreviewIdOf(request.m_strPath);
        return preview != 0 && !previews.IsKept(preview) ? static_cast<int>(kRenderLane) : -1;
    };
    return http;
}

} // namespace

struct CGalleryProgram::CImpl {
    CImpl(CGalleryProgramOptions options, std::unique_ptr<CPreviewRenderer> renderer)
        : m_options(std::move(options)),
          m_pRenderer(std::move(renderer)),
          m_hasher(m_options.m_passwordCost),
          m_previews(CPreviewCache::DirectoryIn(m_options.m_strDataDir), *m_pRenderer,
                     m_options.m_nPreviewCacheBytes),
          m_http(HttpOptionsOf(m_options, m_previews),
                 [this](const CGalleryRequest& request) { return RouteGalleryRequest(*m_service, request); })
    {
    }

    CGalleryProgramOptions m_options;
    std::unique_ptr<CPreviewRenderer> m_pRenderer;
    std::unique_ptr<CGalleryStore> m_pStore; // opened by Start
    CPasswordHasher m_hasher;
    CPreviewCache m_previews;
    std::optional<CGalleryService> m_service;
    CHttpServer m_http; // last: stopped first, while what it serves is still there
};

CGalleryProgram::CGalleryProgram(CGalleryProgramOptions options, std::unique_ptr<CPreviewRenderer> renderer)
    : m_pImpl(std::make_unique<CImpl>(std::move(options), std::move(renderer)))
{
}

CGalleryProgram::~CGalleryProgram()
{
    Stop();
}

bool CGalleryProgram::Start(std::string& error)
{
    CImpl& impl = *m_pImpl;
    if (impl.m_service) {
        error = "the gallery server is already running";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(impl.m_options.m_strDataDir + "/wav", ec);
    if (ec) {
        error = "cannot create the data directory " + impl.m_options.m_strDataDir + ": " + ec.message();
        return false;
    }
    impl.m_pStore = OpenGalleryStore(impl.m_options.m_strDatabase, impl.m_options.m_strDataDir, error);
    if (!impl.m_pStore || !impl.m_previews.Open(error))
        return false;
    impl.m_service.emplace(*impl.m_pStore, impl.m_hasher, impl.m_previews,
                           impl.m_options.m_clock ? impl.m_options.m_clock : SystemSeconds,
                           impl.m_options.m_abuseLimits);
    if (!impl.m_http.Start(error)) {
        impl.m_service.reset();
        return false;
    }
    return true;
}

void CGalleryProgram::Stop()
{
    m_pImpl->m_http.Stop();
}

std::uint16_t CGalleryProgram::Port() const
{
    return m_pImpl->m_http.Port();
}
