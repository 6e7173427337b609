// "export": an RTTTL ringtone as a file of another format. The note formats are
// written here; the sound formats run zorvattone-cli-audio, which alone loads the
// synthesizer and the encoders.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliToneFile.h"
#include "tonefile/DeviceFiles.h"
#include "tonefile/ToneFile.h"

namespace {

// The tune fitted to a device, each change one warning line, then what was written.
int ExportForDevice(const CliExportArgs& parsed)
{
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    if (int rc = CliReadRtttlFile(parsed.strInput, parsed.index, parsed.tone, melody, losses); rc != kExitOk)
        return rc;
    const ToneTarget& target = *parsed.pTarget;
    const std::size_t read = losses.size();
    CTargetFit fit;
    std::string bytes;
    std::string error;
    const bool bWritten = ExportToTarget(melody, target, parsed.targetForm, bytes, losses, fit, error);
    CliWarnLosses(losses);
    if (!bWritten)
        return CliFailure(parsed.strOutput + " is not written: " + error);
    // One line says what the fit cut; the writer's losses count note by note.
    if (CliNoNoteLeft(fit.melody, losses, read + fit.changes.size()))
        return CliFailure(parsed.strInput + ": no note is left to write; " + parsed.strOutput + " is not written");
    std::fprintf(stderr, "zorvattone-cli: %s: %zu notes, %.2f s%s\n", target.name, fit.melody.notes.size(),
                 fit.dSeconds, fit.changes.empty() ? ", as written" : "");
    return CliWriteOutput(parsed.strOutput, bytes.data(), bytes.size(), parsed.strInput);
}

int RunExport(const std::vector<std::string>& args)
{
    CliExportArgs parsed;
    if (int rc = CliParseExportArgs(args, parsed); rc != kExitOk)
        return rc;
    if (parsed.pTarget)
        return ExportForDevice(parsed);
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
