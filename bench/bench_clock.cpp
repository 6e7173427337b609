// Precision of the real 5 ms clock: how late each tick runs against its ideal
// deadline (start + n x 5 ms), and whether the last tick has drifted.
//
// usage: bench_clock [SECONDS]   (default 60)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/sequencer/RealtimeClock.h"

int main(int argc, char** argv)
{
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 60;
    if (seconds <= 0 || seconds > 3600) {
        std::fprintf(stderr, "usage: bench_clock [SECONDS]\n");
        return 2;
    }
    CRealtimeClock clock;
    const std::size_t wanted = static_cast<std::size_t>(seconds) * 200;
    std::vector<std::int64_t> woke;
    woke.reserve(wanted + 1000);
    std::mutex mutex;
    if (!clock.Start([&] {
            const std::int64_t now = CRealtimeClock::NowNanoseconds();
            std::lock_guard lock(mutex);
            woke.push_back(now);
        })) {
        std::fprintf(stderr, "bench_clock: the clock does not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    while (true) {
        {
            std::lock_guard lock(mutex);
            if (woke.size() >= wanted)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    clock.Stop();

    const std::int64_t epoch = clock.GetEpochNanoseconds();
    const std::int64_t period = clock.GetPeriodNanoseconds();
    std::vector<double> lateMs;
    lateMs.reserve(wanted);
    for (std::size_t i = 0; i < wanted; ++i)
        lateMs.push_back(static_cast<double>(woke[i] - (epoch + static_cast<std::int64_t>(i + 1) * period)) / 1e6);
    const double last = lateMs.back();
    std::vector<double> sorted = lateMs;
    std::sort(sorted.begin(), sorted.end());
    auto at = [&](double q) { return sorted[static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1))]; };
    const auto over1 = std::count_if(sorted.begin(), sorted.end(), [](double v) { return v > 1.0; });
    std::printf("ticks %zu over %ld s (period 5 ms)\n", wanted, seconds);
    std::printf("lateness ms: median %.3f  p90 %.3f  p99 %.3f  p99.9 %.3f  max %.3f\n", at(0.5), at(0.9), at(0.99),
                at(0.999), sorted.back());
    std::printf("ticks later than 1 ms: %ld\n", static_cast<long>(over1));
    std::printf("last tick: %.3f ms after its deadline (drift), dropped ticks %lld\n", last,
                static_cast<long long>(clock.GetDroppedTicks()));
    return 0;
}
