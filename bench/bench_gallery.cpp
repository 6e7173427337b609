// The gallery server under load: posts per second held on loopback by 8 clients that
// post with the program's own upload code (a fresh connection per post, as the
// program does), and the time to render the gallery page with 1000 ringtones stored.
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

#include "gallery/FakePreviewRenderer.h"
#include "gallery/GalleryServer.h"
#include "gallery/GalleryService.h"
#include "gallery/GalleryStore.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "upload/CurlHttpTransport.h"
#include "upload/StatusLine.h"
#include "upload/UploadBody.h"
#include "upload/UploadSession.h"

namespace {

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
    CGalleryServerOptions options;
    options.m_strDataDir = data.Path();
    options.m_strHost = "127.0.0.1";
    options.m_nPort = 0;
    options.m_passwordCost = bRealHashes ? PasswordCost::Interactive : PasswordCost::Minimum;
    CGalleryServer server(options, std::make_unique<CFakePreviewRenderer>());
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

void BM_GalleryPage1000Tones(benchmark::State& state)
{
    CScratchDir data;
    std::filesystem::create_directories(data.Path() + "/wav");
    CGalleryStore store;
    std::string error;
    if (!store.Open(data.Path(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string hash = "$argon2id$v=19$m=8,t=1,p=1$bench";
    for (int i = 0; i < 1000; ++i) {
        CToneRecord tone;
        tone.m_strAuthor = "author" + std::to_string(i % 40);
        tone.m_strName = "Ringtone number " + std::to_string(i);
        tone.m_category = static_cast<ToneCategory>(i % 4);
        tone.m_nPosted = 1765180800 + i;
        tone.m_midi = PreviewMidi();
        tone.m_message = Message();
        bool bNew = i < 40;
        if (store.AddTone(tone, bNew ? &hash : nullptr, error) != CGalleryStore::AddResult::Added) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    CPasswordHasher hasher(PasswordCost::Minimum);
    CFakePreviewRenderer renderer;
    CPreviewCache previews(data.Path() + "/wav", renderer);
    CGalleryService service(store, hasher, previews, [] { return std::int64_t{0}; });
    std::size_t bytes = 0;
    for (auto _ : state) {
        CGalleryAnswer page = service.Page();
        bytes = page.m_strBody.size();
        benchmark::DoNotOptimize(page.m_strBody.data());
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_GalleryPage1000Tones)->Unit(benchmark::kMillisecond);

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
