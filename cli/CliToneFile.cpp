#include "cli/CliToneFile.h"

#include <algorithm>
#include <cstdio>

#include "fileio/FileReplacer.h"
#include "text/Text.h"
#include "tonefile/DeviceFiles.h"
#include "tonefile/RtttlFile.h"

const char* const kExportSummary =
    "write an RTTTL ringtone as an .rtttl, .ott, .imy, .ogg or .m4r file, or fitted to a device";
const char* const kExportUsage =
    "usage: zorvattone-cli export [--format F|--target DEVICE] [--instrument N]\n"
    "                             [--index N|--tone NAME] [--truncate] [--seconds S]\n"
    "                             RTTTL_FILE|- -o OUT\n\n"
    "Reads the ringtone of RTTTL_FILE (standard input for -) as Listen reads it and\n"
    "writes it to OUT in the format F, or the one OUT's extension names:\n"
    "  rtttl  .rtttl, .txt  RTTTL text on one line, as every RTTTL player reads it\n"
    "  ott    .ott          the Smart Messaging ringing tone as binary octets (Nokia)\n"
    "  imy    .imy          iMelody 1.2 (Sony Ericsson, Siemens and other EMS phones)\n"
    "  ogg    .ogg          Ogg Vorbis sound from the built-in synthesizer, at most\n"
    "                       40 s unless --seconds asks for more, faded out (Android)\n"
    "  m4r    .m4r          AAC sound in MPEG-4, at most 40 s, faded out (iPhone)\n"
    "Every note a format cannot hold as it is gets one warning line on standard error.\n"
    "OUT is written whole or not at all.\n\n"
    "  --format F      rtttl, ott, imy, ogg or m4r\n"
    "  --target DEVICE fit the tune to a device and write its file (zorvattone-cli\n"
    "                  targets lists them): moved by octaves into its range, ended at\n"
    "                  the last phrase end within its budget, one warning line per\n"
    "                  change; OUT's extension picks the device's other file where it\n"
    "                  has one (.bin: an ESC's EEPROM block, .h: tone() pairs)\n"
    "  --instrument N  General MIDI program 0..127 of the sound formats (default 57,\n"
    "                  as Listen without a chosen instrument)\n"
    "  --index N       the Nth ringtone of a file that holds several, one a line\n"
    "  --tone NAME     the ringtone of that name (default: the first)\n"
    "  --truncate      cut an .ott that is too long for one message (130 octets)\n"
    "                  instead of giving up (exit code 1)\n"
    "  --seconds S     where the sound formats are cut: 1..40 for .m4r, 1..600 for\n"
    "                  .ogg (default 40)\n"
    "  -o, --output OUT  where the ringtone goes\n";

namespace {

int ParseTarget(const std::string& name, bool bFormatToo, CliExportArgs& out)
{
    if (bFormatToo)
        return CliUsageError("export", "--format and --target both name what to write: give one");
    out.pTarget = ToneTargetNamed(name);
    if (!out.pTarget)
        return CliUsageError("export", "no device is named '" + name + "': zorvattone-cli targets lists them");
    out.targetForm = TargetFormForPath(*out.pTarget, out.strOutput);
    return kExitOk;
}

} // namespace

int CliParseExportArgs(const std::vector<std::string>& args, CliExportArgs& out)
{
    CCommandArgs parsed(args, {"--format", "--target", "--instrument", "--index", "--tone", "--output", "--seconds"},
                        {"--truncate"},
                    {{"-o", "--output"}});
    if (!parsed.Ok())
        return CliUsageError("export", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("export", "expects exactly one RTTTL_FILE (or - for standard input)");
    out.strInput = parsed.Positional()[0];
    std::optional<std::string> output = parsed.Value("--output");
    if (!output || output->empty())
        return CliUsageError("export", "needs -o OUT");
    out.strOutput = *output;
    if (auto name = parsed.Value("--target"))
        return ParseTarget(*name, parsed.Value("--format").has_value(), out);
    std::optional<ToneFormat> format;
    if (auto name = parsed.Value("--format")) {
        format = ToneFormatNamed(*name);
        if (!format)
            return CliUsageError("export", "--format takes rtttl, ott, imy, ogg or m4r, not '" + *name + "'");
    } else {
        format = ToneFormatOfPath(out.strOutput);
        if (!format)
            return CliUsageError("export", "the extension of " + out.strOutput +
                                               " names no format: use --format rtttl|ott|imy|ogg|m4r");
    }
    out.format = *format;
    long program = CPreviewMidiWriter::kDefaultProgram;
    if (auto text = parsed.Value("--instrument"); text && !ParseWholeNumber(*text, 0, 127, program))
        return CliUsageError("export", "--instrument takes a number 0..127");
    out.nProgram = static_cast<int>(program);
    long index = 0;
    if (auto text = parsed.Value("--index")) {
        if (!ParseWholeNumber(*text, 1, 1000000, index))
            return CliUsageError("export", "--index takes a number from 1");
        out.index = index;
    }
    out.tone = parsed.Value("--tone");
    if (out.index && out.tone)
        return CliUsageError("export", "--index and --tone both pick the ringtone: give one");
    out.bTruncate = parsed.Flag("--truncate");
    if (auto text = parsed.Value("--seconds")) {
        const long most = out.format == ToneFormat::M4r ? kMaxM4rSeconds : kMaxOggSeconds;
        long seconds = 0;
        if (!IsAudioFormat(out.format))
            return CliUsageError("export", "--seconds cuts the sound formats, .ogg and .m4r");
        if (!ParseWholeNumber(*text, 1, most, seconds))
            return CliUsageError("export", "--seconds takes a number 1.." + std::to_string(most) + " for ." +
                                               ToneFormatName(out.format));
        out.nSeconds = static_cast<unsigned>(seconds);
    }
    return kExitOk;
}

int CliReadRtttlFile(const std::string& path, const std::optional<long>& index, const std::optional<std::string>& tone,
                     CToneMelody& out, std::vector<ToneLoss>& losses)
{
    std::string text;
    std::string error;
    if (!CliReadInput(path, text, error))
        return CliFailure(error);
    return CliPickRtttlTone(path, text, index, tone, out, losses);
}

int CliPickRtttlTone(const std::string& path, const std::string& text, const std::optional<long>& index,
                     const std::optional<std::string>& tone, CToneMelody& out, std::vector<ToneLoss>& losses)
{
    std::string error;
    const std::vector<std::string> tones = SplitRtttlFile(text);
    if (tones.empty())
        return CliFailure(path + ": holds no ringtone");
    std::size_t pick = 0;
    if (index) {
        if (static_cast<std::size_t>(*index) > tones.size())
            return CliFailure(path + " holds " + std::to_string(tones.size()) + " ringtone(s), not " +
                              std::to_string(*index));
        pick = static_cast<std::size_t>(*index - 1);
    } else if (tone) {
        while (pick < tones.size() && RtttlNameOf(tones[pick]) != *tone)
            ++pick;
        if (pick == tones.size())
            return CliFailure(path + " holds no ringtone named \"" + *tone + "\"");
    } else if (tones.size() > 1) {
        std::fprintf(stderr, "zorvattone-cli: warning: %s holds %zu ringtones: the first is taken (--index N "
                             "picks another)\n", ShownText(path, kShownMessageCharacters).c_str(), tones.size());
    }
    if (!ReadRtttlTone(tones[pick], out, losses, error))
        return CliFailure(path + ": " + error);
    return kExitOk;
}

bool CliNoNoteLeft(const CToneMelody& melody, const std::vector<ToneLoss>& losses, std::size_t firstOfWriting)
{
    const auto sounding = std::count_if(melody.notes.begin(), melody.notes.end(),
                                        [](const RingtoneNote& note) { return NotePitch(note) >= 0; });
    const auto lost = std::count_if(losses.begin() + static_cast<std::ptrdiff_t>(std::min(firstOfWriting, losses.size())),
                                    losses.end(), [](const ToneLoss& loss) {
                                        return loss.kind == ToneLoss::Kind::Dropped || loss.kind == ToneLoss::Kind::Cut;
                                    });
    return sounding == 0 || lost >= sounding;
}

void CliWarnLosses(const std::vector<ToneLoss>& losses)
{
    for (const ToneLoss& loss : losses) {
        if (loss.strToken.empty()) {
            std::fprintf(stderr, "zorvattone-cli: warning: %s\n",
                         ShownText(loss.strReason, kShownMessageCharacters).c_str());
            continue;
        }
        const char* what = "";
        switch (loss.kind) {
        case ToneLoss::Kind::Dropped:
        case ToneLoss::Kind::Cut: what = "dropped "; break;
        case ToneLoss::Kind::Changed: what = "changed "; break;
        case ToneLoss::Kind::Ignored: break;
        }
        std::fprintf(stderr, "zorvattone-cli: warning: %s\"%s\": %s\n", what,
                     ShownText(loss.strToken, kShownTokenCharacters).c_str(),
                     ShownText(loss.strReason, kShownMessageCharacters).c_str());
    }
}

int CliWriteOutput(const std::string& path, const void* data, std::size_t size, const std::string& inputPath)
{
    FileError error;
    if (!ReplaceFileWith(path, data, size, error, inputPath == "-" ? std::string() : inputPath))
        return CliFailure("cannot write " + path + ": " + error.strReason);
    return kExitOk;
}
