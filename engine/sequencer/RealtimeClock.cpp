#include "engine/sequencer/RealtimeClock.h"

#include <cerrno>
#include <ctime>
#include <system_error>
#include <utility>

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

} // namespace

CRealtimeClock::CRealtimeClock(std::int64_t periodNanoseconds)
    : m_qwPeriod(periodNanoseconds > 0 ? periodNanoseconds : kPeriodMicroseconds * 1000)
{
}

CRealtimeClock::~CRealtimeClock()
{
    Stop();
}

std::int64_t CRealtimeClock::NowNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * kNanosecondsPerSecond + ts.tv_nsec;
}

bool CRealtimeClock::Start(Callback callback)
{
    if (m_bRunning.load() || !callback)
        return false;
    if (m_thread.joinable())
        m_thread.join(); // a thread that stopped itself from inside its callback
    m_callback = std::move(callback);
    m_bStop.store(false);
    m_qwDropped.store(0);
    m_qwEpoch.store(NowNanoseconds());
    m_bRunning.store(true);
    try {
        m_thread = std::thread(&CRealtimeClock::Run, this);
    } catch (const std::system_error&) {
        m_bRunning.store(false);
        return false;
    }
    return true;
}

void CRealtimeClock::Stop()
{
    m_bStop.store(true);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    m_bRunning.store(false);
}

void CRealtimeClock::SleepUntil(std::int64_t deadline) const
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadline / kNanosecondsPerSecond);
    ts.tv_nsec = static_cast<long>(deadline % kNanosecondsPerSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR && !m_bStop.load()) {
    }
}

void CRealtimeClock::Run()
{
    // Deadlines are counted from the epoch, never from the last wake, so a late
    // wake shortens the next wait instead of shifting every later tick.
    std::int64_t next = m_qwEpoch.load() + m_qwPeriod;
    while (!m_bStop.load()) {
        SleepUntil(next);
        const std::int64_t now = NowNanoseconds();
        const std::int64_t due = now >= next ? (now - next) / m_qwPeriod + 1 : 0;
        if (due > kMaxCatchUp) {
            const std::int64_t skipped = due - kMaxCatchUp;
            m_qwDropped.fetch_add(skipped);
            next += skipped * m_qwPeriod;
        }
        while (next <= now && !m_bStop.load()) {
            m_callback();
            next += m_qwPeriod;
        }
    }
}
