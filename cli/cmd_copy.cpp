#include <string>

#include "cli/CliCommand.h"
#include "cli/CliSong.h"
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

    const std::string& out = parsed.Positional()[1];
    CMidiArchive ar(out, CMidiArchive::Mode::Store);
    if (!ar.IsOpen())
        return CliFailure("cannot create " + out + ": " + ar.LastError());
    song.Serialize(ar);
    if (!ar.Close())
        return CliFailure("cannot write " + out + ": " + ar.LastError());
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("copy", "load a MIDI file and store it again (the reader/writer round trip)", kUsage, &RunCopy);
