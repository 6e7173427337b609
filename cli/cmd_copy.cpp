#include <string>

#include "cli/CliCommand.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli copy IN OUT\n\n"
    "Loads the Standard MIDI File IN and stores it as OUT, as the program's save does:\n"
    "what could be read is written back, repeated channel statuses as running status.\n";

int RunCopy(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {}, {});
    if (!parsed.Ok())
        return CliUsageError("copy", parsed.Error());
    if (parsed.Positional().size() != 2)
        return CliUsageError("copy", "expects IN and OUT");

    const std::string& in = parsed.Positional()[0];
    const std::string& out = parsed.Positional()[1];
    CMidiSong song;
    if (SongFileError loadError; !LoadSongFile(in, song, loadError))
        return CliFailure(loadError.strMessage);
    // Saved as the program saves: OUT is replaced whole or not at all, a link is
    // written through and a device such as /dev/stdout written as it is.
    FileError error;
    if (!SaveSongFile(out, song, error, in)) {
        const bool bCreating = error.fault == FileFault::kCreate || error.fault == FileFault::kDirectory;
        return CliFailure(std::string(bCreating ? "cannot create " : "cannot write ") + out + ": " + error.strReason);
    }
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("copy", "load a MIDI file and store it again (the reader/writer round trip)", kUsage, &RunCopy);
