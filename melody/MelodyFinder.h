#pragma once
// Ranks the channels of a song by how likely each carries the tune, judged from
// the music (melody/MelodyDescriptors: how often one note sounds alone, the
// register and its place among the other channels, steps and leaps, density,
// rhythm, coverage, how often the channel is the top line, phrasing and where in
// the song it plays), whatever the instruments, through a model learned from
// labelled songs (melody/MelodyModel.inc).
// Channel 10 (General MIDI percussion) never carries it. Track names such as
// "Melody" or "Lead" may raise a score; the ranking works without any.

#include <array>
#include <string>
#include <vector>

#include "melody/MelodyDescriptors.h"

class CSongNotes;

struct MelodyCandidate {
    int nChannel = 0;      // 0-15
    double dScore = 0;     // 0..1, higher is more likely the tune
    std::string strLabel;  // the channel label, "#04 PIPE/Flute"
    // Plays the first-ranked channel's line along (melody/SameLine): the same tune,
    // so never its runner-up. False for the first itself.
    bool bPlaysFirstsLine = false;
};

struct MelodyFinderOptions {
    bool bUseTrackNames = true;
};

// The model: a channel's strength is a weighted sum of its descriptors plus a few
// hidden units, each a weighted sum squashed by tanh, which let one measure count
// differently by another (many steps mean a voice only in a line that also
// breathes between phrases). Before it a first look, a plain weighted sum, names
// each channel's rival, so that the descriptors can set the channel beside the one
// line it is most likely confused with. Its score is its share of e^strength over the song's
// melodic channels, so the scores of one song add up to 1 and compare with each other.
inline constexpr std::size_t kMelodyHiddenUnits = 20;

struct MelodyWeights {
    // The first look, a weighted sum of the descriptors without the rival ones,
    // picks each channel's rival (AddRivalDescriptors).
    std::array<double, kMelodyDescriptorCount> firstLook{};
    std::array<double, kMelodyDescriptorCount> linear{};
    std::array<std::array<double, kMelodyDescriptorCount>, kMelodyHiddenUnits> hidden{};
    std::array<double, kMelodyHiddenUnits> hiddenBias{};
    std::array<double, kMelodyHiddenUnits> output{};
};
// The numbers of the table, in the order firstLook, linear, hidden (unit by unit), hiddenBias, output.
inline constexpr std::size_t kMelodyModelSize =
    2 * kMelodyDescriptorCount + kMelodyHiddenUnits * (kMelodyDescriptorCount + 2);

// A channel's strength under the weights.
[[nodiscard]] double MelodyStrength(const MelodyChannelDescriptors& d, const MelodyWeights& weights);

// The weights the program ships, learned by tools/melody/train_melody.
[[nodiscard]] const MelodyWeights& MelodyModelWeights();

// Every channel that has notes, best first (ties: lower channel first); channel 10
// comes last with the score 0. Empty when the song has no notes.
[[nodiscard]] std::vector<MelodyCandidate> RankMelodyChannels(const CSongNotes& notes,
                                                              const MelodyFinderOptions& options = {});
// The same with other weights (what the trainer and the evaluation try).
[[nodiscard]] std::vector<MelodyCandidate> RankMelodyChannels(const CSongNotes& notes,
                                                              const MelodyFinderOptions& options,
                                                              const MelodyWeights& weights);

// The runner-up of a ranking: the best channel after the first that plays another
// line than the first (a channel doubling the first offers the same tune again).
// Null when there is none, or only the drums.
[[nodiscard]] const MelodyCandidate* MelodyRunnerUp(const std::vector<MelodyCandidate>& ranked);

// True when the runner-up is close enough to the first that either may carry the
// tune: its score is at least kMelodyCloseRatio of the first's
// (leave one source out over 6,602 songs, that marks about 4 % of the songs and
// half the misses; at 0.2, 7 % and 65 %). False without a runner-up.
constexpr double kMelodyCloseRatio = 0.4;
[[nodiscard]] bool MelodyRunnerUpIsClose(const std::vector<MelodyCandidate>& ranked);
