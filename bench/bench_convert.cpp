#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "convert/RingtoneConverter.h"
#include "prompt/Prompt.h"
#include "ringtone/RingtonePackage.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"

namespace {

// 255 notes over four octaves with pauses and dots; the ringtone takes the first
// 70-odd, the truncation question is answered OK and the rest is not read.
std::string LongText()
{
    const char* const tokens[] = {"8c", "16d#", "4p", "8f#.", "32a", "8g", "2a#", "4b"};
    std::string text = "Benchmark:d=4,o=5,b=140:";
    for (int i = 0; i < 255; ++i)
        text += tokens[i % 8] + std::to_string(4 + (i / 16) % 4) + ",";
    return text;
}

class CBenchDir {
public:
    CBenchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zt-bench-XXXXXX").string();
        m_strPath = ::mkdtemp(pattern.data());
    }
    ~CBenchDir() { std::filesystem::remove_all(m_strPath); }
    std::string m_strPath;
};

void BM_Convert(benchmark::State& state)
{
    const bool post = state.range(0) != 0;
    CBenchDir dir;
    CMemorySettingsStore settings;
    settings.SetString(kProfileSystem, kProfileTempDir, dir.m_strPath);
    CRecordingPrompt prompt; // answers OK to the truncation question
    const std::string input = LongText();
    const std::string package = post ? MakePackagePath(dir.m_strPath, 1700000000) : std::string();
    for (auto _ : state) {
        CRingtoneConverter converter(input, 96, settings, prompt);
        std::string text = input;
        if (!converter.Convert(text, package))
            state.SkipWithError("Convert failed");
        prompt.Clear();
    }
    state.SetLabel(post ? "post: preview, hex, package, compression" : "listen: preview only");
}

} // namespace

BENCHMARK(BM_Convert)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
