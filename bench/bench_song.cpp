// Loading a large Standard MIDI File: throughput and memory per event.

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "song/ByteOrder.h"
#include "song/MidiArchive.h"
#include "song/MidiSong.h"

namespace {

// A 16-track file of about `bytes` bytes: notes with running status, controllers,
// program changes and the odd text event, as dense songs have them.
std::vector<std::uint8_t> MakeFile(std::size_t bytes)
{
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> pick(0, 99), data(0, 127), delta(0, 240);
    const std::size_t perTrack = bytes / 16;
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 16, 0x01, 0xE0};
    for (int t = 0; t < 16; ++t) {
        std::vector<std::uint8_t> body;
        std::uint8_t running = 0;
        while (body.size() < perTrack) {
            std::uint8_t v[4];
            std::uint32_t n = EncodeVarLen(static_cast<std::uint32_t>(delta(rng)), v);
            body.insert(body.end(), v, v + n);
            int p = pick(rng);
            if (p < 2) {
                body.insert(body.end(), {0xFF, 0x01, 8, 'l', 'y', 'r', 'i', 'c', ' ', 'x', 'y'});
                running = 0;
                continue;
            }
            std::uint8_t status = static_cast<std::uint8_t>((p < 85 ? 0x90 : p < 97 ? 0xB0 : 0xC0) | t);
            if (status != running)
                body.push_back(status);
            running = status;
            body.push_back(static_cast<std::uint8_t>(data(rng)));
            if ((status & 0xF0) != 0xC0)
                body.push_back(static_cast<std::uint8_t>(data(rng)));
        }
        body.insert(body.end(), {0, 0xFF, 0x2F, 0});
        std::uint32_t len = SwapLong(static_cast<std::uint32_t>(body.size()));
        const auto* l = reinterpret_cast<const std::uint8_t*>(&len);
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        file.insert(file.end(), l, l + 4);
        file.insert(file.end(), body.begin(), body.end());
    }
    return file;
}

std::size_t CountEvents(const CMidiSong& song)
{
    std::size_t n = 0;
    for (const CMidiTrack* t = song.GetTrackList().GetFirstTrack(); t; t = t->m_pNext)
        n += t->CountEvents();
    return n;
}

void LoadFromFile(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes = MakeFile(10 * 1024 * 1024);
    const char* path = "/tmp/zorvattone-bench-song.mid";
    std::FILE* f = std::fopen(path, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    std::size_t events = 0;
    double bytesPerEvent = 0;
    for (auto _ : state) {
        std::size_t before = mallinfo2().uordblks;
        auto song = std::make_unique<CMidiSong>();
        CMidiArchive ar(path, CMidiArchive::Mode::Load);
        song->Serialize(ar);
        benchmark::DoNotOptimize(song.get());
        state.PauseTiming(); // freeing the song is not part of loading it
        events = CountEvents(*song);
        bytesPerEvent = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(events);
        song.reset();
        state.ResumeTiming();
    }
    std::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["events"] = static_cast<double>(events);
    state.counters["heap_bytes_per_event"] = bytesPerEvent;
}

} // namespace

BENCHMARK(LoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
