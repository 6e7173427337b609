// The gallery server under load: posts per second held on loopback by 8 clients that
// post with the program's own upload code (a fresh connection per post, as the
// program does); and with 100,000 ringtones stored, the size of the gallery's pages
// and the time to answer each (the store's queries and the HTML): the front page, a
// category's first and last page, searches and an author's page. A page must stay
// under 100 KB and 10 ms.
//
// The load test runs for --post_seconds=N (default 30) and stops by itself; CI-built
// runs can pass a short one. The post test runs twice: with the password hashes the
// server uses by default (Argon2id, 64 MiB, verified on every post) and with the
// cheapest ones, which shows what the rest of the server costs.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "gallery/service/GalleryRoutes.h"
#include "gallery/GalleryProgram.h"
#include "gallery/service/GalleryService.h"
#include "gallery/store/SqliteGalleryStore.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "upload/CurlHttpTransport.h"
#include "upload/StatusLine.h"
#include "upload/UploadBody.h"
#include "upload/UploadSession.h"

namespace {

// Nothing here plays a preview; the server and the service still need a renderer.
class CNoPreviewRenderer final : public CPreviewRenderer {
public:
    bool RenderPreview(std::span<const std::uint8_t>, std::string&, std::string& error) override
    {
        error = "the benchmark renders no previews";
        return false;
    }
};

int g_nPostSeconds = 30;
constexpr int kClients = 8;

class CScratchDir {
public:
    CScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zt-bench-gallery-XXXXXX").string();
        m_strPath = ::mkdtemp(pattern.data());
    }
    ~CScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_strPath, ec);
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    [[nodiscard]] const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

// A one-track preview of 8c5, 4p, 8d5 and a twenty-note ringtone.
std::vector<std::uint8_t> PreviewMidi()
{
    return {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x60, 0x4D, 0x54, 0x72,
            0x6B, 0x00, 0x00, 0x00, 0x1E, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 0x39, 0x00, 0x90,
            0x3C, 0x7F, 0x30, 0x80, 0x3C, 0x7F, 0x60, 0x90, 0x3E, 0x7F, 0x30, 0x80, 0x3E, 0x7F, 0x00, 0xFF, 0x2F,
            0x00};
}

std::vector<std::uint8_t> Message()
{
    std::vector<RingtoneNote> notes;
    for (std::uint32_t i = 0; i < 20; ++i)
        notes.push_back({((i % 12) + 1) << 4, 0x60, 0x00, 0x40});
    return BuildRingtoneMessage("Bench", 120, static_cast<std::int32_t>(notes.size()), notes.data());
}

std::vector<std::uint8_t> Package()
{
    std::vector<std::uint8_t> package = BuildRingtonePackage(PreviewMidi(), HexOf(Message()));
    return LzwCompressBytes(package.data(), package.size());
}

void BM_PostsPerSecond(benchmark::State& state)
{
    const bool bRealHashes = state.range(0) != 0;
    CScratchDir data;
    CGalleryProgramOptions options;
    options.m_strDataDir = data.Path();
    options.m_http.m_strHost = "127.0.0.1";
    options.m_http.m_nPort = 0;
    options.m_passwordCost = bRealHashes ? PasswordCost::Interactive : PasswordCost::Minimum;
    CGalleryProgram server(options, std::make_unique<CNoPreviewRenderer>());
    std::string error;
    if (!server.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<std::uint8_t> package = Package();
    CUploadOptions uploadOptions;
    uploadOptions.m_wPort = server.Port();
    auto post = [&](int client, int n) {
        CCurlHttpTransport transport;
        CRecordingStatusLine status;
        CUploadSession session(transport, status, uploadOptions);
        std::string message;
        return session.Upload("127.0.0.1",
                              BuildUploadBody("client" + std::to_string(client), "pw" + std::to_string(client),
                                              "Tone " + std::to_string(n), "OTHERS", package),
                              message);
    };
    // Every client's nickname is registered before the clock starts.
    for (int c = 0; c < kClients; ++c)
        if (!post(c, 0)) {
            state.SkipWithError("a first post failed");
            return;
        }

    for (auto _ : state) {
        std::atomic<long> posted{0};
        std::atomic<long> failed{0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(g_nPostSeconds);
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c)
            clients.emplace_back([&, c] {
                for (int n = 1; std::chrono::steady_clock::now() < deadline; ++n)
                    (post(c, n) ? posted : failed)++;
            });
        for (std::thread& t : clients)
            t.join();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        state.counters["posts_per_s"] = static_cast<double>(posted) / seconds;
        state.counters["posts"] = static_cast<double>(posted);
        state.counters["failed"] = static_cast<double>(failed);
    }
}
BENCHMARK(BM_PostsPerSecond)->ArgName("argon2id_interactive")->Arg(1)->Arg(0)->Iterations(1)->UseManualTime()
    ->Unit(benchmark::kSecond);

// 100,000 ringtones, 25,000 a category and 1,000 an author, stored once for all the
// page benchmarks: the authors are registered post by post, the ringtones stored in one
// transaction, as posting them one by one would take an hour of syncs.
class CLargeGallery {
public:
    static constexpr int kTones = 100000;
    static constexpr int kAuthors = 100;

    static CLargeGallery& Get()
    {
        static CLargeGallery gallery;
        return gallery;
    }

    [[nodiscard]] const std::string& Error() const { return m_strError; }
    [[nodiscard]] CGalleryService& Service() { return m_service; }

private:
    CLargeGallery() { (void)(m_store.Open(m_data.Path(), m_strError) && Fill()); }

    bool Fill()
    {
        const std::string hash = "$argon2id$v=19$m=8,t=1,p=1$bench";
        std::vector<CToneRecord> tones;
        for (int i = 0; i < kTones; ++i) {
            CToneRecord& tone = tones.emplace_back();
            tone.m_strAuthor = "author" + std::to_string(i % kAuthors);
            tone.m_strName = "Ringtone number " + std::to_string(i);
            tone.m_category = static_cast<ToneCategory>(i % 4);
            tone.m_nPosted = 1765180800 + i;
            tone.m_midi = PreviewMidi();
            tone.m_message = Message();
            if (i < kAuthors && m_store.AddTone(tone, &hash, m_strError) != CGalleryStore::AddResult::Added)
                return false;
        }
        tones.erase(tones.begin(), tones.begin() + kAuthors);
        return m_store.AddTones(tones, m_strError);
    }

    CScratchDir m_data;
    CSqliteGalleryStore m_store;
    CPasswordHasher m_hasher{PasswordCost::Minimum};
    CNoPreviewRenderer m_renderer;
    CPreviewCache m_previews{CPreviewCache::DirectoryIn(m_data.Path()), m_renderer};
    CGalleryService m_service{m_store, m_hasher, m_previews, [] { return std::int64_t{0}; }};
    std::string m_strError;
};

// One page of the large gallery as the routes answer it: the store's queries and the
// HTML (or JSON), no HTTP. Reports the page's size.
void BM_GalleryPage(benchmark::State& state, const char* path, const char* query)
{
    CLargeGallery& gallery = CLargeGallery::Get();
    if (!gallery.Error().empty()) {
        state.SkipWithError(gallery.Error().c_str());
        return;
    }
    CGalleryRequest request;
    request.m_strMethod = "GET";
    request.m_strPath = path;
    request.m_strQuery = query;
    std::size_t bytes = 0;
    for (auto _ : state) {
        CGalleryAnswer page = RouteGalleryRequest(gallery.Service(), request);
        if (page.m_nStatus != 200) {
            state.SkipWithError(("status " + std::to_string(page.m_nStatus) + ": " + page.m_strBody).c_str());
            return;
        }
        bytes = page.m_strBody.size();
        benchmark::DoNotOptimize(page.m_strBody.data());
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK_CAPTURE(BM_GalleryPage, front_page, "/", "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GalleryPage, category_first_page, "/", "category=ENGLISH")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GalleryPage, category_last_of_500, "/", "category=ENGLISH&page=500")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GalleryPage, search_one_match, "/", "q=42424")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GalleryPage, search_every_tone_first, "/", "q=ringtone")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GalleryPage, search_every_tone_last, "/", "q=ringtone&page=20")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GalleryPage, author_first_page, "/author/author7", "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GalleryPage, json_every_tone_last, "/api/tones", "page=2000")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // --post_seconds=N is ours; everything else goes to the benchmark library.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--post_seconds=", 15) == 0)
            g_nPostSeconds = std::max(1, std::atoi(argv[i] + 15));
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
