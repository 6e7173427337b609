#pragma once
// A clock that ticks only when its owner steps it, on the owner's thread: the
// clock of tests and of offline recording, which runs the same ticks as the real
// one without waiting.

#include <cstdint>

#include "engine/sequencer/ClockSource.h"

class CManualClock final : public CClockSource {
public:
    bool Start(Callback callback) override;
    void Stop() override;
    bool IsRunning() const override { return m_bRunning; }

    // Runs up to `count` ticks while the clock runs (a tick may stop it); returns
    // the number run.
    std::uint64_t Step(std::uint64_t count = 1);
    // Ticks run since the last Start.
    [[nodiscard]] std::uint64_t GetTicks() const { return m_qwTicks; }

private:
    Callback m_callback;
    bool m_bRunning = false;
    std::uint64_t m_qwTicks = 0;
};
