// gallery-attack-drill: the gallery server against the attacks of the open internet,
// each from addresses of 127.0.0.0/8, with the fake preview renderer and a disk that
// can be stalled. Prints one figure per step and its goal:
//   guesses    --addresses addresses guess one wrong password each at one author; the
//              checks that ran must be at most 10, the author must still post from the
//              address it registered from, and a fresh address must wait.
//   look-alikes  nicknames drawn like registered ones must join them, not register.
//   render flood  --flood requests for previews not yet rendered, from 5 addresses;
//              at least 90% of the probes for a kept preview must be answered.
//   disk stall  the disk stalls for --stall-seconds under a post; the page must be
//              answered within a second throughout, and the post stored after.
// Exits 0 when every goal held, 1 otherwise, 2 on bad options.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/gallery/GalleryProcess.h"
#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestServer.h"
#include "tests/gallery/StallingDisk.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CAttackOptions {
    int m_nAddresses = 1000;
    int m_nFlood = 100;
    double m_dStallSeconds = 8;
};

struct CAnswer {
    int m_nStatus = 0; // 0: none within the time
    std::string m_strBody;
    double m_dSeconds = 0;
};

// One request on a new connection from `source`, within `limit` seconds.
CAnswer Ask(const std::string& source, std::uint16_t port, const std::string& request, double limit)
{
    CAnswer answer;
    const Clock::time_point start = Clock::now();
    const int fd = ConnectFromLoopback(source, port, false);
    if (fd < 0 || send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        if (fd >= 0)
            close(fd);
        return answer;
    }
    std::string bytes;
    const auto deadline = start + std::chrono::duration<double>(limit);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[65536];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (n == 0 && bytes.size() > 12)
                answer.m_nStatus = std::atoi(bytes.c_str() + 9);
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    answer.m_dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    answer.m_strBody = bytes.substr(std::min(bytes.size(), bytes.find("\r\n\r\n") + 4));
    return answer;
}

std::string Get(const std::string& path)
{
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

std::string PostAs(const std::string& nickname, const std::string& password)
{
    const std::string body = UploadBodyOf(nickname, password, "Tone", "OTHERS", GoodPackage());
    return "POST /examples/servlet/zvtoneload HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: " +
           std::string(kUploadContentType) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The n-th address of a block of 127.0.0.0/8 set apart for one step.
std::string Address(int block, int n)
{
    return "127." + std::to_string(block) + "." + std::to_string(n / 250) + "." + std::to_string(1 + n % 250);
}

bool Report(bool bHeld, const char* line)
{
    std::printf("%s  [%s]\n", line, bHeld ? "held" : "FAILED");
    return bHeld;
}

bool Guesses(CGalleryTestServer& server, const CAttackOptions& options)
{
    const std::uint16_t port = server.Port();
    bool bHeld = Ask(Address(1, 0), port, PostAs("victim", "right"), 10).m_nStatus == 200;
    int checked = 0;
    for (int i = 0; i < options.m_nAddresses; ++i)
        checked += Ask(Address(2, i), port, PostAs("victim", "guess" + std::to_string(i)), 10).m_nStatus == 403;
    const int fresh = Ask(Address(3, 0), port, PostAs("victim", "right"), 10).m_nStatus;
    const int own = Ask(Address(1, 0), port, PostAs("victim", "right"), 10).m_nStatus;
    char line[256];
    std::snprintf(line, sizeof line,
                  "guesses checked for one author from %d addresses: %d (at most 10); the author from its own "
                  "address: %d, from a fresh one: %d",
                  options.m_nAddresses, checked, own, fresh);
    return Report(bHeld && checked <= 10 && own == 200 && fresh == 429, line);
}

bool LookAlikes(CGalleryTestServer& server)
{
    const std::pair<const char*, const char*> kPairs[] = {
        {"victim", "\u03BDictim"}, {"victim", "v\u13A5ctim"}, {"user", "\u03C5ser"}, {"none", "\u03B7one"},
        {"none", "\u043Fone"},     {"wow", "\u03C9o\u03C9"},   {"rose", "\u0433ose"}, {"paypal", "paypaI"},
        {"useri", "userI"},        {"agent007", "agentOO7"},  {"OO", "00"},          {"ham", "\uAB8B\uAB7A\uAB87"},
    };
    const std::uint16_t port = server.Port();
    int n = 0;
    int registered = 0;
    for (const auto& [base, alike] : kPairs) {
        (void)Ask(Address(4, n), port, PostAs(base, "base"), 10);
        const CAnswer answer = Ask(Address(4, n), port, PostAs(alike, "alike"), 10);
        registered += answer.m_nStatus == 200 && answer.m_strBody.find("is now registered") != std::string::npos;
        ++n;
    }
    char line[160];
    std::snprintf(line, sizeof line, "look-alikes that registered as new authors: %d of %zu", registered,
                  std::size(kPairs));
    return Report(registered == 0, line);
}

bool RenderFlood(CGalleryTestServer& server, const CAttackOptions& options)
{
    const std::uint16_t port = server.Port();
    for (int i = 0; i <= options.m_nFlood; ++i)
        (void)Ask(Address(5, 0), port, PostAs("flood", "pw"), 10);
    const std::string kept = "/tone/" + std::to_string(options.m_nFlood + 1) + ".ogg";
    bool bHeld = Ask(Address(5, 0), port, Get(kept), 10).m_nStatus == 200;
    server.Renderer().SetDelayMs(300);
    std::vector<std::thread> flood;
    for (int i = 0; i < options.m_nFlood; ++i)
        flood.emplace_back([&, i] {
            (void)Ask(Address(6, i % 5), port, Get("/tone/" + std::to_string(i + 1) + ".ogg"), 60);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int probes = 0;
    int answered = 0;
    for (const auto end = Clock::now() + std::chrono::seconds(3); Clock::now() < end; ++probes) {
        answered += Ask(Address(7, 0), port, Get(kept), 1).m_nStatus == 200;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread& request : flood)
        request.join();
    server.Renderer().SetDelayMs(0);
    char line[160];
    std::snprintf(line, sizeof line, "kept previews answered during a flood of %d renders: %d of %d (at least 90%%)",
                  options.m_nFlood, answered, probes);
    return Report(bHeld && answered * 10 >= probes * 9, line);
}

bool DiskStall(CGalleryTestServer& server, CStallingDisk& disk, const CAttackOptions& options)
{
    const std::uint16_t port = server.Port();
    disk.Stall();
    std::atomic<int> posted{0};
    std::thread poster([&] { posted = Ask(Address(8, 0), port, PostAs("stalled", "pw"), 120).m_nStatus; });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int probes = 0;
    int answered = 0;
    double worst = 0;
    for (const auto end = Clock::now() + std::chrono::duration<double>(options.m_dStallSeconds);
         Clock::now() < end; ++probes) {
        const CAnswer page = Ask(Address(9, 0), port, Get("/"), 1);
        answered += page.m_nStatus == 200;
        worst = std::max(worst, page.m_dSeconds);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const bool bStalled = disk.StalledSyncs() > 0 && posted == 0;
    disk.Release();
    poster.join();
    const bool bListed = Ask(Address(9, 0), port, Get("/api/tones?q=stalled"), 10).m_strBody.find("stalled") !=
                         std::string::npos;
    char line[256];
    std::snprintf(line, sizeof line,
                  "GET / during a %.0f s disk stall: %d of %d answered within 1 s, the slowest in %.0f ms; the post "
                  "stalled meanwhile: %s, then answered %d and listed: %s",
                  options.m_dStallSeconds, answered, probes, worst * 1000, bStalled ? "yes" : "no", posted.load(),
                  bListed ? "yes" : "no");
    return Report(bStalled && answered == probes && posted == 200 && bListed, line);
}

bool ParseOptions(int argc, char** argv, CAttackOptions& options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--addresses")
            options.m_nAddresses = std::atoi(value.c_str());
        else if (name == "--flood")
            options.m_nFlood = std::atoi(value.c_str());
        else if (name == "--stall-seconds")
            options.m_dStallSeconds = std::atof(value.c_str());
        else
            return false;
    }
    return argc % 2 == 1 && options.m_nAddresses > 0 && options.m_nAddresses <= 60000 && options.m_nFlood > 0 &&
           options.m_nFlood <= 1000 && options.m_dStallSeconds > 0 && options.m_dStallSeconds <= 600;
}

} // namespace

int main(int argc, char** argv)
{
    CAttackOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: gallery-attack-drill [--addresses N] [--flood N] [--stall-seconds S]\n");
        return 2;
    }
    CTempDir dir;
    CStallingDisk disk; // before the server, whose store opens through it
    CGalleryTestServer server(dir.Path());
    // The guard's clock is the real one: the guesses are spread over the time they take.
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    server.m_nNow = now();
    std::atomic<bool> bDone{false};
    std::thread clock([&] {
        for (; !bDone; std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            server.m_nNow = now();
    });
    std::string error;
    bool bHeld = server.Start(error);
    if (!bHeld)
        std::fprintf(stderr, "gallery-attack-drill: %s\n", error.c_str());
    else
        bHeld = Guesses(server, options) & LookAlikes(server) & RenderFlood(server, options) &
                DiskStall(server, disk, options);
    server.Stop();
    bDone = true;
    clock.join();
    std::printf("%s\n", bHeld ? "held" : "FAILED");
    return bHeld ? 0 : 1;
}
