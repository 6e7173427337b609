#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "ringtone/LzwDecoder.h"
#include "ringtone/LzwEncoder.h"

namespace {

constexpr std::size_t kInput = 1 << 20;

std::vector<std::uint8_t> Input(int kind)
{
    std::vector<std::uint8_t> data(kInput);
    std::mt19937 rng(5);
    if (kind == 0) {
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
    } else {
        // Text-like: words of a small vocabulary, as a package's hex part repeats.
        const std::string words[] = {"ZORVATTONE ", "024A3A ", "8c5,", "4p,", "MThd", "MTrk ", "16a#6,", "b=120:"};
        std::string text;
        while (text.size() < kInput)
            text += words[rng() % 8];
        data.assign(text.begin(), text.begin() + kInput);
    }
    return data;
}

void BM_LzwCompress(benchmark::State& state)
{
    std::vector<std::uint8_t> data = Input(static_cast<int>(state.range(0)));
    std::size_t packed = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> out = LzwCompressBytes(data.data(), data.size());
        packed = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(data.size());
    state.SetLabel(state.range(0) == 0 ? "random" : "text");
}

void BM_LzwDecompress(benchmark::State& state)
{
    std::vector<std::uint8_t> data = Input(static_cast<int>(state.range(0)));
    std::vector<std::uint8_t> packed = LzwCompressBytes(data.data(), data.size());
    std::vector<std::uint8_t> out;
    std::string error;
    for (auto _ : state) {
        if (!LzwDecompress(packed.data(), packed.size(), data.size(), out, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.SetLabel(state.range(0) == 0 ? "random" : "text");
}

} // namespace

BENCHMARK(BM_LzwCompress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzwDecompress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
