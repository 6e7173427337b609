#include "gallery/GalleryServer.h"

#include <httplib.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <thread>

#include "gallery/GalleryService.h"
#include "gallery/GalleryStore.h"
#include "gallery/PreviewCache.h"

namespace {

// The original Content-Type of a post, moved aside before the library sees it.
constexpr const char* kPostContentType = "X-Zorvat-Post-Content-Type";

std::int64_t SystemSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void Send(const CGalleryAnswer& answer, httplib::Response& res)
{
    res.status = answer.m_nStatus;
    if (!answer.m_strFileName.empty())
        res.set_header("Content-Disposition", "attachment; filename=\"" + answer.m_strFileName + "\"");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_content(answer.m_strBody, answer.m_strContentType);
}

bool ParseId(const std::string& digits, std::int64_t& id)
{
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    return ec == std::errc() && end == digits.data() + digits.size() && id > 0;
}

} // namespace

struct CGalleryServer::CImpl {
    CImpl(CGalleryServerOptions options, std::unique_ptr<CPreviewRenderer> renderer)
        : m_options(std::move(options)),
          m_pRenderer(std::move(renderer)),
          m_hasher(m_options.m_passwordCost),
          m_previews(m_options.m_strDataDir + "/wav", *m_pRenderer),
          m_service(m_store, m_hasher, m_previews, m_options.m_clock ? m_options.m_clock : SystemSeconds)
    {
    }

    bool Start(std::string& error);
    void Stop();
    void Route();
    void ReceivePost(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);

    CGalleryServerOptions m_options;
    std::unique_ptr<CPreviewRenderer> m_pRenderer;
    CGalleryStore m_store;
    CPasswordHasher m_hasher;
    CPreviewCache m_previews;
    CGalleryService m_service;
    httplib::Server m_server;
    std::thread m_listener;
    std::atomic<bool> m_bListenerDone{false};
    int m_nPort = 0;
    bool m_bStarted = false;
};

void CGalleryServer::CImpl::ReceivePost(const httplib::Request& req, httplib::Response& res,
                                        const httplib::ContentReader& reader)
{
    std::vector<std::uint8_t> body;
    std::size_t total = 0;
    // Everything is read, up to the library's limit, but no more than the largest
    // post is kept: the client then reads the refusal instead of a reset connection.
    bool bComplete = reader([&](const char* data, std::size_t size) {
        total += size;
        if (total <= kMaxUploadBodyBytes)
            body.insert(body.end(), data, data + size);
        return true;
    });
    // A body the library refused to read (beyond kMaxDrainedBodyBytes) still counts
    // at its declared length.
    if (!bComplete && req.has_header("Content-Length")) {
        const std::string length = req.get_header_value("Content-Length");
        std::size_t declared = 0;
        std::from_chars(length.data(), length.data() + length.size(), declared);
        total = std::max(total, declared);
    }
    Send(m_service.Post(req.get_header_value(kPostContentType), body, total, bComplete), res);
    if (!bComplete)
        res.set_header("Connection", "close");
}

void CGalleryServer::CImpl::Route()
{
    // The library parses a multipart body itself, by rules the program's body does
    // not follow (its file data runs straight into the closing line, and a zero byte
    // follows); so the upload's Content-Type is moved aside and the raw body read.
    m_server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        // The request object the library hands out is its own, not a constant one.
        auto& request = const_cast<httplib::Request&>(req);
        request.headers.erase(kPostContentType);
        if (req.method == "POST" && req.path == kGalleryUploadPath) {
            std::string type = req.get_header_value("Content-Type");
            request.headers.erase("Content-Type");
            request.headers.emplace(kPostContentType, type);
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const std::string upload(kGalleryUploadPath);
    m_server.Post(upload, [this](const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader) { ReceivePost(req, res, reader); });
    m_server.Get(upload, [](const httplib::Request&, httplib::Response& res) {
        res.status = 405;
        res.set_header("Allow", "POST");
        res.set_content("Ringtones are posted here by ZorvatTone; the gallery is at /.\n", "text/plain");
    });
    m_server.Get("/", [this](const httplib::Request&, httplib::Response& res) { Send(m_service.Page(), res); });
    m_server.Get(R"(/tone/(\d{1,18})\.(mid|ott|txt|wav))", [this](const httplib::Request& req, httplib::Response& res) {
        std::int64_t id = 0;
        if (!ParseId(req.matches[1], id)) {
            res.status = 404;
            return;
        }
        const std::string kind = req.matches[2];
        ToneDownload download = kind == "mid"   ? ToneDownload::Midi
                                : kind == "ott" ? ToneDownload::RingingTone
                                : kind == "txt" ? ToneDownload::HexText
                                                : ToneDownload::Wav;
        Send(m_service.Fetch(id, download), res);
    });
    m_server.Post(R"(/tone/(\d{1,18})/delete)", [this](const httplib::Request& req, httplib::Response& res) {
        std::int64_t id = 0;
        if (!ParseId(req.matches[1], id)) {
            res.status = 404;
            return;
        }
        Send(m_service.Delete(id, req.get_param_value("password")), res);
    });
    m_server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty())
            return;
        std::string text = res.status == 404   ? "There is nothing here; the gallery is at /."
                           : res.status == 413 ? "The request is far larger than anything the gallery takes."
                                               : "The request could not be served (status " +
                                                     std::to_string(res.status) + ").";
        res.set_content(text + "\n", "text/plain");
    });
    if (m_options.m_log)
        m_server.set_logger([log = m_options.m_log](const httplib::Request& req, const httplib::Response& res) {
            log(req.remote_addr + " " + req.method + " " + req.path + " " + std::to_string(res.status));
        });
}

bool CGalleryServer::CImpl::Start(std::string& error)
{
    if (m_bStarted) {
        error = "the gallery server is already running";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(m_options.m_strDataDir + "/wav", ec);
    if (ec) {
        error = "cannot create the data directory " + m_options.m_strDataDir + ": " + ec.message();
        return false;
    }
    if (!m_store.Open(m_options.m_strDataDir, error))
        return false;
    Route();
    const int threads = std::max(1, m_options.m_nThreads);
    // The library owns and deletes the queue it is handed.
    m_server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    m_server.set_payload_max_length(kMaxDrainedBodyBytes);
    m_server.set_keep_alive_timeout(2);
    m_server.set_read_timeout(10);
    m_server.set_write_timeout(10);
    m_nPort = m_options.m_nPort == 0 ? m_server.bind_to_any_port(m_options.m_strHost)
                                     : (m_server.bind_to_port(m_options.m_strHost, m_options.m_nPort)
                                            ? m_options.m_nPort
                                            : -1);
    if (m_nPort <= 0) {
        error = "cannot listen on " + m_options.m_strHost + " port " + std::to_string(m_options.m_nPort) +
                " (in use, or an address this machine does not have)";
        return false;
    }
    m_listener = std::thread([this] {
        m_server.listen_after_bind();
        m_bListenerDone = true;
    });
    // Stop must find the server running, or it would not end the listener.
    while (!m_server.is_running() && !m_bListenerDone)
        std::this_thread::yield();
    m_bStarted = true;
    return true;
}

void CGalleryServer::CImpl::Stop()
{
    if (!m_bStarted)
        return;
    m_server.stop();
    if (m_listener.joinable())
        m_listener.join();
    m_bStarted = false;
}

CGalleryServer::CGalleryServer(CGalleryServerOptions options, std::unique_ptr<CPreviewRenderer> renderer)
    : m_pImpl(std::make_unique<CImpl>(std::move(options), std::move(renderer)))
{
}

CGalleryServer::~CGalleryServer()
{
    Stop();
}

bool CGalleryServer::Start(std::string& error)
{
    return m_pImpl->Start(error);
}

void CGalleryServer::Stop()
{
    m_pImpl->Stop();
}

std::uint16_t CGalleryServer::Port() const
{
    return static_cast<std::uint16_t>(m_pImpl->m_nPort);
}
