#pragma once
// The real 5 ms clock: a thread that sleeps to absolute deadlines on the monotonic
// clock. After a late wake it runs every tick that has fallen due at once, so the
// n-th tick stays tied to Start + n periods and nothing drifts; only a stall of
// more than kMaxCatchUp periods (a suspended machine) drops the ticks beyond it.

#include <atomic>
#include <cstdint>
#include <thread>

#include "engine/sequencer/ClockSource.h"

class CRealtimeClock final : public CClockSource {
public:
    static constexpr std::int64_t kMaxCatchUp = 200;

    // periodNanoseconds: 5 ms unless a test or benchmark wants another period.
    explicit CRealtimeClock(std::int64_t periodNanoseconds = kPeriodMicroseconds * 1000);
    ~CRealtimeClock() override;

    bool Start(Callback callback) override;
    void Stop() override;
    bool IsRunning() const override { return m_bRunning.load(); }

    // CLOCK_MONOTONIC nanoseconds at Start: tick n (from 1) is due at epoch + n periods.
    [[nodiscard]] std::int64_t GetEpochNanoseconds() const { return m_qwEpoch.load(); }
    [[nodiscard]] std::int64_t GetPeriodNanoseconds() const { return m_qwPeriod; }
    // Ticks dropped after stalls longer than kMaxCatchUp periods.
    [[nodiscard]] std::int64_t GetDroppedTicks() const { return m_qwDropped.load(); }
    [[nodiscard]] static std::int64_t NowNanoseconds();

private:
    void Run();
    void SleepUntil(std::int64_t deadline) const;

    const std::int64_t m_qwPeriod;
    Callback m_callback;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bRunning{false};
    std::atomic<std::int64_t> m_qwEpoch{0};
    std::atomic<std::int64_t> m_qwDropped{0};
};
