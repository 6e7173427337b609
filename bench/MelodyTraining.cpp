#include "bench/MelodyTraining.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
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

constexpr double kProgramPenalty = 10;

bool IsTune(const TrainingSong& song, int channel)
{
    return std::find(song.tuneChannels.begin(), song.tuneChannels.end(), channel) != song.tuneChannels.end();
}

// The program families are held back harder than the measures of the notes: which
// instrument carries a tune is a habit of the composer, and a model that leans on
// it fails on songs of other composers.
double PenaltyOf(std::size_t descriptor)
{
    return descriptor >= static_cast<std::size_t>(MelodyDescriptor::ProgramBass) ? kProgramPenalty : 1.0;
}

} // namespace

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

MelodyWeights TrainMelodyWeights(const std::vector<TrainingSong>& songs, double ridge)
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

    auto x = [&](const MelodyChannelDescriptors& c, std::size_t k) {
        return scale[k] > 1e-9 ? (c.dValues[k] - mean[k]) / scale[k] : 0.0;
    };
    // Plain gradient descent with momentum: the loss is convex and small.
    std::array<double, K> w{};
    std::array<double, K> velocity{};
    constexpr int kSteps = 3000;
    constexpr double kRate = 0.3;
    constexpr double kMomentum = 0.9;
    std::vector<double> z;
    for (int step = 0; step < kSteps; ++step) {
        std::array<double, K> gradient{};
        for (std::size_t k = 0; k < K; ++k)
            gradient[k] = ridge * PenaltyOf(k) * w[k];
        for (const TrainingSong* s : used) {
            z.assign(s->channels.size(), 0);
            double top = -HUGE_VAL;
            for (std::size_t i = 0; i < s->channels.size(); ++i) {
                for (std::size_t k = 0; k < K; ++k)
                    z[i] += w[k] * x(s->channels[i], k);
                top = std::max(top, z[i]);
            }
            double all = 0;
            double tune = 0;
            for (std::size_t i = 0; i < s->channels.size(); ++i) {
                const double e = std::exp(z[i] - top);
                all += e;
                tune += IsTune(*s, s->channels[i].nChannel) ? e : 0;
            }
            const double share = s->dWeight / totalWeight;
            for (std::size_t i = 0; i < s->channels.size(); ++i) {
                const double e = std::exp(z[i] - top);
                const double p = e / all;
                const double q = IsTune(*s, s->channels[i].nChannel) ? e / tune : 0;
                for (std::size_t k = 0; k < K; ++k)
                    gradient[k] += share * (p - q) * x(s->channels[i], k);
            }
        }
        for (std::size_t k = 0; k < K; ++k) {
            velocity[k] = kMomentum * velocity[k] - kRate * gradient[k];
            w[k] += velocity[k];
        }
    }
    // Back to the descriptors' own units; the means add the same to every channel
    // of a song, which its shares do not feel.
    MelodyWeights weights{};
    for (std::size_t k = 0; k < K; ++k)
        weights[k] = scale[k] > 1e-9 ? w[k] / scale[k] : 0;
    return weights;
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
        songs.push_back(LoadedSong{label, DescribeMelodyChannels(CSongNotes(song))});
    }
    return true;
}
