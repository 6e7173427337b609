#include "song/MidiTrackCursor.h"

#include <atomic>
#include <limits>

#include "song/MidiMessage.h"

namespace {
// The scale pair is written by whichever thread steps the sequencer (the scan on the
// user-interface thread, the ticks on the clock thread) and read by every cursor.
// Only one of them runs at a time; the atomics keep each access whole.
std::atomic<std::uint32_t> g_currentScale{0};
std::atomic<std::uint32_t> g_previousScale{0};
} // namespace

void CMidiTrackCursor::SetTickScale(std::uint32_t microsecondsPerTick)
{
    g_previousScale.store(g_currentScale.load(std::memory_order_relaxed), std::memory_order_relaxed);
    g_currentScale.store(microsecondsPerTick, std::memory_order_relaxed);
}

std::uint32_t CMidiTrackCursor::GetCurrentScale()
{
    return g_currentScale.load(std::memory_order_relaxed);
}

std::uint32_t CMidiTrackCursor::GetPreviousScale()
{
    return g_previousScale.load(std::memory_order_relaxed);
}

void CMidiTrackCursor::ComputePending()
{
    // A 32-bit product on purpose: the countdown is a 32-bit microsecond count.
    m_dwPending = m_pCurrent->GetDelta() * GetCurrentScale();
    if (m_dwPending != 0) {
        m_dwPending += m_dwCarried;
        m_dwCarried = 0;
    }
}

void CMidiTrackCursor::Init(std::int32_t trackNumber, CMidiEvent* firstEvent)
{
    m_nTrack = trackNumber;
    m_pFirst = firstEvent;
    Rewind();
}

void CMidiTrackCursor::Rewind()
{
    m_pCurrent = m_pFirst;
    m_dwCarried = 0;
    m_dwPending = 0;
    m_bAtEnd = m_pCurrent ? 0 : 1;
    if (m_pCurrent)
        ComputePending();
}

void CMidiTrackCursor::CountDown()
{
    if (m_dwPending >= kStepMicroseconds)
        m_dwPending -= kStepMicroseconds;
}

bool CMidiTrackCursor::GetDueMessage(CMidiMessage& msg)
{
    if (m_bAtEnd || !m_pCurrent || m_dwPending >= kStepMicroseconds)
        return false;
    m_pCurrent->GetMessage(msg);
    msg.m_nTrack = m_nTrack;
    m_dwCarried += m_dwPending;
    return true;
}

void CMidiTrackCursor::Advance()
{
    if (!m_pCurrent) {
        m_bAtEnd = 1;
        return;
    }
    m_pCurrent = m_pCurrent->GetNext();
    if (!m_pCurrent)
        m_bAtEnd = 1;
    else
        ComputePending();
}

std::int32_t CMidiTrackCursor::GetEventValue() const
{
    return m_pCurrent ? m_pCurrent->GetValue() : 0;
}

void CMidiTrackCursor::Rescale()
{
    std::uint32_t previous = GetPreviousScale();
    if (previous == 0)
        return;
    double scaled = static_cast<double>(m_dwPending) * GetCurrentScale() / previous;
    // A slower tempo can push the countdown past what 32 bits hold: keep the largest.
    constexpr double kMax = std::numeric_limits<std::uint32_t>::max();
    m_dwPending = scaled >= kMax ? std::numeric_limits<std::uint32_t>::max() : static_cast<std::uint32_t>(scaled);
}
