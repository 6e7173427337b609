#include "melody/MelodyDescriptors.h"

#include <algorithm>
#include <bit>
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
    int loudness; // of the top note: its velocity times its channel's volume, 0-127
};

// How loud a note sounds in the mix: the singer's line is often the one the
// arranger turns up, whatever velocities its notes were struck with.
int LoudnessOf(const SongNote& n)
{
    return n.byVelocity * n.byVolume / 127;
}

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
                o.loudness = LoudnessOf(*n);
            }
            continue;
        }
        onsets.push_back(Onset{n->qwStart, n->byPitch, 1, n->qwEnd, LoudnessOf(*n)});
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
                    const OnsetTimes& times, std::uint64_t songFirst, std::uint64_t songSpan)
{
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

// Share of the onsets struck at the same pitch `lag` ticks (within `slack`) after an onset.
double ShareRepeatedAfter(const std::vector<Onset>& onsets, std::uint64_t lag, std::uint64_t slack)
{
    std::size_t earlier = 0;
    std::size_t repeated = 0;
    for (const Onset& o : onsets) {
        if (o.tick < lag + slack)
            continue;
        while (onsets[earlier].tick + lag + slack < o.tick)
            ++earlier;
        for (std::size_t k = earlier; k < onsets.size() && onsets[k].tick + lag <= o.tick + slack; ++k)
            if (onsets[k].top == o.top) {
                ++repeated;
                break;
            }
    }
    return static_cast<double>(repeated) / static_cast<double>(onsets.size());
}

// How a line repeats itself: Ostinato and FigureVariety.
void MeasureRepetition(MelodyChannelDescriptors& d, const CSongNotes& song, const std::vector<Onset>& onsets)
{
    const std::uint64_t quarter = std::max<std::uint64_t>(song.Division(), 1);
    const std::uint64_t slack = quarter / 16;
    d[D::Ostinato] =
        std::max(ShareRepeatedAfter(onsets, 2 * quarter, slack), ShareRepeatedAfter(onsets, 4 * quarter, slack));
    std::set<std::uint32_t> figures;
    std::size_t runs = 0;
    for (std::size_t k = 0; k + 4 < onsets.size(); ++k, ++runs) {
        std::uint32_t figure = 0; // four moves of -127..127 semitones, a byte each
        for (std::size_t m = k; m < k + 4; ++m)
            figure = figure * 256 + static_cast<std::uint32_t>(onsets[m + 1].top - onsets[m].top + 128);
        figures.insert(figure);
    }
    d[D::FigureVariety] = runs ? static_cast<double>(figures.size()) / static_cast<double>(runs) : 1;
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
    double loudnessSum = 0;
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
        loudnessSum += o.loudness;
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
    d[D::Loudness] = loudnessSum / n / 127;
    double offCentre = 0;
    for (const SongNote* note : notes)
        offCentre += std::abs(note->byPan - kCentrePan);
    d[D::OffCentre] = offCentre / static_cast<double>(notes.size()) / kCentrePan;
}

// Where a channel rests between phrases (as MeasureSinging ends them), in seconds:
// before its first note, at each breath, after its last.
std::vector<std::pair<double, double>> RestsOf(const OnsetTimes& times)
{
    std::vector<std::pair<double, double>> rests;
    rests.emplace_back(-HUGE_VAL, times.start.front());
    for (std::size_t k = 0; k + 1 < times.start.size(); ++k)
        if (times.start[k + 1] - times.end[k] >= kBreathSeconds ||
            times.start[k + 1] - times.start[k] >= kPhraseGapSeconds)
            rests.emplace_back(times.end[k], times.start[k + 1]);
    rests.emplace_back(times.end.back(), HUGE_VAL);
    return rests;
}

// Share of the onsets (in time order) that fall inside one of the rests.
double ShareInRests(const std::vector<double>& starts, const std::vector<std::pair<double, double>>& rests)
{
    std::size_t r = 0;
    std::size_t inside = 0;
    for (double t : starts) {
        while (r < rests.size() && rests[r].second <= t)
            ++r;
        inside += r < rests.size() && rests[r].first <= t ? 1 : 0;
    }
    return static_cast<double>(inside) / static_cast<double>(starts.size());
}

// Share of a's onsets struck within `together` ticks of one of b's.
double ShareStruckWith(const std::vector<Onset>& a, const std::vector<Onset>& b, std::uint64_t together)
{
    std::size_t next = 0;
    std::size_t with = 0;
    for (const Onset& o : a) {
        while (next < b.size() && b[next].tick + together < o.tick)
            ++next;
        with += next < b.size() && b[next].tick <= o.tick + together ? 1 : 0;
    }
    return static_cast<double>(with) / static_cast<double>(a.size());
}

// The parts of the song (of kSongParts) in which the onsets fall, a bit each.
std::uint64_t PartsOf(const std::vector<Onset>& onsets, std::uint64_t songFirst, std::uint64_t songSpan)
{
    std::uint64_t parts = 0;
    for (const Onset& o : onsets) {
        const double at = songSpan ? static_cast<double>(o.tick - songFirst) / static_cast<double>(songSpan) : 0;
        parts |= std::uint64_t{1} << std::min(static_cast<int>(at * kSongParts), kSongParts - 1);
    }
    return parts;
}

// Every ordered pair of channels, for AddRivalDescriptors.
std::vector<MelodyPairMeasures> MeasurePairs(const std::vector<MelodyChannelDescriptors>& channels,
                                             const std::array<std::vector<Onset>, 16>& onsets,
                                             const std::array<OnsetTimes, 16>& times, std::uint64_t together,
                                             std::uint64_t songFirst, std::uint64_t songSpan)
{
    const std::size_t n = channels.size();
    std::vector<std::vector<std::pair<double, double>>> rests;
    std::vector<std::uint64_t> parts;
    for (const MelodyChannelDescriptors& c : channels) {
        rests.push_back(RestsOf(times[c.nChannel]));
        parts.push_back(PartsOf(onsets[c.nChannel], songFirst, songSpan));
    }
    std::vector<MelodyPairMeasures> pairs(n * n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            if (i == j)
                continue;
            const int a = channels[i].nChannel;
            const int b = channels[j].nChannel;
            MelodyPairMeasures& m = pairs[i * n + j];
            m.dInOtherRests = ShareInRests(times[a].start, rests[j]);
            m.dSameOnsets = ShareStruckWith(onsets[a], onsets[b], together);
            m.dOwnParts = static_cast<double>(std::popcount(parts[i] & ~parts[j])) / kSongParts;
        }
    return pairs;
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
        "Loudness", "OffCentre", "PartShare", "LateStart", "PhraseNotes", "PhraseSeconds",
        "HeldEnds", "OffBeatShare", "FastShare", "VoiceRange", "AnswerShare",
        "Ostinato", "FigureVariety", "RelMeanPitch", "RelSingleShare", "RelStepShare",
        "RelDensity", "RelRhythmVariety", "RelMeanLength", "RelCoverage", "RelTopShare",
        "RelLoudness", "RelDistinctPitches", "RelPartShare", "RelPhraseNotes", "RelLeapShare",
        "RelFastShare", "RelAnswerShare", "RelVoiceRange", "RelHeldEnds", "RelOffBeatShare",
        "RelOstinato", "HighestLine", "RivalLead", "RivalInRests", "InRivalRests",
        "SameOnsets", "OwnParts", "RivalOwnParts", "VsStepShare", "VsLeapShare",
        "VsVoiceRange", "VsFastShare", "VsPhraseNotes", "VsMeanPitch", "VsDensity",
        "VsLateStart", "VsHeldEnds", "VsOffBeatShare", "VsSingleShare", "VsMeanLength",
        "VsRhythmVariety", "VsOstinato", "VsFigureVariety",
    };
    static_assert(std::size(kNames) == kMelodyDescriptorCount, "a name for every descriptor");
    return kNames[static_cast<std::size_t>(descriptor)];
}

MelodySongDescriptors DescribeMelodySong(const CSongNotes& song)
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
    std::array<OnsetTimes, 16> times;
    for (int c = 0; c < 16; ++c) {
        if (byChannel[c].empty())
            continue;
        times[c] = TimesOf(song, onsets[c]);
        MelodyChannelDescriptors d;
        d.nChannel = c;
        MeasureLine(d, song, byChannel[c], onsets[c], last > first ? last - first : 0);
        const double share = static_cast<double>(onsets[c].size()) / static_cast<double>(busiest);
        d[D::OnsetShare] = share;
        d[D::FewOnsets] = std::max(0.0, 0.25 - share) * 4;
        d[D::TopShare] = static_cast<double>(top[c]) / static_cast<double>(onsets[c].size());
        MeasureRepetition(d, song, onsets[c]);
        MeasureSinging(d, song, onsets[c], times[c], first, last > first ? last - first : 0);
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
    Relate(channels, D::Ostinato, D::RelOstinato);
    for (MelodyChannelDescriptors& c : channels)
        c[D::HighestLine] = c[D::RelMeanPitch] == 1.0 || channels.size() == 1 ? 1 : 0;
    std::vector<MelodyPairMeasures> pairs =
        MeasurePairs(channels, onsets, times, 2 * together, first, last > first ? last - first : 0);
    return MelodySongDescriptors{std::move(channels), std::move(pairs)};
}

std::vector<MelodyChannelDescriptors> DescribeMelodyChannels(const CSongNotes& song)
{
    return DescribeMelodySong(song).channels;
}

void AddRivalDescriptors(std::vector<MelodyChannelDescriptors>& channels, const std::vector<MelodyPairMeasures>& pairs,
                         const std::array<double, kMelodyDescriptorCount>& firstLook)
{
    const std::size_t n = channels.size();
    std::vector<double> look;
    for (const MelodyChannelDescriptors& c : channels) {
        double z = 0;
        for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k)
            z += firstLook[k] * c.dValues[k];
        look.push_back(z);
    }
    const std::vector<MelodyChannelDescriptors> measured = channels;
    for (std::size_t i = 0; i < n && n > 1; ++i) {
        std::size_t r = i == 0 ? 1 : 0;
        for (std::size_t j = 0; j < n; ++j)
            if (j != i && look[j] > look[r])
                r = j;
        MelodyChannelDescriptors& d = channels[i];
        const MelodyChannelDescriptors& rival = measured[r];
        d[D::RivalLead] = std::clamp(look[i] - look[r], -8.0, 8.0);
        if (!pairs.empty()) {
            d[D::RivalInRests] = pairs[r * n + i].dInOtherRests;
            d[D::InRivalRests] = pairs[i * n + r].dInOtherRests;
            d[D::SameOnsets] = pairs[i * n + r].dSameOnsets;
            d[D::OwnParts] = pairs[i * n + r].dOwnParts;
            d[D::RivalOwnParts] = pairs[r * n + i].dOwnParts;
        }
        const auto versus = [&](D to, D from) { d[to] = measured[i][from] - rival[from]; };
        versus(D::VsLeapShare, D::LeapShare);
        d[D::VsStepShare] = measured[i][D::StepShare] + measured[i][D::RepeatShare] - rival[D::StepShare] -
                            rival[D::RepeatShare];
        versus(D::VsVoiceRange, D::VoiceRange);
        versus(D::VsFastShare, D::FastShare);
        versus(D::VsPhraseNotes, D::PhraseNotes);
        versus(D::VsMeanPitch, D::MeanPitch);
        versus(D::VsDensity, D::Density);
        versus(D::VsLateStart, D::LateStart);
        versus(D::VsHeldEnds, D::HeldEnds);
        versus(D::VsOffBeatShare, D::OffBeatShare);
        versus(D::VsSingleShare, D::SingleShare);
        versus(D::VsMeanLength, D::MeanLength);
        versus(D::VsRhythmVariety, D::RhythmVariety);
        versus(D::VsOstinato, D::Ostinato);
        versus(D::VsFigureVariety, D::FigureVariety);
    }
}
