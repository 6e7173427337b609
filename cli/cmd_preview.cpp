#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/CliRingtone.h"
#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli preview [--program N] [--division D] [--truncate] [--temp DIR]\n"
    "                              FILE|- -o OUT.mid\n\n"
    "Converts the RTTTL text of FILE (standard input for -) as Listen does and copies\n"
    "the preview MIDI file (the temporary directory's zorvat.mid) to OUT.mid.\n\n"
    "  --program N   General MIDI program 0..127 to play (default 57, trumpet)\n"
    "  --division D  ticks per quarter note 1..32767, as of the open song (default and\n"
    "                0: 96)\n"
    "  -o, --output OUT.mid  where the preview goes\n" ZT_CLI_RINGTONE_OPTIONS;

// A preview of 255 notes is a few kilobytes; anything far larger is not ours.
constexpr std::uint64_t kMaxPreviewBytes = 1u << 20;

int RunPreview(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--program", "--division", "--temp", "--output"}, {"--truncate"}, {{"-o", "--output"}});
    if (!parsed.Ok())
        return CliUsageError("preview", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("preview", "expects exactly one FILE (or - for standard input)");
    std::optional<std::string> out = parsed.Value("--output");
    if (!out || out->empty())
        return CliUsageError("preview", "needs -o OUT.mid");
    long program = -1;
    if (auto text = parsed.Value("--program"); text && !ParseWholeNumber(*text, 0, 127, program))
        return CliUsageError("preview", "--program takes a number 0..127");
    long division = 0;
    if (auto text = parsed.Value("--division"); text && !ParseWholeNumber(*text, 0, 32767, division))
        return CliUsageError("preview", "--division takes a number 0..32767");

    CliConversion result;
    if (int rc = CliConvertRtttl(parsed, static_cast<std::uint16_t>(division), static_cast<int>(program), "", result);
        rc != kExitOk)
        return rc;
    namespace fs = std::filesystem;
    const std::string midi = CRingtoneConverter::MidiPathIn(result.strTempDir);
    // An OUT.mid that is the preview itself (by a link, say) holds it already.
    std::error_code ec;
    if (fs::equivalent(midi, *out, ec))
        return kExitOk;
    // Whole or not at all: a copy cut short by a full disk must not take the place
    // of an OUT.mid that was good.
    std::vector<std::uint8_t> bytes;
    FileError error;
    if (!ReadWholeFile(midi, kMaxPreviewBytes, bytes, error) ||
        !ReplaceFileWith(*out, bytes.data(), bytes.size(), error, midi))
        return CliFailure("cannot copy " + midi + " to " + *out + ": " + error.strReason);
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("preview", "convert RTTTL text into the preview MIDI file", kUsage, &RunPreview);
