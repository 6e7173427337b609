#include <cstdio>
#include <string>

#include "cli/CliCommand.h"
#include "cli/CliSong.h"
#include "song/MidiSong.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli info FILE\n\n"
    "Prints what a Standard MIDI File holds: its format, the number of tracks its\n"
    "header declares, the tracks actually read, the division and the number of\n"
    "events in each track.\n";

int RunInfo(const std::vector<std::string>& args)
{
    CCliArgs parsed(args, {}, {});
    if (!parsed.Ok())
        return CliUsageError("info", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("info", "expects exactly one FILE");

    CMidiSong song;
    std::string error;
    if (!CliLoadSong(parsed.Positional()[0], song, error))
        return CliFailure(error);

    const CMidiHeaderChunk& header = song.GetHeader();
    std::printf("format: %u\n", header.m_wFormat);
    std::printf("tracks declared: %u\n", header.m_wNumTracks);
    std::printf("tracks read: %d\n", song.GetTrackList().GetTrackCount());
    std::printf("division: %u\n", header.m_wDivision);
    for (const CMidiTrack* track = song.GetTrackList().GetFirstTrack(); track; track = track->m_pNext)
        std::printf("track %d: %u events\n", track->GetNumber(), track->CountEvents());
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("info", "show format, tracks, division and events per track of a MIDI file", kUsage, &RunInfo);
