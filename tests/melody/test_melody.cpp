#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numeric>
#include <set>

#include "melody/MelodyDescriptors.h"
#include "melody/MelodyFinder.h"
#include "song/SongNotes.h"
#include "tests/support/MidiBytes.h"

namespace {

constexpr std::uint32_t Q = 96;

// A stepwise tune with a varied rhythm, on `channel` with `program`, `up` semitones up.
CTrackBytes Tune(int channel, int program, int up = 0)
{
    CTrackBytes t;
    t.Program(0, channel, program);
    const int pitches[] = {64, 64, 65, 67, 67, 65, 64, 62, 60, 60, 62, 64, 64, 62, 62, 69, 67, 65, 64, 62};
    const std::uint32_t lengths[] = {Q, Q, Q, Q, Q / 2, Q / 2, Q, Q, Q, Q, Q, Q, 3 * Q / 2, Q / 2, 2 * Q,
                                     Q / 2, Q / 2, Q, Q, 2 * Q};
    for (int bar = 0; bar < 3; ++bar)
        for (std::size_t i = 0; i < std::size(pitches); ++i)
            t.On(0, channel, pitches[i] + up).Off(lengths[i], channel, pitches[i] + up);
    return t.End();
}

// Held three-note chords, a bass line of leaps, and a drum beat.
CTrackBytes Accompaniment()
{
    CTrackBytes t;
    t.Program(0, 1, 48).Program(0, 2, 33);
    for (int bar = 0; bar < 15; ++bar) {
        const int root = (bar % 2) ? 55 : 48;
        t.On(0, 1, root).On(0, 1, root + 4).On(0, 1, root + 7);
        t.On(0, 2, root - 24).On(0, 9, 36);
        t.Off(Q, 2, root - 24).Off(0, 9, 36).On(0, 2, root - 17).On(0, 9, 38);
        t.Off(Q, 2, root - 17).Off(0, 9, 38).On(0, 2, root - 12);
        t.Off(2 * Q, 2, root - 12).Off(0, 1, root).Off(0, 1, root + 4).Off(0, 1, root + 7);
    }
    return t.End();
}

std::vector<int> Ranking(const std::vector<CTrackBytes>& tracks, MelodyFinderOptions options = {})
{
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), tracks);
    std::vector<int> channels;
    for (const MelodyCandidate& c : RankMelodyChannels(CSongNotes(song), options)) {
        EXPECT_GE(c.dScore, 0.0);
        EXPECT_LE(c.dScore, 1.0);
        channels.push_back(c.nChannel + 1);
    }
    return channels;
}

TEST(MelodyFinder, PutsTheTuneBeforeChordsAndBassAndTheDrumsLast)
{
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), {Accompaniment(), Tune(3, 73)});
    const std::vector<MelodyCandidate> ranked = RankMelodyChannels(CSongNotes(song));
    ASSERT_EQ(ranked.size(), 4u);
    EXPECT_EQ(ranked[0].nChannel, 3);
    EXPECT_EQ(ranked[0].strLabel, "#04 PIPE/Flute");
    EXPECT_EQ(ranked[3].nChannel, 9);
    EXPECT_EQ(ranked[3].dScore, 0.0);
    // The tune found by its music, not by its instrument, nor by being the top line.
    EXPECT_EQ(Ranking({Accompaniment(), Tune(5, 0)})[0], 6);
    EXPECT_EQ(Ranking({Accompaniment(), Tune(5, 0)}, {.bUseTrackNames = false})[0], 6);
}

// A sung line: phrases of stepwise notes and repeated ones in a singer's range,
// a breath after each, from the second bar to the end.
CTrackBytes SungLine(int channel)
{
    CTrackBytes t;
    const int phrase[] = {64, 64, 65, 67, 67, 65, 64, 62, 62, 60};
    const std::uint32_t lengths[] = {Q / 2, Q / 2, Q / 2, Q / 2, Q, Q / 2, Q / 2, Q / 2, Q / 2, 2 * Q};
    std::uint32_t wait = 4 * Q; // the intro
    for (int i = 0; i < 7; ++i) {
        for (std::size_t n = 0; n < std::size(phrase); ++n) {
            t.On(wait, channel, phrase[n] + (i % 2) * 2).Off(lengths[n], channel, phrase[n] + (i % 2) * 2);
            wait = 0;
        }
        wait = Q; // a breath
    }
    return t.End();
}

// An instrument's second melody, on no program of its own: the intro, then fast leaping
// fills wherever the voice holds its last note or breathes; more notes than the voice.
CTrackBytes SecondLine(int channel)
{
    CTrackBytes t;
    const int fill[] = {72, 79, 84, 76, 88, 79, 72, 67, 76, 84, 91, 79};
    const auto play = [&](std::uint32_t wait) {
        for (std::size_t n = 0; n < std::size(fill); ++n)
            t.On(n ? 0 : wait, channel, fill[n]).Off(Q / 4, channel, fill[n]);
    };
    play(0); // the intro: three bars of runs, then a bar of rest
    play(0);
    play(0);
    std::uint32_t wait = Q + 6 * Q;
    for (int i = 0; i < 7; ++i) {
        play(wait);
        wait = 6 * Q;
    }
    return t.End();
}

TEST(MelodyFinder, TakesTheSungLineOverALeapingSecondMelodyThatPlaysMore)
{
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), {Accompaniment(), SungLine(4), SecondLine(5)});
    const CSongNotes notes(song);
    std::size_t sung = 0;
    std::size_t second = 0;
    for (const SongNote& n : notes.Notes()) {
        sung += n.byChannel == 4 ? 1 : 0;
        second += n.byChannel == 5 ? 1 : 0;
    }
    ASSERT_GT(second, sung);
    const std::vector<MelodyCandidate> ranked = RankMelodyChannels(notes, {.bUseTrackNames = false});
    ASSERT_GE(ranked.size(), 2u);
    EXPECT_EQ(ranked[0].nChannel, 4);
    EXPECT_EQ(ranked[1].nChannel, 5);
}

TEST(MelodyDescriptors, SetEachLineBesideItsRival)
{
    using D = MelodyDescriptor;
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), {Accompaniment(), SungLine(4), SecondLine(5)});
    MelodySongDescriptors described = DescribeMelodySong(CSongNotes(song));
    ASSERT_EQ(described.channels.size(), 4u);
    // A first look that ranks the channels by their pitch: the two lines are each
    // other's rival, and the chords' rival is the highest line.
    std::array<double, kMelodyDescriptorCount> firstLook{};
    firstLook[static_cast<std::size_t>(D::MeanPitch)] = 1;
    AddRivalDescriptors(described.channels, described.pairs, firstLook);
    const MelodyChannelDescriptors& chords = described.channels[0];
    const MelodyChannelDescriptors& sung = described.channels[2];
    const MelodyChannelDescriptors& second = described.channels[3];
    ASSERT_EQ(sung.nChannel, 4);
    ASSERT_EQ(second.nChannel, 5);
    EXPECT_LT(sung[D::RivalLead], 0.0);
    EXPECT_EQ(sung[D::RivalLead], -second[D::RivalLead]);
    EXPECT_EQ(sung[D::InRivalRests], second[D::RivalInRests]);
    EXPECT_EQ(sung[D::OwnParts], second[D::RivalOwnParts]);
    EXPECT_GT(sung[D::InRivalRests], 0.0);
    EXPECT_LT(sung[D::InRivalRests], 1.0);
    // The voice moves by steps and holds its phrase ends; the second melody leaps.
    EXPECT_GT(sung[D::VsStepShare], 0.5);
    EXPECT_EQ(sung[D::VsStepShare], -second[D::VsStepShare]);
    EXPECT_LT(sung[D::VsLeapShare], 0.0);
    EXPECT_EQ(sung[D::VsHeldEnds], 1.0);
    EXPECT_EQ(chords[D::VsMeanPitch], chords[D::MeanPitch] - second[D::MeanPitch]);
    // Alone, a channel has no rival.
    MelodySongDescriptors alone = DescribeMelodySong(CSongNotes(song));
    alone.channels.resize(1);
    alone.pairs.clear();
    AddRivalDescriptors(alone.channels, alone.pairs, firstLook);
    EXPECT_EQ(alone.channels[0][D::RivalLead], 0.0);
    EXPECT_EQ(alone.channels[0][D::VsStepShare], 0.0);
}

std::vector<MelodyCandidate> Ranked(const std::vector<CTrackBytes>& tracks)
{
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), tracks);
    return RankMelodyChannels(CSongNotes(song), {.bUseTrackNames = false});
}

TEST(MelodyFinder, ScoresShareOneSongAndSayWhenTheRunnerUpIsClose)
{
    const std::vector<MelodyCandidate> clear = Ranked({Accompaniment(), Tune(3, 73)});
    double total = 0;
    for (const MelodyCandidate& c : clear)
        total += c.dScore;
    EXPECT_NEAR(total, 1.0, 1e-9);
    EXPECT_FALSE(MelodyRunnerUpIsClose(clear));
    // The same tune on two channels, the second an octave up: one tune, so the
    // runner-up is the next other line, far behind.
    const std::vector<MelodyCandidate> doubled = Ranked({Accompaniment(), Tune(3, 73), Tune(5, 73, 12)});
    ASSERT_GE(doubled.size(), 3u);
    EXPECT_EQ(std::set<int>({doubled[0].nChannel, doubled[1].nChannel}), std::set<int>({3, 5}));
    EXPECT_TRUE(doubled[1].bPlaysFirstsLine);
    EXPECT_EQ(MelodyRunnerUp(doubled), &doubled[2]);
    EXPECT_FALSE(MelodyRunnerUpIsClose(doubled));
    // One melodic channel, whatever follows it (the drums' 0), has no runner-up.
    CTrackBytes drums;
    drums.On(0, 9, 36).Off(Q, 9, 36);
    const std::vector<MelodyCandidate> alone = Ranked({Tune(3, 73), drums.End()});
    ASSERT_EQ(alone.size(), 2u);
    EXPECT_EQ(alone[0].dScore, 1.0);
    EXPECT_FALSE(MelodyRunnerUpIsClose(alone));
    EXPECT_FALSE(MelodyRunnerUpIsClose({}));
}

std::vector<MelodyChannelDescriptors> Described(const std::vector<CTrackBytes>& tracks)
{
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), tracks);
    return DescribeMelodyChannels(CSongNotes(song));
}

TEST(MelodyDescriptors, MeasureEachMelodicChannelAndPlaceItAmongTheOthers)
{
    using D = MelodyDescriptor;
    const std::vector<MelodyChannelDescriptors> all = Described({Accompaniment(), Tune(3, 73)});
    ASSERT_EQ(all.size(), 3u); // the drums left out
    const MelodyChannelDescriptors& chords = all[0];
    const MelodyChannelDescriptors& bass = all[1];
    const MelodyChannelDescriptors& tune = all[2];
    EXPECT_EQ(chords.nChannel, 1);
    EXPECT_EQ(bass.nChannel, 2);
    EXPECT_EQ(tune.nChannel, 3);
    EXPECT_EQ(chords[D::SingleShare], 0.0);
    EXPECT_EQ(chords[D::Chords], 2.0);
    EXPECT_EQ(tune[D::SingleShare], 1.0);
    EXPECT_EQ(tune[D::Chords], 0.0);
    EXPECT_EQ(bass[D::TopShare], 0.0); // the chords always sound above it
    EXPECT_EQ(tune[D::RelMeanPitch], 1.0);
    EXPECT_EQ(bass[D::RelMeanPitch], 0.0);
    EXPECT_EQ(tune[D::HighestLine], 1.0);
    EXPECT_EQ(chords[D::HighestLine], 0.0);
    EXPECT_EQ(tune[D::RelSingleShare], 1.0);
    EXPECT_EQ(chords[D::RelSingleShare], 0.0);
    // The tune plays in every part of the song from its first note, 20 notes to a
    // phrase (it never breathes), never fast, all within a singer's range, and the
    // only melodic line: no other line sounds at its onsets.
    EXPECT_EQ(tune[D::LateStart], 0.0);
    EXPECT_NEAR(tune[D::PhraseNotes], std::log2(60.0), 1e-9);
    EXPECT_EQ(tune[D::FastShare], 0.0);
    EXPECT_EQ(tune[D::VoiceRange], 1.0);
    EXPECT_EQ(tune[D::AnswerShare], 1.0);
    EXPECT_EQ(bass[D::VoiceRange], 0.0);
    // Alone, a channel is neither above nor below the others.
    const std::vector<MelodyChannelDescriptors> alone = Described({Tune(0, 73)});
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(alone[0][D::RelMeanPitch], 0.5);
    EXPECT_EQ(alone[0][D::RelCoverage], 0.5);
    EXPECT_EQ(alone[0][D::HighestLine], 1.0);
    EXPECT_EQ(alone[0][D::TopShare], 1.0);
    EXPECT_EQ(alone[0][D::OnsetShare], 1.0);
    EXPECT_EQ(alone[0][D::FewOnsets], 0.0);
}

TEST(SongNotes, ReadsTheNotesOfEveryTrackOnOneTimeLine)
{
    CTrackBytes t;
    // A note struck again while it sounds, and one never released.
    t.On(0, 0, 60).On(Q, 0, 60).Off(Q, 0, 60).On(0, 0, 62).On(0, 0, 64).Off(0, 0, 64).End(Q);
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), {t});
    const CSongNotes notes(song);
    ASSERT_EQ(notes.Notes().size(), 3u);
    EXPECT_EQ(notes.Notes()[0].qwEnd, Q);
    EXPECT_EQ(notes.Notes()[1].qwEnd, 2 * Q);
    EXPECT_EQ(notes.Notes()[2].byPitch, 62);
    EXPECT_EQ(notes.Notes()[2].qwEnd, 3 * Q);
    EXPECT_EQ(notes.ChannelLabel(0), "#01 Unknown");
}

TEST(SongNotes, GivesEachNoteItsChannelsVolumeAndPanFromAnyTrackUntilTheChannelsAreMoved)
{
    // The mix is set on a track of its own, and turned down and panned left halfway.
    CTrackBytes mix;
    mix.Control(0, 1, 7, 80).Control(0, 1, 11, 64).Control(Q, 1, 7, 40).Control(0, 1, 10, 20).End();
    CTrackBytes t;
    t.On(0, 1, 60).Off(Q, 1, 60).On(0, 1, 62).Off(Q, 1, 62).On(0, 2, 64).Off(Q, 2, 64).End();
    CMidiSong song;
    LoadSong(song, static_cast<std::uint16_t>(Q), {mix, t});
    const CSongNotes notes(song);
    ASSERT_EQ(notes.Notes().size(), 3u);
    EXPECT_EQ(notes.Notes()[0].byVolume, 80 * 64 / 127);
    EXPECT_EQ(notes.Notes()[1].byVolume, 40 * 64 / 127);
    EXPECT_EQ(notes.Notes()[2].byVolume, kDefaultChannelVolume);
    EXPECT_EQ(notes.Notes()[0].byPan, kCentrePan);
    EXPECT_EQ(notes.Notes()[1].byPan, 20);
    EXPECT_EQ(notes.Notes()[2].byPan, kCentrePan);
    std::array<int, CSongNotes::kChannels> same{};
    std::iota(same.begin(), same.end(), 0);
    EXPECT_EQ(notes.WithChannelsMoved(same).Notes()[1].byVolume, kDefaultChannelVolume);
    EXPECT_EQ(notes.WithChannelsMoved(same).Notes()[1].byPan, kCentrePan);
}

} // namespace
