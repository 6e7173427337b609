// The engine's costs: one 5 ms tick of a dense 16-track song (the budget is the
// whole 5 ms), and an offline recording of a three-minute song against real time.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "engine/capture/OfflineRecorder.h"
#include "engine/sequencer/ManualClock.h"
#include "engine/sequencer/MidiEngine.h"
#include "engine/sequencer/SilentMidiOutput.h"
#include "song/MidiSong.h"
#include "tests/support/MidiBytes.h"

namespace {

constexpr std::uint16_t kDivision = 480;

// 16 tracks, one per channel, each playing sixteenth notes with a controller
// every bar: `seconds` long at 120 beats per minute.
Bytes DenseSong(int seconds)
{
    std::vector<CTrackBytes> tracks;
    const int sixteenths = seconds * 8;
    for (int t = 0; t < 16; ++t) {
        CTrackBytes track;
        if (t == 0)
            track.Tempo(0, 500000);
        track.Program(0, t, t * 8);
        for (int i = 0; i < sixteenths; ++i) {
            const int note = 48 + (i * 7 + t * 3) % 40;
            if (i % 16 == 0)
                track.Control(0, t, 7, 100 - i % 20);
            track.On(0, t, note, 90).Off(kDivision / 4, t, note);
        }
        tracks.push_back(track.End());
    }
    return SmfBytes(kDivision, tracks);
}

void BM_TickOfADense16TrackSong(benchmark::State& state)
{
    CMidiSong song;
    LoadSong(song, DenseSong(30));
    CSilentMidiOutput output;
    CManualClock clock;
    CMidiEngine engine(output, clock);
    std::array<std::string, 16> names;
    std::uint32_t seconds = 0;
    // An observer as the form has one, counting what each tick plays.
    std::uint64_t events = 0;
    if (!engine.OpenDevice([&](const CMidiMessage&) { ++events; }) ||
        engine.Prepare(song, names, seconds, false) != PrepareResult::kOk) {
        state.SkipWithError("the song does not play");
        return;
    }
    engine.Seek(0);
    (void)engine.StartClock();
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        clock.Step(1);
        ++ticks;
        if (engine.AllTracksEnded()) {
            state.PauseTiming();
            engine.StopClock();
            engine.Seek(0);
            (void)engine.StartClock();
            state.ResumeTiming();
        }
    }
    state.counters["events/tick"] = static_cast<double>(events) / static_cast<double>(ticks);
    state.SetItemsProcessed(static_cast<std::int64_t>(ticks));
}
BENCHMARK(BM_TickOfADense16TrackSong)->Unit(benchmark::kMicrosecond);

// CPU time of this thread: a tick preempted by another program is not slower.
double ThreadCpuMicroseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

// Every tick of the song timed one by one: the busy ticks, where all 16 tracks
// start and end notes together, are the ones the 5 ms budget is about.
void BM_SlowestTicksOfADense16TrackSong(benchmark::State& state)
{
    CMidiSong song;
    LoadSong(song, DenseSong(30));
    CSilentMidiOutput output;
    CManualClock clock;
    CMidiEngine engine(output, clock);
    std::array<std::string, 16> names;
    std::uint32_t seconds = 0;
    if (!engine.OpenDevice([](const CMidiMessage&) {}) ||
        engine.Prepare(song, names, seconds, false) != PrepareResult::kOk) {
        state.SkipWithError("the song does not play");
        return;
    }
    std::vector<double> us;
    for (auto _ : state) {
        engine.Seek(0);
        (void)engine.StartClock();
        while (!engine.AllTracksEnded()) {
            const double start = ThreadCpuMicroseconds();
            clock.Step(1);
            us.push_back(ThreadCpuMicroseconds() - start);
        }
        engine.StopClock();
    }
    std::sort(us.begin(), us.end());
    state.counters["p99_us"] = us[us.size() * 99 / 100];
    state.counters["p999_us"] = us[us.size() * 999 / 1000];
    state.counters["max_us"] = us.back();
}
BENCHMARK(BM_SlowestTicksOfADense16TrackSong)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OfflineRecordingOfAThreeMinuteSong(benchmark::State& state)
{
    CMidiSong song;
    LoadSong(song, DenseSong(180));
    OfflineRecordOptions options;
    options.bChannelOn.fill(false);
    options.bChannelOn[0] = true;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        OfflineRecording out;
        COfflineRecorder recorder;
        if (!recorder.Record(song, options, out)) {
            state.SkipWithError(recorder.LastError().c_str());
            return;
        }
        benchmark::DoNotOptimize(out.strRtttl.data());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    // Playing time recorded per second of work.
    state.counters["x_real_time"] = 180.0 * static_cast<double>(state.iterations()) / seconds;
}
BENCHMARK(BM_OfflineRecordingOfAThreeMinuteSong)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
