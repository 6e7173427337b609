#include "tools/melody/MelodyTraining.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "song/MidiSong.h"
#include "song/SongFile.h"
#include "song/SongNotes.h"

namespace {

std::vector<std::string> SplitOn(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, separator))
        fields.push_back(field);
    return fields;
}

// What makes another channel a second melody beside the tune.
constexpr double kSecondSingleShare = 0.7;
constexpr double kSecondLowestPitch = 55;
constexpr double kSecondShareOfTune = 0.25;

bool IsTune(const TrainingSong& song, int channel)
{
    return std::find(song.tuneChannels.begin(), song.tuneChannels.end(), channel) != song.tuneChannels.end();
}

// Whether `c` may be the second melody beside the tune: a line of its own, mostly
// one note at a time, above the bass, with at least a quarter of the tune's onsets.
bool IsSecondMelody(const MelodyChannelDescriptors& c, const MelodyChannelDescriptors& tune,
                    const std::vector<int>& tuneChannels)
{
    using D = MelodyDescriptor;
    return std::find(tuneChannels.begin(), tuneChannels.end(), c.nChannel) == tuneChannels.end() &&
           c[D::SingleShare] >= kSecondSingleShare && c[D::MeanPitch] * 12 + 60 >= kSecondLowestPitch &&
           c[D::OnsetShare] >= kSecondShareOfTune * tune[D::OnsetShare];
}

} // namespace

std::string TruthChannelList(const std::vector<int>& channels)
{
    std::string text;
    for (int c : channels)
        text += (text.empty() ? "" : ",") + std::to_string(c + 1);
    return text;
}

bool ReadMelodyTruth(const std::string& path, std::vector<LabelledSong>& songs, int& excluded, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("file\t", 0) == 0)
            continue;
        const std::vector<std::string> fields = SplitOn(line, '\t');
        if (fields.size() != 4 || fields[3].empty()) {
            error = "expected file, channel, how and source: " + line;
            return false;
        }
        if (fields[1] == "-") {
            ++excluded;
            continue;
        }
        LabelledSong song{fields[0], {}, fields[3]};
        for (const std::string& channel : SplitOn(fields[1], ',')) {
            const int number = std::atoi(channel.c_str());
            if (number < 1 || number > 16) {
                error = "a channel is 1-16: " + line;
                return false;
            }
            song.tuneChannels.push_back(number - 1);
        }
        if (song.tuneChannels.empty()) {
            error = "no tune channel: " + line;
            return false;
        }
        songs.push_back(song);
    }
    return true;
}

void WeighBySource(std::vector<TrainingSong>& songs, const std::vector<std::string>& sources)
{
    std::map<std::string, int> counts;
    for (const std::string& s : sources)
        ++counts[s];
    for (std::size_t i = 0; i < songs.size(); ++i)
        songs[i].dWeight = 1.0 / std::sqrt(static_cast<double>(counts[sources[i]]));
}

MelodyWeights TrainMelodyWeights(const std::vector<TrainingSong>& songs, double ridge, std::size_t hiddenUnits)
{
    constexpr std::size_t K = kMelodyDescriptorCount;
    // Standardise each descriptor over all channels, so one penalty suits all.
    std::array<double, K> mean{};
    std::array<double, K> scale{};
    std::size_t count = 0;
    for (const TrainingSong& s : songs)
        for (const MelodyChannelDescriptors& c : s.channels) {
            for (std::size_t k = 0; k < K; ++k)
                mean[k] += c.dValues[k];
            ++count;
        }
    for (double& m : mean)
        m /= std::max<std::size_t>(count, 1);
    for (const TrainingSong& s : songs)
        for (const MelodyChannelDescriptors& c : s.channels)
            for (std::size_t k = 0; k < K; ++k)
                scale[k] += (c.dValues[k] - mean[k]) * (c.dValues[k] - mean[k]);
    for (double& v : scale)
        v = std::sqrt(v / std::max<std::size_t>(count, 1));

    std::vector<const TrainingSong*> used;
    double totalWeight = 0;
    for (const TrainingSong& s : songs)
        if (s.channels.size() > 1 &&
            std::any_of(s.channels.begin(), s.channels.end(), [&](const auto& c) { return IsTune(s, c.nChannel); })) {
            used.push_back(&s);
            totalWeight += s.dWeight;
        }

    // Each used song's channels, standardised once: rows of K values, and whether each is a tune.
    struct Standardised {
        std::vector<double> x;
        std::vector<bool> tune;
        double share = 0;
    };
    std::vector<Standardised> rows;
    for (const TrainingSong* s : used) {
        Standardised r;
        r.share = s->dWeight / totalWeight;
        for (const MelodyChannelDescriptors& c : s->channels) {
            for (std::size_t k = 0; k < K; ++k)
                r.x.push_back(scale[k] > 1e-9 ? (c.dValues[k] - mean[k]) / scale[k] : 0.0);
            r.tune.push_back(IsTune(*s, c.nChannel));
        }
        rows.push_back(std::move(r));
    }

    // The parameters in one vector, in the table's order: linear, hidden, hiddenBias, output.
    const std::size_t H = std::min(hiddenUnits, kMelodyHiddenUnits);
    constexpr std::size_t kHidden = K;
    constexpr std::size_t kBias = K + kMelodyHiddenUnits * K;
    constexpr std::size_t kOutput = kBias + kMelodyHiddenUnits;
    std::vector<double> theta(kOutput + kMelodyHiddenUnits, 0.0);
    // The hidden units start from small fixed random weights, so that they differ.
    std::mt19937 random(29);
    std::normal_distribution<double> small(0.0, 0.3);
    for (std::size_t i = kHidden; i < kBias; ++i)
        theta[i] = small(random);

    // Adam on the whole set at each step: the loss is smooth and the set small.
    constexpr int kSteps = 1500;
    constexpr double kRate = 0.03;
    constexpr double kBeta1 = 0.9;
    constexpr double kBeta2 = 0.999;
    std::vector<double> moment(theta.size(), 0.0);
    std::vector<double> power(theta.size(), 0.0);
    std::vector<double> gradient(theta.size());
    std::vector<double> z;
    std::vector<double> units; // tanh of each hidden unit, channel by channel
    for (int step = 1; step <= kSteps; ++step) {
        for (std::size_t i = 0; i < theta.size(); ++i)
            gradient[i] = (i >= kBias && i < kOutput) ? 0.0 : ridge * theta[i];
        for (const Standardised& r : rows) {
            const std::size_t n = r.tune.size();
            z.assign(n, 0);
            units.assign(n * H, 0);
            double top = -HUGE_VAL;
            for (std::size_t i = 0; i < n; ++i) {
                const double* x = &r.x[i * K];
                for (std::size_t k = 0; k < K; ++k)
                    z[i] += theta[k] * x[k];
                for (std::size_t h = 0; h < H; ++h) {
                    double u = theta[kBias + h];
                    const double* row = &theta[kHidden + h * K];
                    for (std::size_t k = 0; k < K; ++k)
                        u += row[k] * x[k];
                    units[i * H + h] = std::tanh(u);
                    z[i] += theta[kOutput + h] * units[i * H + h];
                }
                top = std::max(top, z[i]);
            }
            double all = 0;
            double tune = 0;
            for (std::size_t i = 0; i < n; ++i) {
                z[i] = std::exp(z[i] - top);
                all += z[i];
                tune += r.tune[i] ? z[i] : 0;
            }
            for (std::size_t i = 0; i < n; ++i) {
                const double g = r.share * (z[i] / all - (r.tune[i] ? z[i] / tune : 0));
                const double* x = &r.x[i * K];
                for (std::size_t k = 0; k < K; ++k)
                    gradient[k] += g * x[k];
                for (std::size_t h = 0; h < H; ++h) {
                    const double t = units[i * H + h];
                    gradient[kOutput + h] += g * t;
                    const double back = g * theta[kOutput + h] * (1 - t * t);
                    gradient[kBias + h] += back;
                    double* row = &gradient[kHidden + h * K];
                    for (std::size_t k = 0; k < K; ++k)
                        row[k] += back * x[k];
                }
            }
        }
        const double fix1 = 1 - std::pow(kBeta1, step);
        const double fix2 = 1 - std::pow(kBeta2, step);
        for (std::size_t i = 0; i < theta.size(); ++i) {
            moment[i] = kBeta1 * moment[i] + (1 - kBeta1) * gradient[i];
            power[i] = kBeta2 * power[i] + (1 - kBeta2) * gradient[i] * gradient[i];
            theta[i] -= kRate * (moment[i] / fix1) / (std::sqrt(power[i] / fix2) + 1e-8);
        }
    }

    // Back to the descriptors' own units. The linear part's means add the same to
    // every channel of a song, which its shares do not feel; inside a hidden unit
    // they move its bias.
    MelodyWeights weights{};
    const auto raw = [&](double w, std::size_t k) { return scale[k] > 1e-9 ? w / scale[k] : 0.0; };
    for (std::size_t k = 0; k < K; ++k)
        weights.linear[k] = raw(theta[k], k);
    for (std::size_t h = 0; h < kMelodyHiddenUnits; ++h) {
        weights.hiddenBias[h] = theta[kBias + h];
        for (std::size_t k = 0; k < K; ++k) {
            weights.hidden[h][k] = raw(theta[kHidden + h * K + k], k);
            weights.hiddenBias[h] -= weights.hidden[h][k] * mean[k];
        }
        weights.output[h] = theta[kOutput + h];
    }
    return weights;
}

MelodyWeights TrainMelodyModel(std::vector<TrainingSong>& songs, double ridge)
{
    constexpr auto kFirstRival = static_cast<std::size_t>(MelodyDescriptor::RivalLead);
    for (TrainingSong& s : songs)
        for (MelodyChannelDescriptors& c : s.channels)
            std::fill(c.dValues.begin() + kFirstRival, c.dValues.end(), 0.0);
    const MelodyWeights first = TrainMelodyWeights(songs, ridge, 0);
    // Without its rival measures each channel's first look is its linear part.
    std::array<double, kMelodyDescriptorCount> firstLook = first.linear;
    std::fill(firstLook.begin() + kFirstRival, firstLook.end(), 0.0);
    for (TrainingSong& s : songs)
        AddRivalDescriptors(s.channels, s.pairs, firstLook);
    MelodyWeights weights = TrainMelodyWeights(songs, ridge);
    weights.firstLook = firstLook;
    return weights;
}

int SecondMelodyChannel(const std::vector<MelodyChannelDescriptors>& channels, const std::vector<int>& tuneChannels)
{
    using D = MelodyDescriptor;
    const auto tune = std::find_if(channels.begin(), channels.end(),
                                   [&](const auto& c) { return c.nChannel == tuneChannels[0]; });
    if (tune == channels.end())
        return -1;
    int best = -1;
    double bestOnsets = 0;
    for (const MelodyChannelDescriptors& c : channels)
        if (IsSecondMelody(c, *tune, tuneChannels) && c[D::OnsetShare] > bestOnsets) {
            best = c.nChannel;
            bestOnsets = c[D::OnsetShare];
        }
    return best;
}

int AnsweringMelodyChannel(const std::vector<MelodyChannelDescriptors>& channels,
                           const std::vector<MelodyPairMeasures>& pairs, const std::vector<int>& tuneChannels)
{
    const std::size_t n = channels.size();
    const auto tune = static_cast<std::size_t>(
        std::find_if(channels.begin(), channels.end(), [&](const auto& c) { return c.nChannel == tuneChannels[0]; }) -
        channels.begin());
    if (tune == n || pairs.size() != n * n)
        return -1;
    int best = -1;
    double bestInRests = -1;
    for (std::size_t i = 0; i < n; ++i) {
        const double inRests = pairs[i * n + tune].dInOtherRests;
        if (IsSecondMelody(channels[i], channels[tune], tuneChannels) && inRests > bestInRests) {
            best = channels[i].nChannel;
            bestInRests = inRests;
        }
    }
    return best;
}

ThreeLines ThreeLineArrangement(const CSongNotes& notes, const std::vector<int>& tuneChannels, int secondMelody,
                                std::uint32_t seed)
{
    std::vector<int> free;
    for (int c = 0; c < CSongNotes::kChannels; ++c)
        if (c != kPercussionChannel)
            free.push_back(c);
    std::mt19937 random(seed);
    std::shuffle(free.begin(), free.end(), random);
    std::array<int, CSongNotes::kChannels> to{};
    to.fill(free[2]); // the accompaniment
    for (const int doubling : tuneChannels)
        to[static_cast<std::size_t>(doubling)] = -1;
    to[kPercussionChannel] = -1;
    to[static_cast<std::size_t>(tuneChannels[0])] = free[0];
    to[static_cast<std::size_t>(secondMelody)] = free[1];
    return ThreeLines{notes.WithChannelsMoved(to), free[0], free[1], free[2]};
}

CSongNotes AsPlayed(const CSongNotes& notes, std::uint32_t seed)
{
    constexpr double kOnsetSpread = 0.02; // seconds
    constexpr double kFarthest = 0.06;
    std::mt19937 random(seed);
    std::normal_distribution<double> offset(0.0, kOnsetSpread);
    std::uniform_real_distribution<double> held(0.7, 1.05);
    std::normal_distribution<double> touch(0.0, 10.0);
    const double division = std::max<double>(notes.Division(), 1);
    std::vector<SongNote> played = notes.Notes();
    for (SongNote& n : played) {
        const double ticksPerSecond = division * 1e6 / notes.TempoAt(n.qwStart);
        const double start = static_cast<double>(n.qwStart) +
                             std::clamp(offset(random), -kFarthest, kFarthest) * ticksPerSecond;
        const double length = static_cast<double>(n.qwEnd - n.qwStart) * held(random);
        n.qwStart = static_cast<std::uint64_t>(std::max(0.0, std::round(start)));
        n.qwEnd = n.qwStart + std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::round(length)));
        n.byVelocity = static_cast<std::uint8_t>(std::clamp(n.byVelocity + std::round(touch(random)), 1.0, 127.0));
    }
    return notes.WithNotes(std::move(played));
}

std::uint32_t SeedOf(const std::string& path)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : path)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

bool LoadLabelledSongs(const std::string& corpus, const std::vector<LabelledSong>& labels,
                       std::vector<LoadedSong>& songs, std::string& error)
{
    for (const LabelledSong& label : labels) {
        CMidiSong song;
        SongFileError loadError;
        if (!LoadSongFile(corpus + "/" + label.strPath, song, loadError)) {
            error = loadError.strMessage;
            return false;
        }
        const CSongNotes notes(song);
        MelodySongDescriptors described = DescribeMelodySong(notes);
        LoadedSong loaded{label, std::move(described.channels), std::move(described.pairs), -1, {}, {}};
        loaded.nSecondMelody = SecondMelodyChannel(loaded.channels, label.tuneChannels);
        if (loaded.nSecondMelody >= 0) {
            const ThreeLines three =
                ThreeLineArrangement(notes, label.tuneChannels, loaded.nSecondMelody, SeedOf(label.strPath));
            MelodySongDescriptors arranged = DescribeMelodySong(three.notes);
            loaded.threeLines = DescribedSong{std::move(arranged.channels), std::move(arranged.pairs), {three.nTune}};
            MelodySongDescriptors played = DescribeMelodySong(AsPlayed(three.notes, SeedOf(label.strPath) + 1));
            loaded.playedLines = DescribedSong{std::move(played.channels), std::move(played.pairs), {three.nTune}};
        }
        songs.push_back(std::move(loaded));
    }
    return true;
}
