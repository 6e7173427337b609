// The melody finder and the faithful capture on a long, dense song: both run once
// per song opened or recording stopped, so milliseconds are the budget, far below
// the real time a live recording of the song takes.

#include <benchmark/benchmark.h>

#include "engine/capture/FaithfulCapture.h"
#include "melody/MelodyFinder.h"
#include "song/MidiSong.h"
#include "song/SongNotes.h"
#include "tests/support/MidiBytes.h"

namespace {

constexpr std::uint16_t kDivision = 480;
constexpr int kSeconds = 600;

// Ten minutes at 120 beats per minute: a tune in eighths on channel 1, three-note
// chords on 2, a bass in quarters on 3, sixteenth-note arpeggios on 4 to 9 and a
// drum beat on 10: about 36,000 notes.
Bytes LongSong()
{
    std::vector<CTrackBytes> tracks(10);
    tracks[0].Tempo(0, 500000).Program(0, 0, 73);
    const int eighths = kSeconds * 4;
    for (int i = 0; i < eighths; ++i) {
        const int note = 64 + (i * 5) % 12;
        tracks[0].On(0, 0, note).Off(kDivision / 2, 0, note);
        if (i % 8 == 0) {
            tracks[1].On(0, 1, 55).On(0, 1, 59).On(0, 1, 62).Off(4 * kDivision, 1, 55).Off(0, 1, 59).Off(0, 1, 62);
        }
        if (i % 2 == 0)
            tracks[2].On(0, 2, 36 + i % 7).Off(kDivision, 2, 36 + i % 7);
        for (int c = 3; c < 9; ++c)
            tracks[static_cast<std::size_t>(c)]
                .On(0, c, 50 + (i + c) % 20).Off(kDivision / 4, c, 50 + (i + c) % 20)
                .On(0, c, 55 + (i + c) % 20).Off(kDivision / 4, c, 55 + (i + c) % 20);
        tracks[9].On(0, 9, 36 + i % 3).Off(kDivision / 2, 9, 36 + i % 3);
    }
    for (CTrackBytes& t : tracks)
        t.End();
    return SmfBytes(kDivision, tracks);
}

const CMidiSong& Song()
{
    static CMidiSong song;
    static const bool loaded = (LoadSong(song, LongSong()), true);
    (void)loaded;
    return song;
}

void BM_IndexTheNotes(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(CSongNotes(Song()).Notes().size());
    state.counters["notes"] = static_cast<double>(CSongNotes(Song()).Notes().size());
}
BENCHMARK(BM_IndexTheNotes)->Unit(benchmark::kMillisecond);

void BM_RankTheChannels(benchmark::State& state)
{
    const CSongNotes notes(Song());
    for (auto _ : state)
        benchmark::DoNotOptimize(RankMelodyChannels(notes));
}
BENCHMARK(BM_RankTheChannels)->Unit(benchmark::kMillisecond);

void BM_FaithfulCaptureOfTheWholeSong(benchmark::State& state)
{
    const CSongNotes notes(Song());
    FaithfulCaptureOptions options;
    options.bChannelOn.fill(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(CaptureFaithful(notes, options).nNotes);
}
BENCHMARK(BM_FaithfulCaptureOfTheWholeSong)->Unit(benchmark::kMillisecond);

void BM_FaithfulCaptureOf20SecondsOfTheTune(benchmark::State& state)
{
    const CSongNotes notes(Song());
    FaithfulCaptureOptions options;
    options.bChannelOn.fill(false);
    options.bChannelOn[0] = true;
    options.qwFromTick = notes.TickAtSliderSecond(300);
    options.qwToTick = notes.TickAfterSeconds(options.qwFromTick, 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(CaptureFaithful(notes, options).nNotes);
}
BENCHMARK(BM_FaithfulCaptureOf20SecondsOfTheTune)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
