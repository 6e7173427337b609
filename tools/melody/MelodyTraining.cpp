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

// Whether `c` may be the second melody beside the tune: a line of its own, mostly
// one note at a time, above the bass, with at least a quarter of the tune's onsets.
bool IsSecondMelody(const MelodyChannelDescriptors& c, const MelodyChannelDescriptors& tune,
                    const std::vector<int>& tuneChannels)
{
    using D = MelodyDescriptor;
    return !IsTuneChannel(tuneChannels, c.nChannel) &&
           c[D::SingleShare] >= kSecondSingleShare && c[D::MeanPitch] * 12 + 60 >= kSecondLowestPitch &&
           c[D::OnsetShare] >= kSecondShareOfTune * tune[D::OnsetShare];
}

} // namespace

bool IsTuneChannel(const std::vector<int>& tuneChannels, int channel)
{
    return std::find(tuneChannels.begin(), tuneChannels.end(), channel) != tuneChannels.end();
}

std::array<double, CSongNotes::kChannels> ChannelMeanPitches(const CSongNotes& notes)
{
    std::array<double, CSongNotes::kChannels> sum{};
    std::array<int, CSongNotes::kChannels> count{};
    for (const SongNote& n : notes.Notes()) {
        sum[n.byChannel] += n.byPitch;
        ++count[n.byChannel];
    }
    for (std::size_t c = 0; c < sum.size(); ++c)
        sum[c] = count[c] ? sum[c] / count[c] : 0;
    return sum;
}

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

std::uint32_t PlayedSeedOf(const std::string& path)
{
    return SeedOf(path) + 1;
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
            MelodySongDescriptors played = DescribeMelodySong(AsPlayed(three.notes, PlayedSeedOf(label.strPath)));
            loaded.playedLines = DescribedSong{std::move(played.channels), std::move(played.pairs), {three.nTune}};
        }
        songs.push_back(std::move(loaded));
    }
    return true;
}
