#include "melody/MelodyDescriptors.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>
#include <queue>
#include <set>

#include "song/MidiChannels.h"
#include "song/SongNotes.h"

namespace {

// Notes struck within a 64th of each other count as struck together.
constexpr double kTogetherQuarters = 1.0 / 16;
// The song's span is cut in this many parts to see where a channel plays: about
// two bars each in a song of three minutes.
constexpr int kSongParts = 48;
// A singer breathes between phrases: a silence of a quarter second, or a note
// held so long that the next one starts 1.5 s after it, ends one.
constexpr double kBreathSeconds = 0.25;
constexpr double kPhraseGapSeconds = 1.5;
// Faster than this a voice does not sing one note after another (a sixteenth at 136 bpm).
constexpr double kFastSeconds = 0.11;
// A singer's range, d3..a5; notes outside it are an instrument's.
constexpr int kVoiceLow = 50;
constexpr int kVoiceHigh = 81;
// A melodic line strikes one note alone this often and lies above the bass.
constexpr double kLineSingleShare = 0.6;
constexpr double kLineLowestPitch = 55;

using D = MelodyDescriptor;

struct Onset {
    std::uint64_t tick;
    int top;   // highest pitch struck
    int count; // notes struck
    std::uint64_t end; // end of the top note
    int velocity; // of the top note
};

std::vector<Onset> OnsetsOf(const std::vector<const SongNote*>& notes, std::uint64_t together)
{
    std::vector<Onset> onsets;
    for (const SongNote* n : notes) {
        if (!onsets.empty() && n->qwStart - onsets.back().tick <= together) {
            Onset& o = onsets.back();
            ++o.count;
            if (n->byPitch > o.top) {
                o.top = n->byPitch;
                o.end = n->qwEnd;
                o.velocity = n->byVelocity;
            }
            continue;
        }
        onsets.push_back(Onset{n->qwStart, n->byPitch, 1, n->qwEnd, n->byVelocity});
    }
    return onsets;
}

double Entropy(const std::map<long, int>& counts, int total)
{
    double bits = 0;
    for (const auto& [value, count] : counts) {
        const double p = static_cast<double>(count) / total;
        bits -= p * std::log2(p);
    }
    return bits;
}

// Ticks in which at least one of the notes sounds.
std::uint64_t SoundingTicks(const std::vector<const SongNote*>& notes)
{
    std::uint64_t total = 0;
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    for (const SongNote* n : notes) { // in start order
        if (n->qwStart > to) {
            total += to - from;
            from = n->qwStart;
            to = n->qwEnd;
        } else {
            to = std::max(to, n->qwEnd);
        }
    }
    return total + (to - from);
}

// For every onset of every channel: does a note of another melodic channel sound higher?
std::array<std::size_t, 16> CountTopOnsets(const CSongNotes& song, const std::array<std::vector<Onset>, 16>& onsets)
{
    // A sweep over note starts. Sounding notes are counted by pitch and channel and
    // leave by end tick, so each onset costs the same however many notes are held.
    std::array<std::array<int, 16>, 128> byPitch{};
    std::array<int, 128> total{};
    using Ending = std::pair<std::uint64_t, const SongNote*>;
    std::priority_queue<Ending, std::vector<Ending>, std::greater<>> endings;
    std::array<std::size_t, 16> top{};
    std::array<std::size_t, 16> next{};
    const auto& notes = song.Notes();
    std::size_t i = 0;
    while (true) {
        int channel = -1;
        std::uint64_t tick = UINT64_MAX;
        for (int c = 0; c < 16; ++c)
            if (next[c] < onsets[c].size() && onsets[c][next[c]].tick < tick) {
                tick = onsets[c][next[c]].tick;
                channel = c;
            }
        if (channel < 0)
            break;
        for (; i < notes.size() && notes[i].qwStart <= tick; ++i) {
            if (notes[i].byChannel == kPercussionChannel)
                continue;
            ++byPitch[notes[i].byPitch][notes[i].byChannel];
            ++total[notes[i].byPitch];
            endings.emplace(notes[i].qwEnd, &notes[i]);
        }
        for (; !endings.empty() && endings.top().first <= tick; endings.pop()) {
            const SongNote& ended = *endings.top().second;
            --byPitch[ended.byPitch][ended.byChannel];
            --total[ended.byPitch];
        }
        const Onset& o = onsets[channel][next[channel]++];
        bool higher = false;
        for (int p = o.top + 1; p < 128 && !higher; ++p)
            higher = total[p] - byPitch[p][channel] > 0;
        top[channel] += higher ? 0 : 1;
    }
    return top;
}

// How far x lies outside [lo, hi], in units of `scale` (0 inside).
double Outside(double x, double lo, double hi, double scale)
{
    return x < lo ? (lo - x) / scale : (x > hi ? (x - hi) / scale : 0);
}

// The playing time of each onset and of the end of its top note, in one sweep of
// the tempo map (the onsets are in tick order, their ends need not be).
struct OnsetTimes {
    std::vector<double> start;
    std::vector<double> end;
};

OnsetTimes TimesOf(const CSongNotes& song, const std::vector<Onset>& onsets)
{
    OnsetTimes times;
    const auto& tempos = song.Tempos();
    std::size_t next = 0;
    std::uint64_t from = 0;
    double seconds = 0;
    std::uint32_t tempo = CSongNotes::kDefaultTempo;
    const double division = std::max<double>(song.Division(), 1);
    for (const Onset& o : onsets) {
        for (; next < tempos.size() && tempos[next].qwTick <= o.tick; ++next) {
            seconds += static_cast<double>(tempos[next].qwTick - from) * tempo / division / 1e6;
            from = tempos[next].qwTick;
            tempo = tempos[next].dwTempo;
        }
        const double start = seconds + static_cast<double>(o.tick - from) * tempo / division / 1e6;
        times.start.push_back(start);
        // The tempo at the onset, for the top note's own length: near enough for a breath.
        times.end.push_back(start + static_cast<double>(o.end - o.tick) * tempo / division / 1e6);
    }
    return times;
}

// The measures of phrasing and place in the song (PartShare .. OffBeatShare).
void MeasureSinging(MelodyChannelDescriptors& d, const CSongNotes& song, const std::vector<Onset>& onsets,
                    std::uint64_t songFirst, std::uint64_t songSpan)
{
    const OnsetTimes times = TimesOf(song, onsets);
    std::array<bool, kSongParts> parts{};
    std::size_t phrases = 0;
    std::size_t longPhrases = 0; // of three notes or more
    std::size_t heldEnds = 0;
    double phraseSeconds = 0;
    std::size_t fast = 0;
    std::size_t inRange = 0;
    std::size_t offBeat = 0;
    const std::uint64_t eighth = std::max<std::uint64_t>(song.Division() / 2, 1);
    const std::uint64_t slack = song.Division() / 16;
    std::size_t phraseStart = 0;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        const std::uint64_t at = onsets[k].tick - songFirst;
        const auto part = songSpan ? static_cast<std::size_t>(static_cast<double>(at) / songSpan * kSongParts) : 0;
        parts[std::min<std::size_t>(part, kSongParts - 1)] = true;
        inRange += onsets[k].top >= kVoiceLow && onsets[k].top <= kVoiceHigh ? 1 : 0;
        const std::uint64_t inEighth = onsets[k].tick % eighth;
        offBeat += std::min(inEighth, eighth - inEighth) > slack ? 1 : 0;
        const bool last = k + 1 == onsets.size();
        if (!last)
            fast += times.start[k + 1] - times.start[k] < kFastSeconds ? 1 : 0;
        if (last || times.start[k + 1] - times.end[k] >= kBreathSeconds ||
            times.start[k + 1] - times.start[k] >= kPhraseGapSeconds) {
            // The phrase ends here: its length, and whether its last note is held
            // (twice the phrase's mean step between onsets), as a singer ends one.
            ++phrases;
            phraseSeconds += times.end[k] - times.start[phraseStart];
            const std::size_t notes = k - phraseStart + 1;
            if (notes >= 3) {
                ++longPhrases;
                const double step = (times.start[k] - times.start[phraseStart]) / static_cast<double>(notes - 1);
                heldEnds += times.end[k] - times.start[k] >= 2 * step ? 1 : 0;
            }
            phraseStart = k + 1;
        }
    }
    const double n = static_cast<double>(onsets.size());
    d[D::PartShare] = static_cast<double>(std::count(parts.begin(), parts.end(), true)) / kSongParts;
    d[D::LateStart] = songSpan ? static_cast<double>(onsets.front().tick - songFirst) / songSpan : 0;
    d[D::PhraseNotes] = std::clamp(std::log2(n / static_cast<double>(phrases)), 0.0, 6.0);
    d[D::PhraseSeconds] = std::clamp(std::log2(std::max(phraseSeconds / static_cast<double>(phrases), 1e-3)), -3.0, 4.0);
    d[D::HeldEnds] = longPhrases ? static_cast<double>(heldEnds) / static_cast<double>(longPhrases) : 0;
    d[D::FastShare] = onsets.size() > 1 ? static_cast<double>(fast) / (n - 1) : 0;
    d[D::VoiceRange] = inRange / n;
    d[D::OffBeatShare] = offBeat / n;
}

// For each channel, the share of its onsets at which no other melodic line sounds.
void MeasureAnswers(std::vector<MelodyChannelDescriptors>& channels,
                    const std::array<std::vector<const SongNote*>, 16>& byChannel,
                    const std::array<std::vector<Onset>, 16>& onsets)
{
    std::array<bool, 16> line{};
    for (const MelodyChannelDescriptors& c : channels)
        line[c.nChannel] = c[D::SingleShare] >= kLineSingleShare && c[D::MeanPitch] * 12 + 60 >= kLineLowestPitch;
    // Each line's sounding spans, merged, in tick order.
    std::array<std::vector<std::pair<std::uint64_t, std::uint64_t>>, 16> spans;
    for (int c = 0; c < 16; ++c) {
        if (!line[c])
            continue;
        for (const SongNote* n : byChannel[c]) {
            if (!spans[c].empty() && n->qwStart <= spans[c].back().second)
                spans[c].back().second = std::max(spans[c].back().second, n->qwEnd);
            else
                spans[c].emplace_back(n->qwStart, n->qwEnd);
        }
    }
    for (MelodyChannelDescriptors& d : channels) {
        std::array<std::size_t, 16> next{};
        std::size_t alone = 0;
        for (const Onset& o : onsets[d.nChannel]) {
            bool accompanied = false;
            for (int c = 0; c < 16 && !accompanied; ++c) {
                if (c == d.nChannel || !line[c])
                    continue;
                while (next[c] < spans[c].size() && spans[c][next[c]].second <= o.tick)
                    ++next[c];
                accompanied = next[c] < spans[c].size() && spans[c][next[c]].first <= o.tick;
            }
            alone += accompanied ? 0 : 1;
        }
        d[D::AnswerShare] = static_cast<double>(alone) / static_cast<double>(onsets[d.nChannel].size());
    }
}

void MeasureLine(MelodyChannelDescriptors& d, const CSongNotes& song, const std::vector<const SongNote*>& notes,
                 const std::vector<Onset>& onsets, std::uint64_t songSpan)
{
    std::size_t single = 0;
    std::size_t overlaps = 0;
    std::size_t struck = 0;
    double pitchSum = 0;
    double pitchSquares = 0;
    double velocitySum = 0;
    double lengthSum = 0;
    double moveSum = 0;
    int lo = 127;
    int hi = 0;
    std::set<int> distinct;
    std::size_t steps = 0;
    std::size_t leaps = 0;
    std::size_t repeats = 0;
    std::map<long, int> gaps;
    const double quarter = std::max<double>(song.Division(), 1);
    const double sixteenth = quarter / 4.0;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        const Onset& o = onsets[k];
        single += o.count == 1 ? 1 : 0;
        struck += static_cast<std::size_t>(o.count);
        pitchSum += o.top;
        pitchSquares += static_cast<double>(o.top) * o.top;
        velocitySum += o.velocity;
        lo = std::min(lo, o.top);
        hi = std::max(hi, o.top);
        distinct.insert(o.top);
        std::uint64_t sounding = o.end - o.tick;
        if (k + 1 < onsets.size()) {
            const Onset& n = onsets[k + 1];
            overlaps += o.end > n.tick + static_cast<std::uint64_t>(sixteenth / 2) ? 1 : 0;
            sounding = std::min(sounding, n.tick - o.tick);
            const int move = std::abs(n.top - o.top);
            moveSum += move;
            repeats += move == 0 ? 1 : 0;
            steps += (move == 1 || move == 2) ? 1 : 0;
            leaps += move > 7 ? 1 : 0;
            ++gaps[std::lround(static_cast<double>(n.tick - o.tick) / sixteenth)];
        }
        lengthSum += static_cast<double>(sounding) / quarter;
    }
    const double n = static_cast<double>(onsets.size());
    const double moves = std::max(n - 1, 1.0);
    const double meanPitch = pitchSum / n;
    d[D::SingleShare] = single / n;
    d[D::OverlapShare] = overlaps / moves;
    d[D::MeanPitch] = (meanPitch - 60) / 12;
    d[D::PitchOutside] = Outside(meanPitch, 64, 84, 12);
    d[D::PitchRange] = std::min((hi - lo) / 12.0, 4.0);
    d[D::PitchSpread] = std::sqrt(std::max(0.0, pitchSquares / n - meanPitch * meanPitch)) / 12;
    d[D::DistinctPitches] = std::min(static_cast<double>(distinct.size()) / 12, 4.0);
    d[D::StepShare] = steps / moves;
    d[D::LeapShare] = leaps / moves;
    d[D::RepeatShare] = repeats / moves;
    d[D::MeanMove] = std::min(moveSum / moves / 12, 1.0);
    const double seconds = song.SecondsAt(notes.back()->qwEnd) - song.SecondsAt(notes.front()->qwStart);
    const double perSecond = seconds > 0 ? n / seconds : 0;
    d[D::Density] = std::log2(perSecond + 0.125);
    d[D::DensityOutside] = Outside(perSecond, 1, 7, 2);
    d[D::RhythmVariety] = onsets.size() > 1 ? std::min(Entropy(gaps, static_cast<int>(onsets.size() - 1)), 3.0) : 0;
    d[D::MeanLength] = std::clamp(std::log2(std::max(lengthSum / n, 1e-3)), -3.0, 3.0);
    d[D::Coverage] = songSpan ? static_cast<double>(SoundingTicks(notes)) / static_cast<double>(songSpan) : 0;
    d[D::Chords] = std::min(static_cast<double>(struck) / n - 1, 3.0);
    d[D::Loudness] = velocitySum / n / 127;
}

// Each channel's measure placed between the song's lowest (0) and highest (1).
void Relate(std::vector<MelodyChannelDescriptors>& channels, D from, D to)
{
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    for (const MelodyChannelDescriptors& c : channels) {
        lo = std::min(lo, c[from]);
        hi = std::max(hi, c[from]);
    }
    for (MelodyChannelDescriptors& c : channels)
        c[to] = hi - lo > 1e-9 ? (c[from] - lo) / (hi - lo) : 0.5;
}

} // namespace

std::string_view MelodyDescriptorName(MelodyDescriptor descriptor)
{
    static constexpr std::string_view kNames[] = {
        "SingleShare", "OverlapShare", "MeanPitch", "PitchOutside", "PitchRange",
        "PitchSpread", "DistinctPitches", "StepShare", "LeapShare", "RepeatShare",
        "MeanMove", "Density", "DensityOutside", "RhythmVariety", "MeanLength",
        "Coverage", "OnsetShare", "FewOnsets", "TopShare", "Chords",
        "Loudness", "PartShare", "LateStart", "PhraseNotes", "PhraseSeconds",
        "HeldEnds", "OffBeatShare", "FastShare", "VoiceRange", "AnswerShare",
        "RelMeanPitch", "RelSingleShare", "RelStepShare", "RelDensity", "RelRhythmVariety",
        "RelMeanLength", "RelCoverage", "RelTopShare", "RelLoudness", "RelDistinctPitches",
        "RelPartShare", "RelPhraseNotes", "RelLeapShare", "RelFastShare", "RelAnswerShare",
        "RelVoiceRange", "RelHeldEnds", "RelOffBeatShare", "HighestLine",
    };
    static_assert(std::size(kNames) == kMelodyDescriptorCount, "a name for every descriptor");
    return kNames[static_cast<std::size_t>(descriptor)];
}

std::vector<MelodyChannelDescriptors> DescribeMelodyChannels(const CSongNotes& song)
{
    std::array<std::vector<const SongNote*>, 16> byChannel;
    std::uint64_t first = UINT64_MAX;
    std::uint64_t last = 0;
    for (const SongNote& n : song.Notes()) {
        if (n.byChannel == kPercussionChannel)
            continue;
        byChannel[n.byChannel].push_back(&n);
        first = std::min(first, n.qwStart);
        last = std::max(last, n.qwEnd);
    }
    const auto together = static_cast<std::uint64_t>(song.Division() * kTogetherQuarters);
    std::array<std::vector<Onset>, 16> onsets;
    for (int c = 0; c < 16; ++c)
        onsets[c] = OnsetsOf(byChannel[c], together);
    const std::array<std::size_t, 16> top = CountTopOnsets(song, onsets);

    std::size_t busiest = 1;
    for (const std::vector<Onset>& o : onsets)
        busiest = std::max(busiest, o.size());
    std::vector<MelodyChannelDescriptors> channels;
    for (int c = 0; c < 16; ++c) {
        if (byChannel[c].empty())
            continue;
        MelodyChannelDescriptors d;
        d.nChannel = c;
        MeasureLine(d, song, byChannel[c], onsets[c], last > first ? last - first : 0);
        const double share = static_cast<double>(onsets[c].size()) / static_cast<double>(busiest);
        d[D::OnsetShare] = share;
        d[D::FewOnsets] = std::max(0.0, 0.25 - share) * 4;
        d[D::TopShare] = static_cast<double>(top[c]) / static_cast<double>(onsets[c].size());
        MeasureSinging(d, song, onsets[c], first, last > first ? last - first : 0);
        channels.push_back(d);
    }
    MeasureAnswers(channels, byChannel, onsets);
    Relate(channels, D::MeanPitch, D::RelMeanPitch);
    Relate(channels, D::SingleShare, D::RelSingleShare);
    Relate(channels, D::StepShare, D::RelStepShare);
    Relate(channels, D::Density, D::RelDensity);
    Relate(channels, D::RhythmVariety, D::RelRhythmVariety);
    Relate(channels, D::MeanLength, D::RelMeanLength);
    Relate(channels, D::Coverage, D::RelCoverage);
    Relate(channels, D::TopShare, D::RelTopShare);
    Relate(channels, D::Loudness, D::RelLoudness);
    Relate(channels, D::DistinctPitches, D::RelDistinctPitches);
    Relate(channels, D::PartShare, D::RelPartShare);
    Relate(channels, D::PhraseNotes, D::RelPhraseNotes);
    Relate(channels, D::LeapShare, D::RelLeapShare);
    Relate(channels, D::FastShare, D::RelFastShare);
    Relate(channels, D::AnswerShare, D::RelAnswerShare);
    Relate(channels, D::VoiceRange, D::RelVoiceRange);
    Relate(channels, D::HeldEnds, D::RelHeldEnds);
    Relate(channels, D::OffBeatShare, D::RelOffBeatShare);
    for (MelodyChannelDescriptors& c : channels)
        c[D::HighestLine] = c[D::RelMeanPitch] == 1.0 || channels.size() == 1 ? 1 : 0;
    return channels;
}
