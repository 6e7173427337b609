#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/sequencer/ManualClock.h"
#include "engine/sequencer/RealtimeClock.h"

namespace {

TEST(ManualClock, TicksOnlyWhenSteppedAndOnlyWhileRunning)
{
    CManualClock clock;
    int calls = 0;
    EXPECT_EQ(clock.Step(3), 0u);
    ASSERT_TRUE(clock.Start([&] { ++calls; }));
    EXPECT_FALSE(clock.Start([&] {}));
    EXPECT_EQ(clock.Step(3), 3u);
    EXPECT_EQ(clock.GetTicks(), 3u);
    clock.Stop();
    EXPECT_EQ(clock.Step(3), 0u);
    EXPECT_EQ(calls, 3);
}

TEST(ManualClock, ATickThatStopsTheClockEndsTheSteps)
{
    CManualClock clock;
    int calls = 0;
    ASSERT_TRUE(clock.Start([&] {
        if (++calls == 2)
            clock.Stop();
    }));
    EXPECT_EQ(clock.Step(10), 2u);
}

// Waits on the clock thread's progress, with a deadline far beyond any normal run.
template <class Pred>
bool WaitFor(Pred done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(RealtimeClock, NeverTicksBeforeADeadline)
{
    CRealtimeClock clock;
    std::mutex mutex;
    std::vector<std::int64_t> times;
    ASSERT_TRUE(clock.Start([&] {
        std::lock_guard lock(mutex);
        times.push_back(CRealtimeClock::NowNanoseconds());
    }));
    EXPECT_FALSE(clock.Start([] {}));
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lock(mutex);
        return times.size() >= 20;
    }));
    clock.Stop();
    EXPECT_FALSE(clock.IsRunning());
    const std::int64_t epoch = clock.GetEpochNanoseconds();
    for (std::size_t i = 0; i < times.size(); ++i)
        EXPECT_GE(times[i], epoch + static_cast<std::int64_t>(i + 1) * clock.GetPeriodNanoseconds()) << "tick " << i + 1;
}

TEST(RealtimeClock, StopWaitsForTheTickInProgress)
{
    CRealtimeClock clock;
    std::atomic<bool> inside{false};
    std::atomic<int> calls{0};
    ASSERT_TRUE(clock.Start([&] {
        inside.store(true);
        calls.fetch_add(1);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        while (std::chrono::steady_clock::now() < until) {
        }
        inside.store(false);
    }));
    ASSERT_TRUE(WaitFor([&] { return inside.load(); }));
    clock.Stop();
    EXPECT_FALSE(inside.load());
}

TEST(RealtimeClock, CatchesUpTheTicksThatFellDueDuringAStall)
{
    CRealtimeClock clock;
    std::mutex mutex;
    std::vector<std::int64_t> times;
    ASSERT_TRUE(clock.Start([&] {
        const bool first = [&] {
            std::lock_guard lock(mutex);
            times.push_back(CRealtimeClock::NowNanoseconds());
            return times.size() == 1;
        }();
        if (first)
            std::this_thread::sleep_for(std::chrono::milliseconds(40)); // the stall under test
    }));
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lock(mutex);
        return times.size() >= 12;
    }));
    clock.Stop();
    // Ticks 2 to 8 were all due during the stall: they run back to back, not 5 ms apart.
    EXPECT_LT(times[7] - times[1], 15000000);
    EXPECT_EQ(clock.GetDroppedTicks(), 0);
}

TEST(RealtimeClock, CanBeStartedAgainAfterAStop)
{
    CRealtimeClock clock;
    std::atomic<int> calls{0};
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(clock.Start([&] { calls.fetch_add(1); }));
        const int before = calls.load();
        ASSERT_TRUE(WaitFor([&] { return calls.load() > before; }));
        clock.Stop();
    }
    clock.Stop(); // twice is harmless
}

} // namespace
