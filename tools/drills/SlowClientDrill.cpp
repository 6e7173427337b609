// gallery-slow-drill: the zorvat-gallery program against clients that hold connections
// without finishing a request. From addresses 127.0.0.2 and up it keeps open --slow
// connections that send a request one byte a second (half of them stuck in the header
// lines, half in the body of a post) and --idle connections that send nothing, and
// opens each again as soon as the gallery closes it. Meanwhile a probe on 127.0.0.1
// asks for the page every 200 ms; every probe must be answered within one second.
// With --max-connections below the connections held (the gallery's limit in all) and
// --per-address connections from each source address, the slow ones fill the gallery:
// then --min-answered percent of the probes must be answered, by the slowest giving way.
// Prints the figures; exits 0 when the probes held, 1 otherwise, 2 on bad options.

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "gallery/http/HttpLimits.h"
#include "tests/gallery/GalleryProcess.h"
#include "tests/gallery/GalleryTestData.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CSlowOptions {
    std::string m_strGallery;
    int m_nSlow = 64;
    int m_nIdle = 500;
    double m_dSeconds = 10;
    int m_nPerAddress = 16; // connections per source address: below the gallery's limit
    int m_nMaxConnections = 0; // the gallery's limit in all; 0 for its own
    int m_nMinAnsweredPercent = 100;
};

enum class Kind { SlowHeader, SlowBody, Idle };

struct CHeldConnection {
    Kind m_kind = Kind::Idle;
    int m_nFd = -1;
    std::string m_strRequest; // what it trickles
    std::size_t m_nSent = 0;
    Clock::time_point m_opened;
};

std::string TrickledRequest(Kind kind)
{
    if (kind == Kind::SlowHeader)
        return "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Padding: " + std::string(4000, 'a') + "\r\n\r\n";
    const std::string body = UploadBodyOf("slow", "pw", "Slow", "OTHERS", GoodPackage());
    return "POST /examples/servlet/zvtoneload HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
           std::string(kUploadContentType) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One GET / on a new connection; the seconds until the whole answer came, or a
// negative number when none came within `limit`.
double Probe(std::uint16_t port, double limit)
{
    const Clock::time_point start = Clock::now();
    int fd = ConnectFromLoopback("127.0.0.1", port, true);
    if (fd < 0)
        return -1;
    const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::size_t sent = 0;
    std::string answer;
    const auto deadline = start + std::chrono::duration<double>(limit);
    bool bDone = false;
    while (!bDone && Clock::now() < deadline) {
        pollfd p{fd, static_cast<short>(sent < request.size() ? POLLOUT : POLLIN), 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (poll(&p, 1, static_cast<int>(std::max<long>(1, left))) <= 0)
            continue;
        if (sent < request.size()) {
            ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
            continue;
        }
        char buffer[65536];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            bDone = n == 0 && answer.starts_with("HTTP/1.1 200");
        else
            answer.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return bDone ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

bool ParseOptions(int argc, char** argv, CSlowOptions& options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--gallery")
            options.m_strGallery = value;
        else if (name == "--slow")
            options.m_nSlow = std::stoi(value);
        else if (name == "--idle")
            options.m_nIdle = std::stoi(value);
        else if (name == "--seconds")
            options.m_dSeconds = std::stod(value);
        else if (name == "--per-address")
            options.m_nPerAddress = std::stoi(value);
        else if (name == "--max-connections")
            options.m_nMaxConnections = std::stoi(value);
        else if (name == "--min-answered")
            options.m_nMinAnsweredPercent = std::stoi(value);
        else
            return false;
    }
    return argc % 2 == 1 && !options.m_strGallery.empty();
}

class CHolders {
public:
    CHolders(std::uint16_t port, const CSlowOptions& options) : m_wPort(port), m_nPerAddress(options.m_nPerAddress)
    {
        const int total = options.m_nSlow + options.m_nIdle;
        for (int i = 0; i < total; ++i) {
            CHeldConnection& c = m_connections.emplace_back();
            c.m_kind = i < options.m_nSlow ? (i % 2 ? Kind::SlowBody : Kind::SlowHeader) : Kind::Idle;
            c.m_strRequest = c.m_kind == Kind::Idle ? std::string() : TrickledRequest(c.m_kind);
            Open(c, i);
        }
    }
    ~CHolders()
    {
        for (CHeldConnection& c : m_connections)
            if (c.m_nFd >= 0)
                close(c.m_nFd);
    }

    // One round: a byte on every slow connection, and reconnects where the gallery closed.
    void Tick()
    {
        for (std::size_t i = 0; i < m_connections.size(); ++i) {
            CHeldConnection& c = m_connections[i];
            char buffer[4096];
            ssize_t n = c.m_nFd < 0 ? 0 : recv(c.m_nFd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                if (c.m_nFd >= 0) {
                    close(c.m_nFd);
                    ++m_nClosedByGallery;
                    m_dLongestHeld = std::max(m_dLongestHeld,
                                              std::chrono::duration<double>(Clock::now() - c.m_opened).count());
                }
                Open(c, static_cast<int>(i));
                continue;
            }
            if (c.m_kind != Kind::Idle && c.m_nSent < c.m_strRequest.size() &&
                send(c.m_nFd, c.m_strRequest.data() + c.m_nSent, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1)
                ++c.m_nSent;
        }
    }

    [[nodiscard]] int Open() const
    {
        return static_cast<int>(std::count_if(m_connections.begin(), m_connections.end(),
                                              [](const CHeldConnection& c) { return c.m_nFd >= 0; }));
    }
    int m_nClosedByGallery = 0;
    double m_dLongestHeld = 0;

private:
    void Open(CHeldConnection& c, int index)
    {
        const int address = 2 + index / m_nPerAddress;
        const std::string source = "127.0." + std::to_string(address / 250) + "." + std::to_string(address % 250);
        c.m_nFd = ConnectFromLoopback(source, m_wPort, true);
        c.m_nSent = 0;
        c.m_opened = Clock::now();
    }

    std::uint16_t m_wPort;
    int m_nPerAddress;
    std::vector<CHeldConnection> m_connections;
};

} // namespace

int main(int argc, char** argv)
{
    CSlowOptions options;
    if (!ParseOptions(argc, argv, options) || options.m_nSlow < 0 || options.m_nIdle < 0 ||
        options.m_nPerAddress < 1 || (options.m_nSlow + options.m_nIdle) / options.m_nPerAddress > 60000) {
        std::fprintf(stderr, "usage: gallery-slow-drill --gallery PROGRAM [--slow N] [--idle N] [--seconds S]\n"
                             "         [--per-address N] [--max-connections N] [--min-answered PERCENT]\n");
        return 2;
    }
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    CTempDir dir;
    CGalleryProcess gallery(options.m_strGallery, dir.File("gallery.log"));
    if (options.m_nMaxConnections > 0)
        gallery.SetExtraArguments({"--max-connections", std::to_string(options.m_nMaxConnections)});
    std::string error;
    if (!gallery.Start(dir.File("data"), 0, error)) {
        std::fprintf(stderr, "gallery-slow-drill: %s\n", error.c_str());
        return 1;
    }
    CHolders holders(gallery.Port(), options);
    std::atomic<bool> bStop{false};
    std::vector<double> probes;
    int failedProbes = 0;
    std::thread prober([&] {
        while (!bStop) {
            const double seconds = Probe(gallery.Port(), 1.0);
            if (seconds < 0)
                ++failedProbes;
            else
                probes.push_back(seconds);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    const auto end = Clock::now() + std::chrono::duration<double>(options.m_dSeconds);
    int leastOpen = options.m_nSlow + options.m_nIdle;
    while (Clock::now() < end) {
        holders.Tick();
        leastOpen = std::min(leastOpen, holders.Open());
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    bStop = true;
    prober.join();
    const bool bRunning = gallery.Stop() == 0;

    std::sort(probes.begin(), probes.end());
    const double median = probes.empty() ? 0 : probes[probes.size() / 2];
    const double worst = probes.empty() ? 0 : probes.back();
    std::printf("held: %d slow (one byte a second) and %d idle connections for %.0f s, at least %d open at once\n",
                options.m_nSlow, options.m_nIdle, options.m_dSeconds, leastOpen);
    std::printf("closed by the gallery: %d, the longest held %.1f s\n", holders.m_nClosedByGallery,
                holders.m_dLongestHeld);
    std::printf("probes: %zu answered, median %.1f ms, worst %.1f ms; %d not answered within 1 s\n", probes.size(),
                median * 1000, worst * 1000, failedProbes);
    const std::size_t asked = probes.size() + static_cast<std::size_t>(failedProbes);
    const double answeredPercent = asked == 0 ? 0 : 100.0 * static_cast<double>(probes.size()) / static_cast<double>(asked);
    std::printf("probes answered from a fresh address: %zu of %zu (%.0f %%; at least %d %% asked)\n", probes.size(),
                asked, answeredPercent, options.m_nMinAnsweredPercent);
    // Every connection must end within the whole-request deadline, not live on a byte at a time.
    const bool bDeadlineHeld = holders.m_dLongestHeld <= kRequestSeconds + 2;
    const bool bHeld =
        answeredPercent >= options.m_nMinAnsweredPercent && !probes.empty() && bRunning && bDeadlineHeld;
    std::printf("%s\n", bHeld ? "held" : "FAILED");
    return bHeld ? 0 : 1;
}
