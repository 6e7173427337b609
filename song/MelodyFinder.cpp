#include "song/MelodyFinder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>
#include <queue>
#include <set>

#include "song/SongNotes.h"

namespace {

constexpr int kPercussionChannel = 9;
// Notes struck within a 64th of each other count as struck together.
constexpr double kTogetherQuarters = 1.0 / 16;

// What the finder measures of one channel. Shares are 0..1.
struct ChannelFeatures {
    std::size_t nNotes = 0;
    std::size_t nOnsets = 0;
    double dSingleShare = 0;   // onsets where one note alone is struck
    double dOverlapShare = 0;  // top-line notes still sounding when the next starts
    double dMeanPitch = 0;     // of the top line
    int nPitchRange = 0;       // highest minus lowest top-line pitch
    int nDistinctPitches = 0;
    double dStepShare = 0;     // top-line moves of 1 or 2 semitones
    double dLeapShare = 0;     // moves of more than 7 semitones
    double dRepeatShare = 0;   // the same pitch again
    double dOnsetsPerSecond = 0;
    double dRhythmVariety = 0; // entropy of the gaps between onsets, in bits
    double dCoverage = 0;      // share of the song's span in which the channel sounds
    double dOnsetShare = 0;    // onsets against those of the busiest melodic channel
    double dTopShare = 0;      // onsets at which no other channel sounds higher
    int nProgram = -1;
    std::string strNames;
};

struct Onset {
    std::uint64_t tick;
    int top;   // highest pitch struck
    int count; // notes struck
    std::uint64_t end; // end of the top note
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
            }
            continue;
        }
        onsets.push_back(Onset{n->qwStart, n->byPitch, 1, n->qwEnd});
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

ChannelFeatures Measure(const CSongNotes& song, const std::vector<const SongNote*>& notes,
                        const std::vector<Onset>& onsets, std::uint64_t songSpan)
{
    ChannelFeatures f;
    f.nNotes = notes.size();
    f.nOnsets = onsets.size();
    std::size_t single = 0;
    std::size_t overlaps = 0;
    double pitchSum = 0;
    int lo = 127;
    int hi = 0;
    std::set<int> distinct;
    std::size_t steps = 0;
    std::size_t leaps = 0;
    std::size_t repeats = 0;
    std::map<long, int> gaps;
    const double sixteenth = song.Division() / 4.0;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        const Onset& o = onsets[k];
        single += o.count == 1 ? 1 : 0;
        pitchSum += o.top;
        lo = std::min(lo, o.top);
        hi = std::max(hi, o.top);
        distinct.insert(o.top);
        if (k + 1 < onsets.size()) {
            const Onset& n = onsets[k + 1];
            overlaps += o.end > n.tick + static_cast<std::uint64_t>(sixteenth / 2) ? 1 : 0;
            const int move = std::abs(n.top - o.top);
            repeats += move == 0 ? 1 : 0;
            steps += (move == 1 || move == 2) ? 1 : 0;
            leaps += move > 7 ? 1 : 0;
            ++gaps[std::lround(static_cast<double>(n.tick - o.tick) / sixteenth)];
        }
    }
    const double n = static_cast<double>(onsets.size());
    const double moves = std::max(n - 1, 1.0);
    f.dSingleShare = single / n;
    f.dOverlapShare = overlaps / moves;
    f.dMeanPitch = pitchSum / n;
    f.nPitchRange = hi - lo;
    f.nDistinctPitches = static_cast<int>(distinct.size());
    f.dStepShare = steps / moves;
    f.dLeapShare = leaps / moves;
    f.dRepeatShare = repeats / moves;
    f.dRhythmVariety = onsets.size() > 1 ? Entropy(gaps, static_cast<int>(onsets.size() - 1)) : 0;
    const double seconds = song.SecondsAt(notes.back()->qwEnd) - song.SecondsAt(notes.front()->qwStart);
    f.dOnsetsPerSecond = seconds > 0 ? n / seconds : 0;
    f.dCoverage = songSpan ? static_cast<double>(SoundingTicks(notes)) / static_cast<double>(songSpan) : 0;
    return f;
}

// How far x lies outside [lo, hi], in units of `scale` (0 inside).
double Outside(double x, double lo, double hi, double scale)
{
    return x < lo ? (lo - x) / scale : (x > hi ? (x - hi) / scale : 0);
}

// The General MIDI family of a program: what its instruments usually play.
double ProgramPrior(int program)
{
    if (program < 0)
        return 0;
    switch (program / 8) {
    case 0: return 0;       // piano
    case 1: return -0.3;    // chromatic percussion
    case 2: return -0.2;    // organ
    case 3: return -0.4;    // guitar
    case 4: return -2.0;    // bass
    case 5: return program < 44 ? 0.4 : -0.6; // solo strings, then tremolo, pizzicato, harp, timpani
    case 6: return -0.5;    // ensembles and choirs
    case 7: return 0.5;     // brass
    case 8: return 0.7;     // reed
    case 9: return 0.8;     // pipe
    case 10: return 1.0;    // synth lead
    case 11: return -1.2;   // synth pad
    case 12: return -1.5;   // synth effects
    case 13: return -0.3;   // ethnic
    case 14: return -2.0;   // percussive
    default: return -2.5;   // sound effects
    }
}

bool NameHas(const std::string& lowered, std::initializer_list<const char*> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](const char* w) { return lowered.find(w) != std::string::npos; });
}

double NamePrior(const std::string& names)
{
    std::string lowered = names;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (NameHas(lowered, {"melod", "lead", "solo", "vocal", "voice", "tune", "theme", "sing"}))
        return 2.5;
    if (NameHas(lowered, {"bass", "drum", "perc", "chord", "pad", "accomp", "rhythm", "harmon", "backing"}))
        return -1.5;
    return 0;
}

double Score(const ChannelFeatures& f, const MelodyFinderOptions& options)
{
    double z = 0;
    z += 2.0 * f.dSingleShare;
    z -= 2.5 * f.dOverlapShare;
    z -= 1.2 * Outside(f.dMeanPitch, 62, 84, 6);
    z += 1.5 * f.dStepShare;
    z -= 1.5 * f.dLeapShare;
    z -= 1.0 * std::max(0.0, f.dRepeatShare - 0.4);
    z -= 0.6 * Outside(f.nPitchRange, 7, 30, 6);
    z -= 0.5 * Outside(f.nDistinctPitches, 6, 40, 3);
    z -= 0.6 * Outside(f.dOnsetsPerSecond, 1, 7, 2);
    z += 0.4 * std::min(f.dRhythmVariety, 3.0);
    z += 2.5 * std::min(f.dCoverage, 0.8);
    z -= 4.0 * std::max(0.0, 0.25 - f.dOnsetShare);
    z += 2.0 * f.dTopShare;
    z += ProgramPrior(f.nProgram);
    if (options.bUseTrackNames)
        z += NamePrior(f.strNames);
    // Centred where a channel that has something of everything sits.
    return 1.0 / (1.0 + std::exp(-(z - 3.5)));
}

} // namespace

std::vector<MelodyCandidate> RankMelodyChannels(const CSongNotes& song, const MelodyFinderOptions& options)
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
    std::vector<MelodyCandidate> ranked;
    for (int c = 0; c < 16; ++c) {
        if (byChannel[c].empty())
            continue;
        ChannelFeatures f = Measure(song, byChannel[c], onsets[c], last > first ? last - first : 0);
        f.dTopShare = static_cast<double>(top[c]) / static_cast<double>(onsets[c].size());
        f.dOnsetShare = static_cast<double>(onsets[c].size()) / static_cast<double>(busiest);
        f.nProgram = song.Program(c);
        if (options.bUseTrackNames)
            f.strNames = song.TrackNames(c);
        ranked.push_back(MelodyCandidate{c, Score(f, options), song.ChannelLabel(c)});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const MelodyCandidate& a, const MelodyCandidate& b) { return a.dScore > b.dScore; });
    const bool drums = std::any_of(song.Notes().begin(), song.Notes().end(),
                                   [](const SongNote& n) { return n.byChannel == kPercussionChannel; });
    if (drums)
        ranked.push_back(MelodyCandidate{kPercussionChannel, 0.0, song.ChannelLabel(kPercussionChannel)});
    return ranked;
}
