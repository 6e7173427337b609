#include "melody/MelodyFinder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <iterator>

#include "melody/SameLine.h"
#include "song/MidiChannels.h"
#include "song/SongNotes.h"

namespace {

constexpr double kModelTable[] = {
#include "melody/MelodyModel.inc"
};
static_assert(std::size(kModelTable) == kMelodyModelSize,
              "melody/MelodyModel.inc does not match the descriptors: run tools/melody/train_melody again");

constexpr MelodyWeights WeightsOf(const double (&table)[kMelodyModelSize])
{
    constexpr std::size_t K = kMelodyDescriptorCount;
    MelodyWeights weights{};
    std::size_t at = 0;
    for (std::size_t k = 0; k < K; ++k)
        weights.firstLook[k] = table[at++];
    for (std::size_t k = 0; k < K; ++k)
        weights.linear[k] = table[at++];
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h)
        for (std::size_t k = 0; k < K; ++k)
            weights.hidden[h][k] = table[at++];
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h)
        weights.hiddenBias[h] = table[at++];
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h)
        weights.output[h] = table[at++];
    return weights;
}

constexpr MelodyWeights kModelWeights = WeightsOf(kModelTable);

bool NameHas(const std::string& lowered, std::initializer_list<const char*> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](const char* w) { return lowered.find(w) != std::string::npos; });
}

// Added to the strength: a name is the composer's own word for the track.
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

} // namespace

double MelodyStrength(const MelodyChannelDescriptors& d, const MelodyWeights& weights)
{
    double z = 0;
    for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k)
        z += weights.linear[k] * d.dValues[k];
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h) {
        double unit = weights.hiddenBias[h];
        for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k)
            unit += weights.hidden[h][k] * d.dValues[k];
        z += weights.output[h] * std::tanh(unit);
    }
    return z;
}

const MelodyWeights& MelodyModelWeights()
{
    return kModelWeights;
}

std::vector<MelodyCandidate> RankMelodyChannels(const CSongNotes& song, const MelodyFinderOptions& options)
{
    return RankMelodyChannels(song, options, kModelWeights);
}

std::vector<MelodyCandidate> RankMelodyChannels(const CSongNotes& song, const MelodyFinderOptions& options,
                                                const MelodyWeights& weights)
{
    MelodySongDescriptors described = DescribeMelodySong(song);
    AddRivalDescriptors(described.channels, described.pairs, weights.firstLook);
    const std::vector<MelodyChannelDescriptors>& channels = described.channels;
    std::vector<double> strengths;
    for (const MelodyChannelDescriptors& d : channels)
        strengths.push_back(MelodyStrength(d, weights) +
                            (options.bUseTrackNames ? NamePrior(song.TrackNames(d.nChannel)) : 0.0));
    const double strongest = strengths.empty() ? 0 : *std::max_element(strengths.begin(), strengths.end());
    double total = 0;
    for (double& s : strengths) {
        s = std::exp(s - strongest);
        total += s;
    }
    std::vector<MelodyCandidate> ranked;
    for (std::size_t i = 0; i < channels.size(); ++i)
        ranked.push_back(MelodyCandidate{channels[i].nChannel, strengths[i] / total,
                                         song.ChannelLabel(channels[i].nChannel)});
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const MelodyCandidate& a, const MelodyCandidate& b) { return a.dScore > b.dScore; });
    if (!ranked.empty()) {
        const std::array<bool, kMidiChannels> along = ChannelsPlayingAlong(song, ranked[0].nChannel);
        for (MelodyCandidate& c : ranked)
            c.bPlaysFirstsLine = along[static_cast<std::size_t>(c.nChannel)];
    }
    const bool drums = std::any_of(song.Notes().begin(), song.Notes().end(),
                                   [](const SongNote& n) { return n.byChannel == kPercussionChannel; });
    if (drums)
        ranked.push_back(MelodyCandidate{kPercussionChannel, 0.0, song.ChannelLabel(kPercussionChannel)});
    return ranked;
}

const MelodyCandidate* MelodyRunnerUp(const std::vector<MelodyCandidate>& ranked)
{
    if (ranked.empty())
        return nullptr;
    const auto runnerUp = std::find_if(std::next(ranked.begin()), ranked.end(), [](const MelodyCandidate& c) {
        return !c.bPlaysFirstsLine && c.nChannel != kPercussionChannel;
    });
    return runnerUp == ranked.end() ? nullptr : &*runnerUp;
}

bool MelodyRunnerUpIsClose(const std::vector<MelodyCandidate>& ranked)
{
    const MelodyCandidate* runnerUp = MelodyRunnerUp(ranked);
    return runnerUp && runnerUp->dScore >= kMelodyCloseRatio * ranked.front().dScore;
}
