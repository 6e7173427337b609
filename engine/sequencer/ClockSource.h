#pragma once
// A periodic 5 ms source that drives the sequencer's ticks.

#include <functional>

class CClockSource {
public:
    using Callback = std::function<void()>;

    // The period every implementation keeps, in microseconds.
    static constexpr long kPeriodMicroseconds = 5000;

    CClockSource() = default;
    CClockSource(const CClockSource&) = delete;
    CClockSource& operator=(const CClockSource&) = delete;
    virtual ~CClockSource() = default;

    // Calls `callback` once per period, the first call one period after Start.
    // False when the source is already running or cannot start.
    [[nodiscard]] virtual bool Start(Callback callback) = 0;
    // When Stop returns, no call is running and none will start. Not to be called
    // from inside the callback.
    virtual void Stop() = 0;
    [[nodiscard]] virtual bool IsRunning() const = 0;
};
