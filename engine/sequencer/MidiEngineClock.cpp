#include "engine/sequencer/MidiEngine.h"

#include "song/MidiMetaTypes.h"

bool CMidiEngine::StartClock()
{
    if (m_bClockRunning.load())
        return true;
    {
        std::lock_guard lock(m_mutex);
        m_qwTickNumber.store(0);
        TickLocked(false);
    }
    const bool started = m_clock.Start([this] { OnClockTick(); });
    m_bClockRunning.store(started);
    return started;
}

void CMidiEngine::OnClockTick()
{
    std::lock_guard lock(m_mutex);
    m_qwTickNumber.fetch_add(1);
    TickLocked(true);
}

void CMidiEngine::StopClock()
{
    // Stop waits for a tick in progress, which holds the lock: it must not be held here.
    StopClockSource();
    m_bClockRunning.store(false);
    std::lock_guard lock(m_mutex);
    RewindLocked();
    (void)SendLocked(0xFF, 0, 0, 0);
}

void CMidiEngine::Rewind()
{
    if (m_bClockRunning.load())
        StopClock();
    std::lock_guard lock(m_mutex);
    RewindLocked();
}

void CMidiEngine::RewindLocked()
{
    // Playback restarts at the default tempo: the scale the scan or the last run
    // left belongs to the song's end, not to its start.
    if (m_wDivision)
        CMidiTrackCursor::SetTickScale(ScaleOf(kDefaultTempo));
    for (CMidiTrackCursor& c : m_cursors)
        c.Rewind();
}

void CMidiEngine::Tick(bool stepDown)
{
    std::lock_guard lock(m_mutex);
    TickLocked(stepDown);
}

void CMidiEngine::TickLocked(bool stepDown)
{
    if (!m_bDeviceOpen)
        return;
    for (CMidiTrackCursor& c : m_cursors) {
        if (c.IsAtEnd())
            continue;
        if (stepDown)
            c.CountDown();
        while (PlayNextEvent(c)) {
        }
    }
}

bool CMidiEngine::PlayNextEvent(CMidiTrackCursor& cursor)
{
    CMidiMessage msg;
    if (!cursor.GetDueMessage(msg))
        return false;
    if (m_observer)
        m_observer(msg);
    if (msg.m_nKind == CMidiMessage::kChannel) {
        (void)SendLocked(msg.m_byStatus, msg.m_byData1, msg.m_byData2, msg.m_dwDelta);
    } else if (msg.m_nKind == CMidiMessage::kMeta && msg.m_byMetaType == MidiMeta::kSetTempo) {
        const std::int32_t tempo = cursor.GetEventValue();
        if (tempo > 0)
            TempoStep(static_cast<std::uint32_t>(tempo));
    }
    cursor.Advance();
    return true;
}
