// "export": an RTTTL ringtone as a file of another format. The note formats are
// written here; the sound formats run zorvattone-cli-audio, which alone loads the
// synthesizer and the encoders.

#include <string>
#include <vector>

#include "cli/CliToneFile.h"
#include "tonefile/IMelodyFile.h"
#include "tonefile/OttFile.h"
#include "tonefile/RtttlFile.h"

namespace {

int RunExport(const std::vector<std::string>& args)
{
    CliExportArgs parsed;
    if (int rc = CliParseExportArgs(args, parsed); rc != kExitOk)
        return rc;
    if (IsAudioFormat(parsed.format))
        return CliExecProgram(kAudioProgram, args);

    CToneMelody melody;
    std::vector<ToneLoss> losses;
    if (int rc = CliReadRtttlFile(parsed.strInput, parsed.index, parsed.tone, melody, losses); rc != kExitOk)
        return rc;
    std::string text;
    std::vector<std::uint8_t> octets;
    std::string error;
    switch (parsed.format) {
    case ToneFormat::Rtttl: text = WriteRtttlText(melody, losses) + "\n"; break;
    case ToneFormat::IMelody: text = WriteIMelodyFile(melody, losses); break;
    case ToneFormat::Ott:
        if (!WriteOttFile(melody, parsed.bTruncate, octets, losses, error)) {
            CliWarnLosses(losses);
            return CliFailure(error);
        }
        break;
    case ToneFormat::Ogg:
    case ToneFormat::M4r: break;
    }
    CliWarnLosses(losses);
    if (parsed.format == ToneFormat::Ott)
        return CliWriteOutput(parsed.strOutput, octets.data(), octets.size(), parsed.strInput);
    return CliWriteOutput(parsed.strOutput, text.data(), text.size(), parsed.strInput);
}

} // namespace

ZT_CLI_COMMAND("export", kExportSummary, kExportUsage, &RunExport);
