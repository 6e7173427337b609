// zorvattone-play: plays a Standard MIDI File through the built-in synthesizer in
// real time with a one-line progress display, or renders it to a sound file.
//
// Exit codes: 0 success, 1 the job failed (message on stderr), 2 bad usage.

#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "args/CommandArgs.h"
#include "engine/devices/SoundFontPath.h"
#include "engine/devices/SystemMidiOutput.h"
#include "engine/devices/WavRenderer.h"
#include "engine/sequencer/MidiEngine.h"
#include "engine/sequencer/RealtimeClock.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"
#include "text/Text.h"

namespace {


constexpr const char* kUsage =
    "usage: zorvattone-play [--from SECONDS] FILE.mid\n"
    "       zorvattone-play --wav OUT.wav [--from SECONDS] FILE.mid\n\n"
    "Plays FILE.mid through the built-in General MIDI synthesizer, from second\n"
    "SECONDS (default 0), showing the position on one line; Ctrl+C stops.\n"
    "With --wav, renders the song to a 16-bit stereo sound file instead, as fast as\n"
    "the machine allows and without any sound card: WAV, or FLAC or Ogg Vorbis when\n"
    "OUT ends in .flac or .ogg.\n\n"
    "The SoundFont is the file named by ZORVAT_SOUNDFONT, else the system's General\n"
    "MIDI SoundFont (fluid-soundfont-gm or timgm6mb-soundfont).\n";

// After the last event, so that the last notes ring out before the reset.
constexpr auto kRingOut = std::chrono::milliseconds(1200);
constexpr auto kDisplayPeriod = std::chrono::milliseconds(200);

volatile std::sig_atomic_t g_bInterrupted = 0;

void OnSignal(int)
{
    g_bInterrupted = 1;
}

struct PlayArgs {
    std::string strFile;
    std::string strWav;
    std::uint32_t uFrom = 0;
};

int Usage(const std::string& message)
{
    std::fprintf(stderr, "zorvattone-play: %s\n\n%s", ShownText(message, kShownMessageCharacters).c_str(), kUsage);
    return kExitUsage;
}

int Failure(const std::string& message)
{
    std::fprintf(stderr, "zorvattone-play: %s\n", ShownText(message, kShownMessageCharacters).c_str());
    return kExitFailed;
}

// 0 when parsed, else the exit code to return (help counts as done).
int ParseArgs(const std::vector<std::string>& args, PlayArgs& out, bool& help)
{
    const CCommandArgs parsed(args, {"--wav", "--from"}, {"--help"}, {{"-h", "--help"}});
    if (parsed.Flag("--help")) {
        help = true;
        return 0;
    }
    if (!parsed.Ok())
        return Usage(parsed.Error());
    out.strWav = parsed.Value("--wav").value_or("");
    if (const std::optional<std::string> from = parsed.Value("--from")) {
        long seconds = 0;
        if (!ParseWholeNumber(*from, 0, 999999, seconds))
            return Usage("--from takes a whole number of seconds, not '" + *from + "'");
        out.uFrom = static_cast<std::uint32_t>(seconds);
    }
    if (parsed.Positional().size() != 1)
        return Usage("expects exactly one FILE.mid");
    out.strFile = parsed.Positional()[0];
    return 0;
}

std::string Clock(std::uint64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

int RenderWav(const CMidiSong& song, const PlayArgs& args)
{
    WavRenderOptions options;
    options.uFromSecond = args.uFrom;
    CWavRenderer renderer;
    if (!renderer.Render(song, args.strWav, options))
        return Failure(renderer.LastError());
    return kExitOk;
}

void ShowProgress(const std::string& name, std::uint64_t at, std::uint32_t length)
{
    std::fprintf(stderr, "\r  %s / %s  %s ", Clock(at).c_str(), Clock(length).c_str(),
                 ShownText(name, kShownTokenCharacters).c_str());
    std::fflush(stderr);
}

int PlayLive(const CMidiSong& song, const PlayArgs& args)
{
    if (FindSoundFont().empty())
        return Failure("no General MIDI SoundFont found (install fluid-soundfont-gm or set ZORVAT_SOUNDFONT)");
    auto output = MakeSystemMidiOutput();
    CRealtimeClock clock;
    CMidiEngine engine(*output, clock);
    if (!engine.OpenDevice())
        return Failure("MIDI device busy ! (no sound output answers; --wav OUT.wav renders without one)");
    std::array<std::string, CMidiEngine::kChannels> names;
    std::uint32_t length = 0;
    const PrepareResult prepared = engine.Prepare(song, names, length, false);
    if (prepared != PrepareResult::kOk)
        return Failure(args.strFile + ": " + PrepareResultText(prepared));

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const bool display = ::isatty(STDERR_FILENO) != 0;
    const std::string name = std::filesystem::path(args.strFile).filename().string();
    engine.Seek(args.uFrom);
    if (!engine.StartClock())
        return Failure("the 5 ms clock does not start");
    auto endedAt = std::chrono::steady_clock::time_point::max();
    while (!g_bInterrupted) {
        const auto now = std::chrono::steady_clock::now();
        if (endedAt == std::chrono::steady_clock::time_point::max() && engine.AllTracksEnded())
            endedAt = now;
        if (now - endedAt >= kRingOut)
            break;
        if (display)
            ShowProgress(name, args.uFrom + engine.GetTickNumber() / 200, length);
        std::this_thread::sleep_for(kDisplayPeriod);
    }
    engine.StopClock();
    engine.CloseDevice();
    if (display)
        std::fprintf(stderr, "\n");
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    PlayArgs args;
    bool help = false;
    if (const int rc = ParseArgs(std::vector<std::string>(argv + 1, argv + argc), args, help); rc != 0)
        return rc;
    if (help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    CMidiSong song;
    SongFileError error;
    if (!LoadSongFile(args.strFile, song, error))
        return Failure(error.strMessage);
    return args.strWav.empty() ? PlayLive(song, args) : RenderWav(song, args);
}
