#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/StdFile.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli unpack PACKAGE [-d DIR]\n\n"
    "Decompresses a ringtone package as posting builds it, checks it (magic, MIDI\n"
    "length, MIDI part, hex part), writes its parts to DIR/zorvat.mid and\n"
    "DIR/zorvat.pdu (DIR defaults to the current directory) and prints a summary.\n"
    "A damaged package is reported with the fault found and exit code 1.\n\n"
    "  -d, --dir DIR  where the two parts go\n";

// A package of 255 notes packs to a few kilobytes; anything far larger is not one.
constexpr std::uint64_t kMaxPackedPackage = 1u << 20;

// Whole or not at all, so a full disk leaves a part that was there as it was.
bool WritePart(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    std::string reason;
    if (ReplaceFileWith(path, data, size, reason))
        return true;
    error = "cannot write " + path + ": " + reason;
    return false;
}

int RunUnpack(const std::vector<std::string>& args)
{
    CCliArgs parsed(args, {"--dir"}, {}, {{"-d", "--dir"}});
    if (!parsed.Ok())
        return CliUsageError("unpack", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("unpack", "expects exactly one PACKAGE");
    const std::string& path = parsed.Positional()[0];
    std::string dir = parsed.Value("--dir").value_or(".");

    std::vector<std::uint8_t> packed;
    std::string error;
    if (!ReadWholeFile(path, kMaxPackedPackage, packed, error))
        return CliFailure("cannot read " + path + ": " + error);
    RingtonePackageParts parts;
    if (!ReadRingtonePackage(packed.data(), packed.size(), parts, error))
        return CliFailure(path + ": " + error);

    const std::string midiPath = dir + "/zorvat.mid";
    const std::string pduPath = dir + "/zorvat.pdu";
    if (!WritePart(midiPath, parts.midi.data(), parts.midi.size(), error) ||
        !WritePart(pduPath, parts.strHex.data(), parts.strHex.size(), error))
        return CliFailure(error);
    std::printf("%s: %zu bytes, %zu unpacked\n", path.c_str(), packed.size(),
                kPackageHeaderSize + parts.midi.size() + parts.strHex.size());
    std::printf("%s: %zu bytes of preview MIDI\n", midiPath.c_str(), parts.midi.size());
    std::printf("%s: ringtone of %zu octets\n", pduPath.c_str(), parts.message.size());
    return std::fflush(stdout) == 0 ? kExitOk : CliFailure("cannot write to standard output");
}

} // namespace

ZT_CLI_COMMAND("unpack", "check and split a compressed ringtone package", kUsage, &RunUnpack);
