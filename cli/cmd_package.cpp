#include <string>

#include "cli/CliRingtone.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli package [--truncate] [--temp DIR] FILE|- -o OUT\n\n"
    "Converts the RTTTL text of FILE (standard input for -) as posting does and writes\n"
    "the compressed ringtone package (\"ZORVATTONE\", the preview MIDI file and the\n"
    "ringtone hex, LZW-compressed) to OUT. The temporary directory's zorvat.mid and\n"
    "zorvat.pdu are deleted afterwards, as posting deletes them.\n\n"
    "  -o, --output OUT  where the package goes\n" ZT_CLI_RINGTONE_OPTIONS;

int RunPackage(const std::vector<std::string>& args)
{
    CCliArgs parsed(args, {"--temp", "--output"}, {"--truncate"}, {{"-o", "--output"}});
    if (!parsed.Ok())
        return CliUsageError("package", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("package", "expects exactly one FILE (or - for standard input)");
    std::optional<std::string> out = parsed.Value("--output");
    if (!out || out->empty())
        return CliUsageError("package", "needs -o OUT");
    CliConversion result;
    return CliConvertRtttl(parsed, 0, -1, *out, result);
}

} // namespace

ZT_CLI_COMMAND("package", "convert RTTTL text into the compressed ringtone package", kUsage, &RunPackage);
