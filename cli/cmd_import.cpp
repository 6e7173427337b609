// "import": a ringtone file of any format the program reads, printed as RTTTL text.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliToneFile.h"
#include "tonefile/RtttlFile.h"
#include "tonefile/ToneFile.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli import [--format F] [--index N|--tone NAME] FILE|-\n\n"
    "Reads a ringtone file and prints its ringtone as RTTTL text on one line, in the\n"
    "form export writes: an RTTTL file (.rtttl, .txt; one ringtone or several, one a\n"
    "line, each printed unless one is picked), a Nokia .ott file (the Smart Messaging\n"
    "ringing tone, from any program), or an iMelody .imy file. Every note the text\n"
    "cannot hold as the file has it gets one warning line on standard error. A damaged\n"
    "file is reported with the fault found and exit code 1.\n\n"
    "  --format F    rtttl, ott or imy (default: from FILE's extension, else from what\n"
    "                FILE begins with)\n"
    "  --index N     the Nth ringtone of an RTTTL file that holds several\n"
    "  --tone NAME   the ringtone of that name\n";

int PrintRtttlFile(const std::string& path, const std::string& text, const std::optional<long>& index,
                   const std::optional<std::string>& tone)
{
    const std::vector<std::string> tones = SplitRtttlFile(text);
    if (tones.empty())
        return CliFailure(path + ": holds no ringtone");
    if (index || tone || tones.size() == 1) {
        CToneMelody melody;
        std::vector<ToneLoss> losses;
        if (int rc = CliPickRtttlTone(path, text, index, tone, melody, losses); rc != kExitOk)
            return rc;
        const std::string rtttl = WriteRtttlText(melody, losses);
        CliWarnLosses(losses);
        std::printf("%s\n", rtttl.c_str());
        return kExitOk;
    }
    for (std::size_t i = 0; i < tones.size(); ++i) {
        CToneMelody melody;
        std::vector<ToneLoss> losses;
        std::string error;
        if (!ReadRtttlTone(tones[i], melody, losses, error))
            return CliFailure(path + ": ringtone " + std::to_string(i + 1) + ": " + error);
        const std::string rtttl = WriteRtttlText(melody, losses);
        CliWarnLosses(losses);
        std::printf("%s\n", rtttl.c_str());
    }
    return kExitOk;
}

int RunImport(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--format", "--index", "--tone"}, {});
    if (!parsed.Ok())
        return CliUsageError("import", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("import", "expects exactly one FILE (or - for standard input)");
    const std::string& path = parsed.Positional()[0];
    std::optional<ToneFormat> format;
    if (auto name = parsed.Value("--format")) {
        format = ToneFormatNamed(*name);
        if (!format || IsAudioFormat(*format))
            return CliUsageError("import", "--format takes rtttl, ott or imy, not '" + *name + "'");
    }
    std::optional<long> index;
    if (auto text = parsed.Value("--index")) {
        long n = 0;
        if (!ParseWholeNumber(*text, 1, 1000000, n))
            return CliUsageError("import", "--index takes a number from 1");
        index = n;
    }
    std::optional<std::string> tone = parsed.Value("--tone");
    if (index && tone)
        return CliUsageError("import", "--index and --tone both pick the ringtone: give one");

    std::string bytes;
    std::string error;
    if (!CliReadInput(path, bytes, error))
        return CliFailure(error);
    if (!format)
        format = NoteFormatOfFile(path, bytes);
    if (*format == ToneFormat::Rtttl)
        return PrintRtttlFile(path, bytes, index, tone);
    if ((index && *index != 1) || tone)
        return CliFailure(path + " holds one ringtone: --index and --tone pick among the ringtones of an RTTTL file");

    CToneMelody melody;
    std::vector<ToneLoss> losses;
    std::size_t tones = 0;
    if (!ReadNoteToneFile(*format, bytes, melody, losses, tones, error))
        return CliFailure(path + ": " + error);
    const std::string rtttl = WriteRtttlText(melody, losses);
    CliWarnLosses(losses);
    std::printf("%s\n", rtttl.c_str());
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("import", "read an .rtttl, .ott or .imy ringtone file and print its RTTTL text", kUsage, &RunImport);
