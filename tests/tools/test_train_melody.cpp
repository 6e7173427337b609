#include <gtest/gtest.h>

#include <vector>

#include "melody/MelodyFinder.h"
#include "tools/melody/MelodyTraining.h"

namespace {

// Songs of three channels where only the tune moves by steps and only it sounds
// through the song; the other measures are noise the model must not lean on.
std::vector<TrainingSong> Songs(int count, unsigned seed)
{
    std::vector<TrainingSong> songs;
    unsigned noise = seed;
    const auto next = [&] {
        noise = noise * 1103515245u + 12345u;
        return static_cast<double>((noise >> 16) % 1000) / 1000.0;
    };
    for (int s = 0; s < count; ++s) {
        TrainingSong song;
        song.tuneChannels = {s % 3};
        for (int c = 0; c < 3; ++c) {
            MelodyChannelDescriptors d;
            d.nChannel = c;
            for (double& v : d.dValues)
                v = next();
            const bool tune = c == s % 3;
            d[MelodyDescriptor::StepShare] = tune ? 0.7 + 0.3 * next() : 0.5 * next();
            d[MelodyDescriptor::PartShare] = tune ? 0.8 + 0.2 * next() : 0.6 * next();
            song.channels.push_back(d);
        }
        songs.push_back(song);
    }
    return songs;
}

TEST(TrainMelody, LearnsWhatTellsTheTuneAndGivesTheSameWeightsEachTime)
{
    const std::vector<TrainingSong> songs = Songs(60, 1);
    const MelodyWeights weights = TrainMelodyWeights(songs, kMelodyRidge);
    for (const TrainingSong& fresh : Songs(90, 2)) {
        int best = 0;
        for (int c = 1; c < 3; ++c)
            if (MelodyStrength(fresh.channels[c], weights) > MelodyStrength(fresh.channels[best], weights))
                best = c;
        EXPECT_EQ(best, fresh.tuneChannels[0]);
    }
    const MelodyWeights again = TrainMelodyWeights(songs, kMelodyRidge);
    EXPECT_EQ(again.linear, weights.linear);
    EXPECT_EQ(again.hidden, weights.hidden);
    EXPECT_EQ(again.output, weights.output);
}

} // namespace
