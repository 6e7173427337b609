#include <ctime>
#include <string>
#include <vector>

#include "cli/CliRingtone.h"
#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"
#include "fileio/RemoveRegularFile.h"
#include "ringtone/RingtonePackage.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli package [--truncate] [--temp DIR] FILE|- -o OUT\n\n"
    "Converts the RTTTL text of FILE (standard input for -) as posting does and writes\n"
    "the compressed ringtone package (\"ZORVATTONE\", the preview MIDI file and the\n"
    "ringtone hex, LZW-compressed) to OUT. The temporary directory's zorvat.mid and\n"
    "zorvat.pdu are deleted afterwards, as posting deletes them.\n\n"
    "  -o, --output OUT  where the package goes\n" ZT_CLI_RINGTONE_OPTIONS;

int FileFailure(const std::string& verb, const std::string& file, const std::string& reason)
{
    CCliPrompt prompt(false);
    ShowFileError(prompt, verb, file, reason);
    return kExitFailed;
}

int RunPackage(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--temp", "--output"}, {"--truncate"}, {{"-o", "--output"}});
    if (!parsed.Ok())
        return CliUsageError("package", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("package", "expects exactly one FILE (or - for standard input)");
    std::optional<std::string> out = parsed.Value("--output");
    if (!out || out->empty())
        return CliUsageError("package", "needs -o OUT");

    // Built in the temporary directory under the name posting gives it, then put in
    // place of OUT whole: a package that fails half-way must not destroy a good OUT.
    CMemorySettingsStore settings;
    CliLoadTempDir(parsed, settings);
    const std::string built = MakePackagePath(settings.GetString(kProfileSystem, kProfileTempDir),
                                              static_cast<std::int64_t>(std::time(nullptr)));
    CliConversion result;
    if (int rc = CliConvertRtttl(parsed, 0, -1, built, result); rc != kExitOk)
        return rc;
    std::vector<std::uint8_t> bytes;
    FileError error;
    const bool bRead = ReadWholeFile(built, kMaxUnpackedPackage, bytes, error);
    const bool bWritten = bRead && ReplaceFileWith(*out, bytes.data(), bytes.size(), error, built);
    RemoveRegularFile(built);
    if (!bRead)
        return FileFailure("read", built, error.strReason);
    if (!bWritten)
        return FileFailure("write", *out, error.strReason);
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("package", "convert RTTTL text into the compressed ringtone package", kUsage, &RunPackage);
