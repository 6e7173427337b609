#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "melody/MelodyFinder.h"
#include "song/SongNotes.h"
#include "tests/support/MidiBytes.h"
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

    // Each song counts once, wherever the fit cuts the songs among its threads:
    // the same songs twice over, in another order, give the same weights.
    std::vector<TrainingSong> twice(songs.rbegin(), songs.rend());
    twice.insert(twice.end(), songs.begin(), songs.end());
    const MelodyWeights linear = TrainMelodyWeights(songs, kMelodyRidge, MelodyFitParts::LinearOnly);
    const MelodyWeights linearTwice = TrainMelodyWeights(twice, kMelodyRidge, MelodyFitParts::LinearOnly);
    for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k)
        EXPECT_NEAR(linearTwice.linear[k], linear.linear[k], 1e-6) << MelodyDescriptorName(MelodyDescriptor(k));
}

// A song of a tune (channel 1, doubled by channel 5), an answering line (3),
// chords (2 and 4) and drums (10), each on its own program.
CSongNotes FullArrangement()
{
    const auto line = [](int channel, int pitch, int program) {
        CTrackBytes t;
        t.Program(0, channel, program);
        for (int i = 0; i < 16; ++i)
            t.On(0, channel, pitch + i % 5).Off(48, channel, pitch + i % 5);
        return t.End();
    };
    CMidiSong song;
    LoadSong(song, 96, {line(0, 72, 73), line(4, 60, 40), line(2, 79, 56), line(1, 48, 0), line(3, 52, 0),
                        line(9, 36, 0)});
    return CSongNotes(song);
}

TEST(TrainMelody, ArrangesASongAsTuneSecondMelodyAndOneAccompaniment)
{
    const CSongNotes full = FullArrangement();
    const ThreeLines three = ThreeLineArrangement(full, {0, 4}, 2, SeedOf("a/song.mid"));
    const CSongNotes& arranged = three.notes;
    std::set<int> channels;
    std::vector<int> tunePitches, accompaniment;
    for (const SongNote& n : arranged.Notes()) {
        channels.insert(n.byChannel);
        if (n.byChannel == three.nTune)
            tunePitches.push_back(n.byPitch);
        else if (n.byPitch < 60)
            accompaniment.push_back(n.byChannel);
    }
    EXPECT_EQ(channels, (std::set<int>{three.nTune, three.nSecondMelody, three.nAccompaniment}));
    EXPECT_FALSE(channels.contains(9));
    // The tune alone on its channel, without its doubling an octave lower.
    EXPECT_EQ(tunePitches.size(), 16u);
    EXPECT_TRUE(std::all_of(tunePitches.begin(), tunePitches.end(), [](int p) { return p >= 72; }));
    // Both chord channels, and no drum, on one channel.
    EXPECT_EQ(accompaniment, std::vector<int>(32, three.nAccompaniment));
    for (int c = 0; c < CSongNotes::kChannels; ++c)
        EXPECT_EQ(arranged.Program(c), -1);

    const ThreeLines again = ThreeLineArrangement(full, {0, 4}, 2, SeedOf("a/song.mid"));
    EXPECT_EQ(again.nTune, three.nTune);
    EXPECT_EQ(again.nAccompaniment, three.nAccompaniment);
}

TEST(TrainMelody, PlaysASongInOffTheGridButKeepsItsNotes)
{
    const CSongNotes written = FullArrangement();
    const CSongNotes played = AsPlayed(written, 7);
    ASSERT_EQ(played.Notes().size(), written.Notes().size());
    std::multiset<std::pair<int, int>> writtenNotes, playedNotes;
    std::size_t moved = 0;
    for (std::size_t i = 0; i < written.Notes().size(); ++i) {
        const SongNote& n = played.Notes()[i];
        writtenNotes.emplace(written.Notes()[i].byChannel, written.Notes()[i].byPitch);
        playedNotes.emplace(n.byChannel, n.byPitch);
        EXPECT_GT(n.qwEnd, n.qwStart);
        moved += n.qwStart % 48 != 0 ? 1 : 0;
        if (i > 0) {
            EXPECT_LE(played.Notes()[i - 1].qwStart, n.qwStart); // still in time order
        }
    }
    EXPECT_EQ(playedNotes, writtenNotes);
    EXPECT_GT(moved, played.Notes().size() / 2);
    // At 120 bpm and 96 ticks a quarter, 0.06 s is 11.5 ticks.
    const auto farthest = [](const CSongNotes& song) {
        std::uint64_t last = 0;
        for (const SongNote& n : song.Notes())
            last = std::max(last, n.qwStart);
        return last;
    };
    EXPECT_LE(farthest(played), farthest(written) + 12);
    const CSongNotes again = AsPlayed(written, 7);
    for (std::size_t i = 0; i < played.Notes().size(); ++i)
        EXPECT_EQ(again.Notes()[i].qwStart, played.Notes()[i].qwStart);
}

} // namespace
