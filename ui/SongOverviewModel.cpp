#include "ui/SongOverviewModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "song/MidiChannels.h"
#include "song/SongNotes.h"

namespace {

std::vector<double> BarLinesOf(const CSongNotes& notes, double secondsPerTick)
{
    std::vector<double> bars;
    for (std::uint64_t tick = 0; tick <= notes.EndTick(); tick = notes.NextBarLine(tick)) {
        if (bars.size() == CSongOverviewModel::kMostBarLines)
            return {};
        bars.push_back(static_cast<double>(tick) * secondsPerTick);
    }
    return bars;
}

} // namespace

std::string ClockTenths(double seconds)
{
    const long tenths = std::lround(std::max(seconds, 0.0) * 10);
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

std::optional<int> ParseClock(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    std::string rest = text.substr(first, last - first + 1);
    std::string minutes;
    bool bClock = false;
    if (const auto colon = rest.find(':'); colon != std::string::npos) {
        bClock = true;
        minutes = rest.substr(0, colon);
        rest = rest.substr(colon + 1);
    }
    if (const auto dot = rest.find('.'); dot != std::string::npos) {
        if (rest.substr(dot + 1) != "0")
            return std::nullopt;
        rest.resize(dot);
    }
    const auto digits = [](const std::string& part, std::size_t most) {
        return !part.empty() && part.size() <= most &&
               std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    };
    if (!digits(rest, bClock ? 2 : 6) || (bClock && !digits(minutes, 3)))
        return std::nullopt;
    const int seconds = std::stoi(rest);
    if (bClock && seconds > 59)
        return std::nullopt;
    return (bClock ? std::stoi(minutes) * 60 : 0) + seconds;
}

void CSongOverviewModel::SetSong(const CSongNotes& notes, const std::vector<MelodyCandidate>& ranked,
                                 int lengthSeconds)
{
    Clear();
    m_nLength = std::max(lengthSeconds, 0);
    m_nEnd = m_nLength;
    m_bEnabled.fill(true);

    // Seconds as the slider counts them: at the song's last tempo.
    m_dSecondsPerTick = notes.Division() ? static_cast<double>(notes.LastTempo()) / (notes.Division() * 1e6) : 0;
    std::array<int, kChannels> laneOf{};
    laneOf.fill(-1);
    for (const SongNote& n : notes.Notes()) { // in start order
        int& lane = laneOf[n.byChannel & 15];
        if (lane < 0) {
            lane = static_cast<int>(m_lanes.size());
            m_lanes.push_back(OverviewLane{n.byChannel & 15, {}});
        }
        m_lanes[static_cast<std::size_t>(lane)].onsetSeconds.push_back(
            static_cast<float>(static_cast<double>(n.qwStart) * m_dSecondsPerTick));
    }
    std::sort(m_lanes.begin(), m_lanes.end(),
              [](const OverviewLane& a, const OverviewLane& b) { return a.nChannel < b.nChannel; });
    m_barSeconds = BarLinesOf(notes, m_dSecondsPerTick);

    if (laneOf[kPercussionChannel] >= 0)
        m_marks[kPercussionChannel] = OverviewMark::kDrums;
    if (!ranked.empty() && ranked.front().dScore > 0) {
        m_marks[static_cast<std::size_t>(ranked.front().nChannel)] = OverviewMark::kSuggested;
        for (const MelodyCandidate& c : ranked)
            if (c.bPlaysFirstsLine)
                m_marks[static_cast<std::size_t>(c.nChannel)] = OverviewMark::kAlong;
        if (MelodyRunnerUpIsClose(ranked))
            m_marks[static_cast<std::size_t>(MelodyRunnerUp(ranked)->nChannel)] = OverviewMark::kRunnerUp;
    }
}

void CSongOverviewModel::Clear()
{
    *this = CSongOverviewModel();
}

OverviewMark CSongOverviewModel::MarkOf(int channel) const
{
    return channel >= 0 && channel < kChannels ? m_marks[static_cast<std::size_t>(channel)] : OverviewMark::kNone;
}

std::string CSongOverviewModel::LaneText(std::size_t lane) const
{
    if (lane >= m_lanes.size())
        return {};
    const int channel = m_lanes[lane].nChannel;
    std::string text = "channel " + std::to_string(channel + 1);
    switch (MarkOf(channel)) {
    case OverviewMark::kSuggested: text += " \u266A"; break;
    case OverviewMark::kRunnerUp: text += " \u266A?"; break;
    case OverviewMark::kAlong: text += " =\u266A"; break;
    case OverviewMark::kDrums: text += " drums"; break;
    case OverviewMark::kNone: break;
    }
    return text + (IsEnabled(channel) ? ", enabled" : "");
}

bool CSongOverviewModel::IsEnabled(int channel) const
{
    return channel >= 0 && channel < kChannels && m_bEnabled[static_cast<std::size_t>(channel)];
}

int CSongOverviewModel::MinimumSpan() const
{
    // The bar in which the start lies, rounded up to whole seconds of the slider.
    const auto after = std::upper_bound(m_barSeconds.begin(), m_barSeconds.end(), m_dStart);
    if (after == m_barSeconds.begin() || after == m_barSeconds.end())
        return 1;
    return std::max(static_cast<int>(std::ceil(*after - *std::prev(after) - 1e-9)), 1);
}

void CSongOverviewModel::KeepEndABarAfterStart()
{
    // A start moved onto the end (by the slider) opens the range to the song's end
    // again: a range of nothing would end a recording as soon as it began.
    if (m_nEnd < std::min(m_nStart + MinimumSpan(), m_nLength))
        m_nEnd = m_nLength;
}

void CSongOverviewModel::SetRangeStart(int second)
{
    m_nStart = std::clamp(second, 0, m_nLength);
    m_dStart = m_nStart;
    KeepEndABarAfterStart();
}

void CSongOverviewModel::SetRangeStartAtTick(std::uint64_t tick)
{
    m_dStart = std::clamp(static_cast<double>(tick) * m_dSecondsPerTick, 0.0, static_cast<double>(m_nLength));
    m_nStart = static_cast<int>(std::floor(m_dStart));
    KeepEndABarAfterStart();
}

void CSongOverviewModel::SetRangeEnd(int second)
{
    m_nEnd = std::clamp(second, std::min(m_nStart + MinimumSpan(), m_nLength), m_nLength);
}

std::string CSongOverviewModel::RangeLengthText() const
{
    char length[32];
    std::snprintf(length, sizeof length, "(%.1f s)", std::max(m_nEnd - m_dStart, 0.0));
    return length;
}

std::string CSongOverviewModel::RangeText() const
{
    return ClockTenths(m_dStart) + " to " + ClockTenths(m_nEnd) + " " + RangeLengthText();
}

double CSongOverviewModel::ViewSeconds() const
{
    return std::max(m_nLength, 1) / static_cast<double>(m_nZoom);
}

void CSongOverviewModel::ClampView()
{
    m_dViewStart = std::clamp(m_dViewStart, 0.0, std::max(m_nLength - ViewSeconds(), 0.0));
}

void CSongOverviewModel::ZoomIn(double around)
{
    if (m_nZoom >= kMostZoom || ViewSeconds() / 2 < kFewestSecondsInView)
        return;
    const double share = ShareOf(around);
    m_nZoom *= 2;
    m_dViewStart = around - share * ViewSeconds();
    ClampView();
}

void CSongOverviewModel::ZoomOut(double around)
{
    if (m_nZoom == 1)
        return;
    const double share = ShareOf(around);
    m_nZoom /= 2;
    m_dViewStart = around - share * ViewSeconds();
    ClampView();
}

void CSongOverviewModel::KeepInView(double seconds)
{
    const double view = ViewSeconds();
    if (seconds < m_dViewStart)
        m_dViewStart = seconds;
    else if (seconds > m_dViewStart + view)
        m_dViewStart = seconds - view / 4; // a page on, as the playhead leaves the view
    ClampView();
}

double CSongOverviewModel::ShareOf(double seconds) const
{
    return (seconds - m_dViewStart) / ViewSeconds();
}

double CSongOverviewModel::SecondsAtShare(double share) const
{
    return m_dViewStart + share * ViewSeconds();
}

std::vector<std::uint32_t> CSongOverviewModel::BinsInView(std::size_t lane, int bins) const
{
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(std::max(bins, 0)), 0);
    if (lane >= m_lanes.size() || bins <= 0)
        return counts;
    const std::vector<float>& onsets = m_lanes[lane].onsetSeconds;
    const double end = m_dViewStart + ViewSeconds();
    for (auto it = std::lower_bound(onsets.begin(), onsets.end(), static_cast<float>(m_dViewStart));
         it != onsets.end() && *it <= end; ++it) {
        const double bin = std::floor(ShareOf(*it) * bins);
        ++counts[static_cast<std::size_t>(std::clamp(bin, 0.0, bins - 1.0))];
    }
    return counts;
}

int CSongOverviewModel::RulerStep(double pixelsPerSecond, int minPixels)
{
    static constexpr int kSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
    for (int step : kSteps)
        if (step * pixelsPerSecond >= minPixels)
            return step;
    return 1200;
}

void CSongOverviewModel::SetPlayhead(std::optional<int> second)
{
    m_playhead = second;
    if (second)
        KeepInView(*second);
}

void CSongOverviewModel::SetFitEndTick(std::optional<std::uint64_t> tick)
{
    m_fitEnd.reset();
    if (tick)
        m_fitEnd = static_cast<double>(*tick) * m_dSecondsPerTick;
}
