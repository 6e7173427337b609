#include "tests/gallery/GalleryTestServer.h"

#include <httplib.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

#include "prompt/Prompt.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "tests/gallery/GalleryTestData.h"
#include "upload/CurlHttpTransport.h"
#include "upload/PostController.h"
#include "upload/StatusLine.h"

bool CGalleryTestServer::Start(std::string& error)
{
    CGalleryProgramOptions options;
    options.m_strDataDir = m_strDataDir;
    options.m_http.m_strHost = "127.0.0.1";
    options.m_http.m_nPort = 0;
    options.m_passwordCost = PasswordCost::Minimum;
    options.m_clock = [this] { return m_nNow.load(); };
    options.m_abuseLimits = m_abuseLimits;
    options.m_http.m_nConnectionsPerAddress = m_nConnectionsPerAddress;
    options.m_http.m_nMaxConnections = m_nMaxConnections;
    options.m_http.m_nIdleSeconds = m_nIdleSeconds;
    options.m_http.m_strTrustedProxy = m_strTrustedProxy;
    auto renderer = std::make_unique<CFakePreviewRenderer>();
    m_pRenderer = renderer.get();
    m_pServer = std::make_unique<CGalleryProgram>(std::move(options), std::move(renderer));
    return m_pServer->Start(error);
}

CProgramPost PostLikeTheProgram(std::uint16_t port, const std::string& nickname, const std::string& password,
                                const std::string& tone, int category, const std::vector<std::uint8_t>& package)
{
    CProgramPost result;
    CTempDir temp;
    const std::string path = temp.File("1765180800");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(package.data()),
                                                static_cast<std::streamsize>(package.size()));
    CMemorySettingsStore settings;
    settings.SetString(kProfileIdentity, kProfileNickname, nickname);
    settings.SetString(kProfileIdentity, kProfileEmail, "tester@example.org");
    settings.SetString(kProfileIdentity, kProfilePassword, password);
    settings.SetString(kProfileSystem, kProfileHomeSite, "127.0.0.1");
    CRecordingPrompt prompt;
    CPostController controller;
    if (!controller.Open(path, settings, prompt)) {
        result.m_strShown = prompt.Entries().empty() ? "not opened" : prompt.Entries().back().text;
        return result;
    }
    controller.SetToneName(tone);
    controller.SetCategory(category);
    CUploadOptions options;
    options.m_wPort = port;
    options.m_nConnectTimeoutMs = 10000;
    options.m_nStallTimeoutMs = 30000;
    controller.SetUploadOptions(options);
    CCurlHttpTransport transport;
    CRecordingStatusLine status;
    result.m_bPosted = controller.Post(settings, transport, status, prompt);
    if (!prompt.Entries().empty()) {
        result.m_strShown = prompt.Entries().back().text;
        result.m_strCaption = prompt.Entries().back().caption;
    }
    return result;
}

int TonesOnPage(std::uint16_t port)
{
    // The front page shows only each category's newest; the JSON listing of every
    // category says how many there are in all.
    int total = -1;
    std::vector<std::int64_t> ids;
    return ReadJsonListing(port, "", total, ids) ? total : -1;
}

bool ReadJsonListing(std::uint16_t port, const std::string& query, int& total, std::vector<std::int64_t>& ids)
{
    httplib::Client client("127.0.0.1", port);
    auto res = client.Get("/api/tones" + (query.empty() ? std::string() : "?" + query));
    if (!res || res->status != 200)
        return false;
    constexpr std::string_view kTotal = "\"total\":";
    const std::size_t at = res->body.find(kTotal);
    if (at == std::string::npos)
        return false;
    total = std::atoi(res->body.c_str() + at + kTotal.size());
    ids.clear();
    constexpr std::string_view kId = "{\"id\":";
    for (std::size_t id = res->body.find(kId); id != std::string::npos; id = res->body.find(kId, id + 1))
        ids.push_back(std::atoll(res->body.c_str() + id + kId.size()));
    return true;
}
