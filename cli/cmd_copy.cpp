#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/CliCommand.h"
#include "cli/CliSong.h"
#include "ringtone/StdFile.h"
#include "song/MidiArchive.h"
#include "song/MidiSong.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli copy IN OUT\n\n"
    "Loads the Standard MIDI File IN and stores it as OUT, as the program's save does:\n"
    "what could be read is written back, repeated channel statuses as running status.\n";

int RunCopy(const std::vector<std::string>& args)
{
    CCliArgs parsed(args, {}, {});
    if (!parsed.Ok())
        return CliUsageError("copy", parsed.Error());
    if (parsed.Positional().size() != 2)
        return CliUsageError("copy", "expects IN and OUT");

    CMidiSong song;
    std::string error;
    if (!CliLoadSong(parsed.Positional()[0], song, error))
        return CliFailure(error);

    // Written beside OUT and renamed over it once complete, as the program's save
    // does: a full disk must not leave OUT (perhaps IN itself) cut short. A device
    // such as /dev/stdout is written as it is.
    const std::string& out = parsed.Positional()[1];
    const bool bInPlace = IsDeviceOrPipe(out);
    const std::string target = ReplacementTarget(out);
    const std::string partPath = bInPlace ? out : target + ".part";
    {
        CMidiArchive ar(partPath, CMidiArchive::Mode::Store);
        if (!ar.IsOpen())
            return CliFailure("cannot create " + out + ": " + ar.LastError());
        song.Serialize(ar);
        if (!ar.Close()) {
            if (!bInPlace)
                RemoveOwnFile(partPath);
            return CliFailure("cannot write " + out + ": " + ar.LastError());
        }
    }
    errno = 0;
    if (!bInPlace && std::rename(partPath.c_str(), target.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        RemoveOwnFile(partPath);
        return CliFailure("cannot write " + out + ": " + reason);
    }
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("copy", "load a MIDI file and store it again (the reader/writer round trip)", kUsage, &RunCopy);
