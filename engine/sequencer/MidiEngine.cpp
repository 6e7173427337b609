#include "engine/sequencer/MidiEngine.h"
#include "song/MidiChannels.h"

#include <utility>

namespace {

bool IsChosenTechnology(std::uint16_t technology)
{
    return technology == kModSynth || technology == kModSquareSynth || technology == kModFmSynth;
}

// The id of the first of `count` devices that `match` accepts; false when none does.
template <typename Match>
bool FindDevice(CMidiOutput& output, std::uint32_t count, Match match, std::uint32_t& id)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        MidiOutCaps caps;
        if (output.GetDevCaps(i, caps) && match(caps)) {
            id = i;
            return true;
        }
    }
    return false;
}

std::uint32_t Pack(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    return static_cast<std::uint32_t>(status) | static_cast<std::uint32_t>(data1) << 8 |
           static_cast<std::uint32_t>(data2) << 16;
}

} // namespace

CMidiEngine::CMidiEngine(CMidiOutput& output, CClockSource& clock) : m_output(output), m_clock(clock)
{
    // A fresh engine plays every channel, as the form enables them all on a load.
    for (auto& on : m_bChannelOn)
        on.store(true);
}

CMidiEngine::~CMidiEngine()
{
    if (m_bClockRunning.load())
        StopClock();
    CloseDevice();
}

bool CMidiEngine::OpenDevice(EventObserver observer)
{
    {
        std::lock_guard lock(m_mutex);
        m_observer = std::move(observer);
    }
    if (IsDeviceOpen())
        CloseDevice();

    std::lock_guard lock(m_mutex);
    m_strOpenError.clear();
    const std::uint32_t count = m_output.GetNumDevs();
    const std::string chosen = m_output.GetChosenName();
    m_uDeviceId = 0;
    // A chosen device that is not listed (a port that went away) gives way to the
    // usual rule rather than leaving the program silent.
    const auto isChosen = [&](const MidiOutCaps& caps) { return caps.strName == chosen; };
    const auto isSynth = [](const MidiOutCaps& caps) { return IsChosenTechnology(caps.wTechnology); };
    const bool found = (!chosen.empty() && FindDevice(m_output, count, isChosen, m_uDeviceId)) ||
                       FindDevice(m_output, count, isSynth, m_uDeviceId);
    if (!found) {
        std::string why = m_output.LastError();
        if (why.empty())
            why = "no synthesizer is among the MIDI outputs";
        m_strOpenError = chosen.empty() ? why : "the MIDI output \"" + chosen + "\" is not listed, and " + why;
        return false;
    }
    m_hMidiOut = m_output.Open(m_uDeviceId);
    m_bDeviceOpen = m_hMidiOut != nullptr;
    if (!m_bDeviceOpen) {
        m_strOpenError = m_output.LastError();
        MidiOutCaps caps;
        if (m_strOpenError.empty() && m_output.GetDevCaps(m_uDeviceId, caps))
            m_strOpenError = "the MIDI output \"" + caps.strName + "\" does not open";
        return false;
    }
    if (!m_hMidiOut->GetVolume(m_dwSavedVolume))
        m_dwSavedVolume = 0xFFFFFFFF;
    (void)SendLocked(0xFF, 0, 0, 0);
    return true;
}

std::string CMidiEngine::GetOpenError() const
{
    std::lock_guard lock(m_mutex);
    return m_strOpenError;
}

void CMidiEngine::CloseDevice()
{
    // A tick must not run while the cursors go away.
    StopClockSource();
    std::lock_guard lock(m_mutex);
    CloseLocked();
}

void CMidiEngine::CloseLocked()
{
    if (m_bDeviceOpen && m_hMidiOut)
        (void)m_hMidiOut->SetVolume(m_dwSavedVolume);
    m_hMidiOut.reset();
    m_bDeviceOpen = false;
    m_cursors.clear();
    m_pSong = nullptr;
    m_bClockRunning.store(false);
    m_wDivision = 0;
    m_capture.SetThirtySecondTicks(0);
    m_uDeviceId = 0;
    m_dwSavedVolume = 0;
}

void CMidiEngine::StopClockSource()
{
    if (m_clock.IsRunning())
        m_clock.Stop();
}

bool CMidiEngine::SendShortMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::uint32_t delta)
{
    std::lock_guard lock(m_mutex);
    return SendLocked(status, data1, data2, delta);
}

bool CMidiEngine::SendLocked(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::uint32_t delta)
{
    if (!m_bDeviceOpen)
        return false;
    const std::uint8_t kind = status & 0xF0;
    if (kind == 0x80 || kind == 0x90) {
        if (m_bChasing)
            return true;
        const bool on = IsChannelOn(ChannelOfStatus(status));
        m_capture.Capture(status, data1, data2, delta, on);
        if (kind == 0x90 && data2 > 0 && !on)
            return true;
    }
    return m_hMidiOut->ShortMsg(Pack(status, data1, data2));
}

void CMidiEngine::SetChannelOn(int channel, bool on)
{
    if (channel >= 0 && channel < kChannels)
        m_bChannelOn[static_cast<std::size_t>(channel)].store(on, std::memory_order_relaxed);
}

bool CMidiEngine::IsChannelOn(int channel) const
{
    return channel >= 0 && channel < kChannels &&
           m_bChannelOn[static_cast<std::size_t>(channel)].load(std::memory_order_relaxed);
}

void CMidiEngine::SetToneName(std::string name)
{
    std::lock_guard lock(m_mutex);
    m_capture.SetToneName(std::move(name));
}

std::string CMidiEngine::GetToneName() const
{
    std::lock_guard lock(m_mutex);
    return m_capture.GetToneName();
}

std::string CMidiEngine::GetRtttl() const
{
    std::lock_guard lock(m_mutex);
    return m_capture.GetRtttl();
}

std::vector<RingtoneNote> CMidiEngine::GetRingtoneNotes() const
{
    std::lock_guard lock(m_mutex);
    const auto& notes = m_capture.GetNotes();
    return std::vector<RingtoneNote>(notes.begin(), notes.begin() + m_capture.GetCount());
}

std::int32_t CMidiEngine::GetRingtoneTempo() const
{
    std::lock_guard lock(m_mutex);
    return m_capture.GetTempo();
}

bool CMidiEngine::IsDeviceOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_bDeviceOpen;
}

std::uint32_t CMidiEngine::GetDeviceId() const
{
    std::lock_guard lock(m_mutex);
    return m_uDeviceId;
}

std::uint32_t CMidiEngine::GetLastTempo() const
{
    std::lock_guard lock(m_mutex);
    return m_uLastTempo;
}

std::size_t CMidiEngine::GetTrackCount() const
{
    std::lock_guard lock(m_mutex);
    return m_cursors.size();
}

bool CMidiEngine::AllTracksEnded() const
{
    std::lock_guard lock(m_mutex);
    return CountLiveCursors() == 0;
}

std::size_t CMidiEngine::CountLiveCursors() const
{
    std::size_t live = 0;
    for (const CMidiTrackCursor& c : m_cursors)
        live += c.IsAtEnd() ? 0 : 1;
    return live;
}
