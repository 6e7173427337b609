// "export": an RTTTL ringtone as a file of another format. The note formats are
// written here; the sound formats run zorvattone-cli-audio, which alone loads the
// synthesizer and the encoders.

#include <string>
#include <vector>

#include "cli/CliToneFile.h"
#include "tonefile/ToneFile.h"

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
    std::string bytes;
    std::string error;
    const std::size_t read = losses.size();
    const bool bWritten = WriteNoteToneFile(parsed.format, melody, parsed.bTruncate, bytes, losses, error);
    CliWarnLosses(losses);
    if (!bWritten)
        return CliFailure(error);
    if (CliNoNoteLeft(melody, losses, read))
        return CliFailure(parsed.strInput + ": no note is left to write; " + parsed.strOutput + " is not written");
    return CliWriteOutput(parsed.strOutput, bytes.data(), bytes.size(), parsed.strInput);
}

} // namespace

ZT_CLI_COMMAND("export", kExportSummary, kExportUsage, &RunExport);
