#pragma once
// What "export" and "import" share, in the tool and in zorvattone-cli-audio, which
// renders the sound formats: the usage, the options, picking one ringtone of an
// RTTTL file, the warnings for what a format could not hold, and the output file.

#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "ringtone/PreviewMidiWriter.h"
#include "tonefile/ToneFormat.h"
#include "tonefile/ToneMelody.h"
#include "tonefile/ToneTarget.h"

extern const char* const kExportUsage;
extern const char* const kExportSummary;
// The program the tool starts for the sound formats, looked for beside the tool first.
inline constexpr const char* kAudioProgram = "zorvattone-cli-audio";

struct CliExportArgs {
    std::string strInput;   // the RTTTL file, "-" for standard input
    std::string strOutput;
    ToneFormat format = ToneFormat::Rtttl;
    int nProgram = CPreviewMidiWriter::kDefaultProgram; // the instrument the sound formats play, as Listen's
    std::optional<long> index; // 1-based, of the ringtones in the file
    std::optional<std::string> tone; // or by name
    bool bTruncate = false;
    unsigned nSeconds = 40; // where a sound format is cut
    const ToneTarget* pTarget = nullptr; // --target: the device the tune is fitted to
    TargetForm targetForm = TargetForm::Rtttl;
};

// Parses the options of "export". kExitOk, or kExitUsage after the message.
[[nodiscard]] int CliParseExportArgs(const std::vector<std::string>& args, CliExportArgs& out);

// Reads the RTTTL file at `path` ("-": standard input) and the one ringtone of it that
// `index` (1-based) or `tone` (its name) picks; without either, the first, with a
// warning when the file holds more. kExitOk, or kExitFailed after the message.
[[nodiscard]] int CliReadRtttlFile(const std::string& path, const std::optional<long>& index,
                                   const std::optional<std::string>& tone, CToneMelody& out,
                                   std::vector<ToneLoss>& losses);

// The same for the file's text, read already.
[[nodiscard]] int CliPickRtttlTone(const std::string& path, const std::string& text, const std::optional<long>& index,
                                   const std::optional<std::string>& tone, CToneMelody& out,
                                   std::vector<ToneLoss>& losses);

// One warning line each on standard error, as the dropped tokens of the ringtone
// commands: zorvattone-cli: warning: dropped "8c9": octave 9 is outside 4-7
// (changed "...": for a note kept otherwise than it was; no token for the whole tone).
// Whether writing left no note to sound: the melody had none, or the losses from
// `firstOfWriting` on dropped or cut every one it had. Such a file would be written
// empty and look like success.
[[nodiscard]] bool CliNoNoteLeft(const CToneMelody& melody, const std::vector<ToneLoss>& losses,
                                 std::size_t firstOfWriting);

void CliWarnLosses(const std::vector<ToneLoss>& losses);

// Writes the file whole or not at all, never over `inputPath`. kExitOk, or
// kExitFailed after "cannot write OUT: reason".
[[nodiscard]] int CliWriteOutput(const std::string& path, const void* data, std::size_t size,
                                 const std::string& inputPath);
