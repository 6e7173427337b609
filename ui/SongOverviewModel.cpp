#include "ui/SongOverviewModel.h"

#include <algorithm>

#include "song/MidiChannels.h"
#include "song/SongNotes.h"

void CSongOverviewModel::SetSong(const CSongNotes& notes, const std::vector<MelodyCandidate>& ranked,
                                 int lengthSeconds)
{
    Clear();
    m_nLength = std::max(lengthSeconds, 0);
    m_nEnd = m_nLength;
    m_bEnabled.fill(true);

    // Seconds as the slider counts them: at the song's last tempo.
    const double secondsPerTick =
        notes.Division() ? static_cast<double>(notes.LastTempo()) / (notes.Division() * 1e6) : 0;
    const double binsPerSecond = m_nLength > 0 ? static_cast<double>(kOverviewBins) / m_nLength : 0;
    std::array<int, kChannels> laneOf{};
    laneOf.fill(-1);
    for (const SongNote& n : notes.Notes()) {
        int& lane = laneOf[n.byChannel & 15];
        if (lane < 0) {
            lane = static_cast<int>(m_lanes.size());
            m_lanes.push_back(OverviewLane{n.byChannel & 15, std::vector<std::uint32_t>(kOverviewBins, 0)});
        }
        const double bin = static_cast<double>(n.qwStart) * secondsPerTick * binsPerSecond;
        ++m_lanes[static_cast<std::size_t>(lane)]
              .onsetsPerBin[static_cast<std::size_t>(std::clamp(bin, 0.0, kOverviewBins - 1.0))];
    }
    std::sort(m_lanes.begin(), m_lanes.end(),
              [](const OverviewLane& a, const OverviewLane& b) { return a.nChannel < b.nChannel; });

    if (laneOf[kPercussionChannel] >= 0)
        m_marks[kPercussionChannel] = OverviewMark::kDrums;
    if (!ranked.empty() && ranked.front().dScore > 0) {
        m_marks[static_cast<std::size_t>(ranked.front().nChannel)] = OverviewMark::kSuggested;
        if (MelodyRunnerUpIsClose(ranked))
            m_marks[static_cast<std::size_t>(ranked[1].nChannel)] = OverviewMark::kRunnerUp;
    }
}

void CSongOverviewModel::Clear()
{
    m_lanes.clear();
    m_marks.fill(OverviewMark::kNone);
    m_bEnabled.fill(false);
    m_nLength = m_nStart = m_nEnd = 0;
}

OverviewMark CSongOverviewModel::MarkOf(int channel) const
{
    return channel >= 0 && channel < kChannels ? m_marks[static_cast<std::size_t>(channel)] : OverviewMark::kNone;
}

bool CSongOverviewModel::IsEnabled(int channel) const
{
    return channel >= 0 && channel < kChannels && m_bEnabled[static_cast<std::size_t>(channel)];
}

void CSongOverviewModel::SetRangeStart(int second)
{
    m_nStart = std::clamp(second, 0, m_nLength);
    // A start moved past the end (by the slider) opens the range to the song's end
    // again: a range of nothing would end a recording as soon as it began.
    if (m_nEnd < m_nStart)
        m_nEnd = m_nLength;
}

void CSongOverviewModel::SetRangeEnd(int second)
{
    m_nEnd = std::clamp(second, m_nStart, m_nLength);
}
