#include <algorithm>

#include "engine/sequencer/MidiEngine.h"
#include "song/GmNames.h"
#include "song/MidiChannels.h"
#include "song/MidiMetaTypes.h"
#include "song/MidiSong.h"

namespace {

constexpr std::uint64_t kPassesPerSecond = 1000000 / CMidiTrackCursor::kStepMicroseconds;

bool IsSetTempo(const CMidiMessage& msg)
{
    return msg.m_nKind == CMidiMessage::kMeta && msg.m_byMetaType == MidiMeta::kSetTempo;
}

// A Set Tempo whose data are missing or zero carries no tempo.
std::uint32_t TempoOf(const CMidiTrackCursor& cursor)
{
    const std::int32_t value = cursor.GetEventValue();
    return value > 0 ? static_cast<std::uint32_t>(value) : 0;
}

std::size_t CountTracks(const CMidiSong& song, std::size_t stopAbove)
{
    std::size_t n = 0;
    for (const CMidiTrack* t = song.GetTrackList().GetFirstTrack(); t && n <= stopAbove; t = t->m_pNext)
        ++n;
    return n;
}

} // namespace

std::uint32_t CMidiEngine::ScaleOf(std::uint32_t tempo) const
{
    // A scale of 0 would make every later event due at once and disable the next
    // rescale, so a tempo faster than a tick per microsecond plays at 1.
    const std::uint32_t scale = m_wDivision ? tempo / m_wDivision : 0;
    return std::max<std::uint32_t>(scale, 1);
}

void CMidiEngine::TempoStep(std::uint32_t tempo)
{
    if (tempo == 0)
        return;
    m_capture.WriteHeader(tempo);
    CMidiTrackCursor::SetTickScale(ScaleOf(tempo));
    for (CMidiTrackCursor& c : m_cursors)
        c.Rescale();
}

PrepareResult CMidiEngine::Prepare(const CMidiSong& song, std::array<std::string, kChannels>& names,
                                   std::uint32_t& seconds, bool discard)
{
    StopClockSource();
    m_bClockRunning.store(false);
    std::lock_guard lock(m_mutex);
    m_cursors.clear();
    m_pSong = nullptr;

    const std::size_t tracks = CountTracks(song, kMaxTracks);
    if (tracks == 0)
        return PrepareResult::kNoTracks;
    if (song.GetDivision() < kMinDivision)
        return PrepareResult::kBadDivision;
    if (tracks > kMaxTracks)
        return PrepareResult::kTooManyTracks;

    m_pSong = &song;
    m_wDivision = song.GetDivision();
    m_capture.SetThirtySecondTicks(static_cast<std::uint16_t>(m_wDivision / 8));
    m_uLastTempo = kDefaultTempo;
    // Cursors count from the default tempo, not from whatever the last song left.
    CMidiTrackCursor::SetTickScale(ScaleOf(kDefaultTempo));
    m_cursors.resize(tracks);
    std::int32_t number = 1;
    const CMidiTrack* track = song.GetTrackList().GetFirstTrack();
    for (CMidiTrackCursor& c : m_cursors) {
        c.Init(number++, track->GetFirstEvent());
        track = track->m_pNext;
    }

    std::array<std::string, kChannels> scanned;
    for (int c = 0; c < kChannels; ++c)
        scanned[static_cast<std::size_t>(c)] = GmUnknownChannelLabel(c);
    std::uint64_t longest = 0;
    std::uint32_t lengthTempo = kLengthTempo;
    if (!ScanSong(scanned, longest, lengthTempo)) {
        m_cursors.clear();
        m_pSong = nullptr;
        return PrepareResult::kTooLong;
    }
    const double length = static_cast<double>(longest) * lengthTempo / m_wDivision * 0.000001;
    // The scan counts down 32-bit microsecond waits, which wrap for huge delta
    // times; the length in ticks is what the slider shows, so it decides too.
    if (length > kMaxSongSeconds) {
        m_cursors.clear();
        m_pSong = nullptr;
        return PrepareResult::kTooLong;
    }
    names = scanned;
    seconds = static_cast<std::uint32_t>(length);

    if (discard) {
        m_cursors.clear();
        m_pSong = nullptr;
    } else {
        RewindLocked();
    }
    return PrepareResult::kOk;
}

bool CMidiEngine::ScanSong(std::array<std::string, kChannels>& names, std::uint64_t& longestTicks,
                           std::uint32_t& lengthTempo)
{
    std::vector<std::uint64_t> totals(m_cursors.size(), 0);
    std::size_t live = CountLiveCursors();
    // Each pass is 5 ms of song time; a damaged file with huge delta times would
    // otherwise keep the scan going for days.
    const std::uint64_t maxPasses = static_cast<std::uint64_t>(kMaxSongSeconds) * kPassesPerSecond;
    for (std::uint64_t pass = 0; live > 0; ++pass) {
        if (pass > maxPasses)
            return false;
        for (std::size_t i = 0; i < m_cursors.size() && live > 0; ++i) {
            CMidiTrackCursor& c = m_cursors[i];
            if (c.IsAtEnd())
                continue;
            c.CountDown();
            CMidiMessage msg;
            while (c.GetDueMessage(msg)) {
                totals[i] += msg.m_dwDelta;
                ScanRecord(msg, c, names, lengthTempo);
                c.Advance();
                if (c.IsAtEnd())
                    --live;
            }
        }
    }
    longestTicks = totals.empty() ? 0 : *std::max_element(totals.begin(), totals.end());
    return true;
}

void CMidiEngine::ScanRecord(const CMidiMessage& msg, const CMidiTrackCursor& cursor,
                             std::array<std::string, kChannels>& names, std::uint32_t& lengthTempo)
{
    if (msg.m_nKind == CMidiMessage::kChannel && (msg.m_byStatus & 0xF0) == 0xC0) {
        const int channel = ChannelOfStatus(msg.m_byStatus);
        names[static_cast<std::size_t>(channel)] = GmChannelLabel(channel, msg.m_byData1);
    } else if (IsSetTempo(msg)) {
        const std::uint32_t tempo = TempoOf(cursor);
        if (tempo == 0)
            return;
        m_uLastTempo = tempo;
        lengthTempo = tempo;
        TempoStep(tempo);
    }
}

void CMidiEngine::Seek(std::uint32_t startSecond)
{
    std::lock_guard lock(m_mutex);
    m_capture.ClearNoteOpen();
    if (m_cursors.empty() || !m_bDeviceOpen)
        return;
    // Every recording starts with a header, also in a song that has no Set Tempo
    // (or none before the start): the file-format default tempo stands for it.
    m_capture.WriteHeader(kDefaultTempo);
    if (startSecond == 0)
        return;
    const double target = static_cast<double>(m_wDivision) * startSecond * 1000000.0 / m_uLastTempo;
    m_bChasing = true;
    Chase(static_cast<std::uint64_t>(std::min(target, 1.8e19)));
    m_bChasing = false;
}

void CMidiEngine::Chase(std::uint64_t target)
{
    std::vector<std::uint64_t> totals(m_cursors.size(), 0);
    std::size_t live = CountLiveCursors();
    while (live > 0) {
        for (std::size_t i = 0; i < m_cursors.size(); ++i) {
            CMidiTrackCursor& c = m_cursors[i];
            if (c.IsAtEnd())
                continue;
            c.CountDown();
            while (!c.IsAtEnd() && c.GetPending() < CMidiTrackCursor::kStepMicroseconds) {
                // The event that reaches the target, and everything after it, belongs
                // to the clock. It is looked at without firing it: firing carries its
                // remaining wait, and the first tick fires it again, which would carry
                // that wait twice and make its track late by up to a step.
                if (totals[i] + c.GetCurrent()->GetDelta() >= target)
                    return;
                CMidiMessage msg;
                if (!c.GetDueMessage(msg))
                    break;
                totals[i] += msg.m_dwDelta;
                if (msg.m_nKind == CMidiMessage::kChannel)
                    (void)SendLocked(msg.m_byStatus, msg.m_byData1, msg.m_byData2, msg.m_dwDelta);
                else if (IsSetTempo(msg))
                    TempoStep(TempoOf(c));
                c.Advance();
                if (c.IsAtEnd() && --live == 0)
                    return;
            }
        }
    }
}
