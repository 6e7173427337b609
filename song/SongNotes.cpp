#include "song/SongNotes.h"

#include <algorithm>
#include <cmath>

#include "song/GmNames.h"
#include "song/MidiChannelEvent.h"
#include "song/MidiMetaEvent.h"
#include "song/MidiSong.h"
#include "song/MidiChannels.h"

namespace {

// A bar of 4/4 where the song says nothing else.
constexpr std::uint64_t kDefaultQuartersPerBar = 4;
// A denominator of 2^7 (a 128th) is the smallest a bar is measured in here.
constexpr std::uint8_t kMaxDenominatorPower = 7;
constexpr std::size_t kNoOpenNote = SIZE_MAX;
constexpr std::uint8_t kVolumeController = 7;
constexpr std::uint8_t kExpressionController = 11;
constexpr std::uint8_t kPanController = 10;
constexpr std::uint8_t kDefaultExpression = 127;

struct TrackReading {
    std::vector<SongNote>& notes;
    std::array<std::size_t, 16 * 128> open;
    std::uint64_t tick = 0;
    std::uint16_t track = 0;

    void EndNote(std::uint8_t channel, std::uint8_t pitch)
    {
        std::size_t& index = open[channel * 128u + pitch];
        if (index == kNoOpenNote)
            return;
        notes[index].qwEnd = tick;
        index = kNoOpenNote;
    }
    void StartNote(std::uint8_t channel, std::uint8_t pitch, std::uint8_t velocity)
    {
        // A pitch struck again while it sounds ends the sounding note there.
        EndNote(channel, pitch);
        open[channel * 128u + pitch] = notes.size();
        notes.push_back(SongNote{tick, tick, channel, pitch, velocity, track});
    }
    // Notes still sounding at the end of the track last until then.
    void EndAll()
    {
        for (std::size_t& index : open) {
            if (index != kNoOpenNote)
                notes[index].qwEnd = tick;
            index = kNoOpenNote;
        }
    }
};

} // namespace

CSongNotes::CSongNotes(const CMidiSong& song) : m_wDivision(song.GetDivision())
{
    // The player applies Set Tempo events in time order, the lower track first at
    // the same time; the one it meets last is what it seeks with.
    std::uint64_t lastTempoTick = 0;
    bool haveTempo = false;
    std::uint16_t trackIndex = 0;
    std::vector<MixChange> mix;
    for (const CMidiTrack* track = song.GetTrackList().GetFirstTrack(); track; track = track->m_pNext, ++trackIndex) {
        TrackReading reading{m_notes, {}, 0, trackIndex};
        reading.open.fill(kNoOpenNote);
        std::string name;
        for (const CMidiEvent* e = track->GetFirstEvent(); e; e = e->GetNext()) {
            reading.tick += e->GetDelta();
            const std::uint8_t status = e->GetStatus();
            if (status >= 0x80 && status < 0xF0) {
                const auto* channelEvent = static_cast<const CMidiChannelEvent*>(e);
                const auto channel = static_cast<std::uint8_t>(ChannelOfStatus(status));
                const std::uint8_t d1 = channelEvent->m_byData[0] & 0x7F;
                const std::uint8_t d2 = channelEvent->m_byData[1] & 0x7F;
                switch (status & 0xF0) {
                case 0x80: reading.EndNote(channel, d1); break;
                case 0x90:
                    if (d2 == 0)
                        reading.EndNote(channel, d1);
                    else
                        reading.StartNote(channel, d1, d2);
                    break;
                case 0xB0:
                    if (d1 == kVolumeController || d1 == kExpressionController || d1 == kPanController)
                        mix.push_back(MixChange{reading.tick, channel, d1, d2});
                    break;
                case 0xC0: m_programs[channel] = d1; break;
                default: break;
                }
            } else if (status == 0xFF) {
                const auto* meta = static_cast<const CMidiMetaEvent*>(e);
                if (meta->m_byMetaType == MidiMeta::kTrackName && name.empty()) {
                    name = meta->GetText();
                } else if (meta->m_byMetaType == MidiMeta::kTimeSignature && meta->m_dwDataLength >= 2) {
                    AddMeter(reading.tick, meta->m_pData[0], meta->m_pData[1]);
                } else if (meta->m_byMetaType == MidiMeta::kSetTempo && meta->GetValue() > 0) {
                    const auto tempo = static_cast<std::uint32_t>(meta->GetValue());
                    m_tempos.push_back(TempoChange{reading.tick, tempo});
                    if (!haveTempo || reading.tick >= lastTempoTick) {
                        lastTempoTick = reading.tick;
                        m_dwLastTempo = tempo;
                        haveTempo = true;
                    }
                }
            }
        }
        reading.EndAll();
        m_qwEndTick = std::max(m_qwEndTick, reading.tick);
        m_trackNames.push_back(std::move(name));
    }
    SortNotes();
    ApplyMix(std::move(mix));
    std::stable_sort(m_tempos.begin(), m_tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.qwTick < b.qwTick; });
    std::stable_sort(m_meters.begin(), m_meters.end(),
                     [](const MeterChange& a, const MeterChange& b) { return a.qwTick < b.qwTick; });
}

void CSongNotes::ApplyMix(std::vector<MixChange> changes)
{
    // A controller takes effect from its tick on, before a note struck at the same
    // tick, and the lower track first, as the player sends them.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const MixChange& a, const MixChange& b) { return a.qwTick < b.qwTick; });
    std::array<std::uint8_t, kChannels> volume{};
    std::array<std::uint8_t, kChannels> expression{};
    std::array<std::uint8_t, kChannels> pan{};
    volume.fill(kDefaultChannelVolume);
    expression.fill(kDefaultExpression);
    pan.fill(kCentrePan);
    const auto setting = [&](std::uint8_t controller) -> std::array<std::uint8_t, kChannels>& {
        return controller == kVolumeController ? volume : controller == kExpressionController ? expression : pan;
    };
    auto next = changes.begin();
    for (SongNote& n : m_notes) {
        for (; next != changes.end() && next->qwTick <= n.qwStart; ++next)
            setting(next->byController)[next->byChannel] = next->byValue;
        n.byVolume = static_cast<std::uint8_t>(volume[n.byChannel] * expression[n.byChannel] / kDefaultExpression);
        n.byPan = pan[n.byChannel];
    }
}

void CSongNotes::AddMeter(std::uint64_t tick, std::uint8_t numerator, std::uint8_t denominatorPower)
{
    // A signature of 0 beats or a denominator finer than a 128th says nothing usable.
    if (numerator == 0 || denominatorPower > kMaxDenominatorPower || m_wDivision == 0)
        return;
    const std::uint64_t ticks = std::uint64_t{numerator} * m_wDivision * 4 >> denominatorPower;
    if (ticks > 0)
        m_meters.push_back(MeterChange{tick, ticks});
}

MeterChange CSongNotes::MeterAt(std::uint64_t tick) const
{
    auto after = std::upper_bound(m_meters.begin(), m_meters.end(), tick,
                                  [](std::uint64_t t, const MeterChange& c) { return t < c.qwTick; });
    if (after == m_meters.begin())
        return MeterChange{0, std::max<std::uint64_t>(1, kDefaultQuartersPerBar * m_wDivision)};
    return *std::prev(after);
}

std::uint64_t CSongNotes::BarStartAtOrBefore(std::uint64_t tick) const
{
    const MeterChange meter = MeterAt(tick);
    return meter.qwTick + (tick - meter.qwTick) / meter.qwTicksPerBar * meter.qwTicksPerBar;
}

std::uint64_t CSongNotes::NextBarLine(std::uint64_t tick) const
{
    std::uint64_t after = BarStartAtOrBefore(tick) + MeterAt(tick).qwTicksPerBar;
    // A signature that comes before the bar is full starts the next bar there.
    auto next = std::upper_bound(m_meters.begin(), m_meters.end(), tick,
                                 [](std::uint64_t t, const MeterChange& c) { return t < c.qwTick; });
    if (next != m_meters.end())
        after = std::min(after, next->qwTick);
    return after;
}

std::uint64_t CSongNotes::DistanceToBarLine(std::uint64_t tick) const
{
    return std::min(tick - BarStartAtOrBefore(tick), NextBarLine(tick) - tick);
}

std::uint32_t CSongNotes::TempoAt(std::uint64_t tick) const
{
    auto after = std::upper_bound(m_tempos.begin(), m_tempos.end(), tick,
                                  [](std::uint64_t t, const TempoChange& c) { return t < c.qwTick; });
    return after == m_tempos.begin() ? kDefaultTempo : std::prev(after)->dwTempo;
}

std::uint32_t CSongNotes::LastTempo() const
{
    return m_dwLastTempo;
}

std::uint64_t CSongNotes::TickAtSliderSecond(std::uint32_t second) const
{
    const double tick = static_cast<double>(m_wDivision) * second * 1000000.0 / m_dwLastTempo;
    return static_cast<std::uint64_t>(std::min(tick, 1.8e19));
}

std::uint32_t CSongNotes::SliderSecondAt(std::uint64_t tick) const
{
    if (m_wDivision == 0)
        return 0;
    const double second = static_cast<double>(tick) * m_dwLastTempo / (m_wDivision * 1000000.0);
    // The slider's second back to a tick may round a hair past `tick`: step back then.
    auto whole = static_cast<std::uint32_t>(std::min(std::floor(second), 4.0e9));
    while (whole > 0 && TickAtSliderSecond(whole) > tick)
        --whole;
    return whole;
}

std::uint64_t CSongNotes::TickAfterSeconds(std::uint64_t fromTick, double seconds) const
{
    if (m_wDivision == 0 || fromTick >= m_qwEndTick)
        return std::max(fromTick, m_qwEndTick);
    double microseconds = std::max(seconds, 0.0) * 1000000.0;
    std::uint64_t tick = fromTick;
    auto next = std::upper_bound(m_tempos.begin(), m_tempos.end(), tick,
                                 [](std::uint64_t t, const TempoChange& c) { return t < c.qwTick; });
    while (tick < m_qwEndTick) {
        const double perTick = static_cast<double>(TempoAt(tick)) / m_wDivision;
        const std::uint64_t segmentEnd = next == m_tempos.end() ? m_qwEndTick : std::min(next->qwTick, m_qwEndTick);
        const double segment = static_cast<double>(segmentEnd - tick) * perTick;
        if (microseconds < segment)
            return tick + static_cast<std::uint64_t>(microseconds / perTick);
        microseconds -= segment;
        tick = segmentEnd;
        if (next != m_tempos.end())
            ++next;
    }
    return m_qwEndTick;
}

double CSongNotes::SecondsAt(std::uint64_t tick) const
{
    if (m_wDivision == 0)
        return 0;
    double microseconds = 0;
    std::uint64_t from = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const TempoChange& change : m_tempos) {
        if (change.qwTick >= tick)
            break;
        microseconds += static_cast<double>(change.qwTick - from) * tempo / m_wDivision;
        from = change.qwTick;
        tempo = change.dwTempo;
    }
    microseconds += static_cast<double>(tick - from) * tempo / m_wDivision;
    return microseconds / 1000000.0;
}

std::string CSongNotes::ChannelLabel(int channel) const
{
    const int program = Program(channel);
    return program < 0 ? GmUnknownChannelLabel(channel) : GmChannelLabel(channel, static_cast<std::uint8_t>(program));
}

int CSongNotes::Program(int channel) const
{
    return channel >= 0 && channel < kChannels ? m_programs[static_cast<std::size_t>(channel)] : -1;
}

std::string CSongNotes::TrackNames(int channel) const
{
    std::vector<bool> carries(m_trackNames.size(), false);
    for (const SongNote& n : m_notes)
        if (n.byChannel == channel)
            carries[n.wTrack] = true;
    std::string names;
    for (std::size_t t = 0; t < m_trackNames.size(); ++t) {
        if (!carries[t] || m_trackNames[t].empty())
            continue;
        if (!names.empty())
            names += " / ";
        names += m_trackNames[t];
    }
    return names;
}

void CSongNotes::SortNotes()
{
    // Notes struck and released at the same tick make no sound.
    std::erase_if(m_notes, [](const SongNote& n) { return n.qwEnd <= n.qwStart; });
    std::stable_sort(m_notes.begin(), m_notes.end(), [](const SongNote& a, const SongNote& b) {
        return a.qwStart != b.qwStart ? a.qwStart < b.qwStart : a.byPitch > b.byPitch;
    });
}

CSongNotes CSongNotes::WithNotes(std::vector<SongNote> notes) const
{
    CSongNotes changed = *this;
    changed.m_notes = std::move(notes);
    changed.SortNotes();
    for (const SongNote& n : changed.m_notes)
        changed.m_qwEndTick = std::max(changed.m_qwEndTick, n.qwEnd);
    return changed;
}

CSongNotes CSongNotes::WithChannelsMoved(const std::array<int, kChannels>& to) const
{
    CSongNotes moved = *this;
    moved.m_programs.fill(-1);
    for (SongNote& n : moved.m_notes) {
        n.byVolume = kDefaultChannelVolume;
        n.byPan = kCentrePan;
    }
    std::erase_if(moved.m_notes,
                  [&](const SongNote& n) { return to[n.byChannel] < 0 || to[n.byChannel] >= kChannels; });
    for (SongNote& n : moved.m_notes)
        n.byChannel = static_cast<std::uint8_t>(to[n.byChannel]);
    return moved;
}
