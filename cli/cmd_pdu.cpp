#include <cstdio>
#include <string>

#include "cli/CliRingtone.h"
#include "ringtone/SmartMessaging.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli pdu [--truncate] [--name NAME] [--rtttl] [--temp DIR] [FILE|-]\n\n"
    "Converts the RTTTL text of FILE (standard input when FILE is - or missing) and\n"
    "prints the Smart Messaging ringtone message as upper-case hex on one line: what\n"
    "posting puts into zorvat.pdu. Like Listen, it leaves the preview zorvat.mid in\n"
    "the temporary directory. Messages go to standard error as \"CAPTION: text\",\n"
    "and so does how much of one message the ringtone takes (\"87 of 130 octets\").\n\n"
    "  --name NAME   use NAME in place of the name in the RTTTL header\n"
    "  --rtttl       also print the RTTTL text as the conversion rebuilt it\n" ZT_CLI_RINGTONE_OPTIONS;

int RunPdu(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--name", "--temp"}, {"--truncate", "--rtttl"});
    if (!parsed.Ok())
        return CliUsageError("pdu", parsed.Error());
    if (parsed.Positional().size() > 1)
        return CliUsageError("pdu", "expects at most one FILE (or - for standard input)");
    std::string name = parsed.Value("--name").value_or("");
    if (parsed.Value("--name") && (name.empty() || name.find(':') != std::string::npos))
        return CliUsageError("pdu", "--name takes a non-empty name without \":\"");

    CliConversion result;
    if (int rc = CliConvertRtttl(parsed, 0, -1, "", result, name); rc != kExitOk)
        return rc;
    auto count = static_cast<std::int32_t>(result.notes.size());
    const std::vector<std::uint8_t> message = BuildRingtoneMessage(result.strName, result.tempo, count, result.notes.data());
    std::printf("%s\n", HexOf(message).c_str());
    std::fprintf(stderr, "zorvattone-cli: %zu of %zu octets\n", message.size(), kMaxRingtoneOctets);
    if (parsed.Flag("--rtttl"))
        std::printf("%s\n", result.strRebuilt.c_str());
    return kExitOk; // a lost write is found when the output is flushed
}

} // namespace

ZT_CLI_COMMAND("pdu", "convert RTTTL text and print the Smart Messaging ringtone as hex", kUsage, &RunPdu);
