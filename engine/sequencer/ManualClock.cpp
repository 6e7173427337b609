#include "engine/sequencer/ManualClock.h"

#include <utility>

bool CManualClock::Start(Callback callback)
{
    if (m_bRunning || !callback)
        return false;
    m_callback = std::move(callback);
    m_bRunning = true;
    m_qwTicks = 0;
    return true;
}

void CManualClock::Stop()
{
    m_bRunning = false;
}

std::uint64_t CManualClock::Step(std::uint64_t count)
{
    std::uint64_t run = 0;
    while (run < count && m_bRunning) {
        m_callback();
        ++run;
        ++m_qwTicks;
    }
    return run;
}
