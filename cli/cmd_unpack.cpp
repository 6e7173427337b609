#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"
#include "ringtone/RingtonePackage.h"

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

// Whole or not at all, so a full disk leaves a part that was there as it was; never
// over the package itself, which is still to be written out.
bool WritePart(const std::string& path, const void* data, std::size_t size, const std::string& package,
               std::string& error)
{
    FileError written;
    if (ReplaceFileWith(path, data, size, written, package))
        return true;
    error = "cannot write " + path + ": " + written.strReason;
    return false;
}

int RunUnpack(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--dir"}, {}, {{"-d", "--dir"}});
    if (!parsed.Ok())
        return CliUsageError("unpack", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("unpack", "expects exactly one PACKAGE");
    const std::string& path = parsed.Positional()[0];
    std::string dir = parsed.Value("--dir").value_or(".");

    std::vector<std::uint8_t> packed;
    if (FileError read; !ReadWholeFile(path, kMaxPackedPackage, packed, read))
        return CliFailure("cannot read " + path + ": " + read.strReason);
    std::string error;
    RingtonePackageParts parts;
    if (!ReadRingtonePackage(packed.data(), packed.size(), parts, error))
        return CliFailure(path + ": " + error);

    const std::string midiPath = dir + "/zorvat.mid";
    const std::string pduPath = dir + "/zorvat.pdu";
    if (!WritePart(midiPath, parts.midi.data(), parts.midi.size(), path, error) ||
        !WritePart(pduPath, parts.strHex.data(), parts.strHex.size(), path, error))
        return CliFailure(error);
    std::printf("%s: %zu bytes, %zu unpacked\n", path.c_str(), packed.size(),
                kPackageHeaderSize + parts.midi.size() + parts.strHex.size());
    std::printf("%s: %zu bytes of preview MIDI\n", midiPath.c_str(), parts.midi.size());
    std::printf("%s: ringtone of %zu octets\n", pduPath.c_str(), parts.message.size());
    return kExitOk; // a lost write is found when the output is flushed
}

} // namespace

ZT_CLI_COMMAND("unpack", "check and split a compressed ringtone package", kUsage, &RunUnpack);
