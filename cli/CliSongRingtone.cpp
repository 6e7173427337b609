#include "cli/CliSongRingtone.h"

#include <unistd.h>

#include <chrono>
#include <charconv>
#include <cstdio>
#include <filesystem>

#include "args/CommandArgs.h"
#include "cli/CliCommand.h"
#include "cli/CliToneFile.h"
#include "song/SongFile.h"
#include "songtone/SongRingtone.h"
#include "text/Text.h"

namespace {

bool ParseSeconds(const std::string& text, double most, double& out)
{
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && stop == end && out >= 1 && out <= most;
}

bool ParseChannelList(const std::string& text, std::uint16_t& mask)
{
    mask = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        long channel = 0;
        if (!ParseWholeNumber(text.substr(at, comma - at), 1, 16, channel))
            return false;
        mask = static_cast<std::uint16_t>(mask | 1u << (channel - 1));
        at = comma + 1;
    }
    return mask != 0;
}

struct CRingtoneArgs {
    std::string strSong;
    std::string strOutput;
    SongRingtoneRequest request;
    SongRingtoneOptions options;
};

int ParseArgs(const std::vector<std::string>& args, CRingtoneArgs& out)
{
    CCommandArgs parsed(args, {"--from", "--seconds", "--channels", "--output"}, {"--loop"}, {{"-o", "--output"}});
    if (!parsed.Ok())
        return CliUsageError("ringtone", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("ringtone", "expects exactly one SONG.mid");
    out.strSong = parsed.Positional()[0];
    const std::optional<std::string> output = parsed.Value("--output");
    if (!output || output->empty())
        return CliUsageError("ringtone", "needs -o OUT.m4r or -o OUT.ogg");
    out.strOutput = *output;
    const std::optional<ToneFormat> format = ToneFormatOfPath(out.strOutput);
    if (!format || !IsAudioFormat(*format))
        return CliUsageError("ringtone", "OUT ends in .m4r (iPhone) or .ogg (Android)");
    const bool bM4r = *format == ToneFormat::M4r;
    out.options.container = bM4r ? SoundContainer::M4rAac : SoundContainer::OggVorbis;
    out.request.dMaxSeconds = bM4r ? kSongRingtoneM4rSeconds : kSongRingtoneOggSeconds;
    if (auto seconds = parsed.Value("--seconds")) {
        const double most = bM4r ? kSongRingtoneLongestM4rSeconds : kSongRingtoneLongestOggSeconds;
        if (!ParseSeconds(*seconds, most, out.request.dMaxSeconds))
            return CliUsageError("ringtone", "--seconds takes 1 to " + std::to_string(static_cast<int>(most)) +
                                                 (bM4r ? ".9" : "") + " for ." + ToneFormatName(*format));
    }
    out.request.fromSecond = 0;
    if (auto from = parsed.Value("--from")) {
        long second = 0;
        if (*from == "auto")
            out.request.fromSecond.reset();
        else if (ParseWholeNumber(*from, 0, 24L * 3600, second))
            out.request.fromSecond = static_cast<std::uint32_t>(second);
        else
            return CliUsageError("ringtone", "--from takes a whole number of seconds or auto");
    }
    if (auto channels = parsed.Value("--channels"); channels && !ParseChannelList(*channels, out.request.wChannels))
        return CliUsageError("ringtone", "--channels takes channel numbers 1-16, as 1,2,10");
    out.options.wChannels = out.request.wChannels;
    out.options.bLoop = parsed.Flag("--loop");
    out.options.strTitle = std::filesystem::path(out.strSong).stem().string();
    return kExitOk;
}

// Progress on a terminal, once the work has taken a second.
class CProgressLine {
public:
    CProgressLine() : m_start(std::chrono::steady_clock::now()), m_bTerminal(::isatty(STDERR_FILENO) != 0) {}
    ~CProgressLine()
    {
        if (m_bShown)
            std::fputs("\r\033[K", stderr);
    }
    CProgressLine(const CProgressLine&) = delete;
    CProgressLine& operator=(const CProgressLine&) = delete;

    void Show(double done)
    {
        if (!m_bTerminal || std::chrono::steady_clock::now() - m_start < std::chrono::seconds(1))
            return;
        m_bShown = true;
        std::fprintf(stderr, "\rzorvattone-cli: rendering %3d %%", static_cast<int>(done * 100));
        std::fflush(stderr);
    }

private:
    std::chrono::steady_clock::time_point m_start;
    bool m_bTerminal;
    bool m_bShown = false;
};

} // namespace

int RunSongRingtone(const std::vector<std::string>& args)
{
    CRingtoneArgs parsed;
    if (int rc = ParseArgs(args, parsed); rc != kExitOk)
        return rc;
    CMidiSong song;
    if (SongFileError loadError; !LoadSongFile(parsed.strSong, song, loadError))
        return CliFailure(loadError.strMessage);
    const CSongNotes notes(song);
    SongRingtoneRange range;
    std::string error;
    if (!PlanSongRingtone(notes, parsed.request, range, error))
        return CliFailure(parsed.strSong + ": " + error);
    std::string bytes;
    SongRingtoneReport report;
    {
        CProgressLine progress;
        parsed.options.progress = [&](double done) { progress.Show(done); };
        if (!RenderSongRingtone(song, notes, range, parsed.options, bytes, report, error))
            return CliFailure("cannot make " + parsed.strOutput + ": " + error);
    }
    const double start = notes.SecondsAt(range.qwStartTick);
    std::fprintf(stderr, "zorvattone-cli: %s: %.2f s from %d:%05.2f (%s), %.1f LUFS, %.1f dBTP\n",
                 ShownText(parsed.strOutput, kShownMessageCharacters).c_str(), range.dSeconds,
                 static_cast<int>(start) / 60, start - 60 * static_cast<int>(start / 60),
                 range.bStartsOnBarLine ? "a bar line" : "the first sound after a bar line", report.loudness.dLufs,
                 report.loudness.dTruePeakDb);
    return CliWriteOutput(parsed.strOutput, bytes.data(), bytes.size(), parsed.strSong);
}
