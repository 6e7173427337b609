#include <array>
#include <cstdio>
#include <string>

#include "cli/CliCommand.h"
#include "engine/capture/OfflineRecorder.h"
#include "engine/sequencer/MidiEngine.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"
#include "text/Text.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli info FILE\n\n"
    "Prints what a Standard MIDI File holds: its format, the number of tracks its\n"
    "header declares, the tracks actually read, the division, the number of\n"
    "events in each track, then the song's length in seconds and the sixteen\n"
    "channel labels the player shows (\"#01 PIANO/Acoustic Grand\").\n";

// The length and the channel labels, as the player finds them when it loads the song.
void PrintPlayerView(const CMidiSong& song)
{
    std::array<std::string, CMidiEngine::kChannels> labels;
    std::uint32_t seconds = 0;
    const PrepareResult result = ScanAsThePlayer(song, labels, seconds);
    if (result != PrepareResult::kOk) {
        std::printf("length: not playable (%s)\n", PrepareResultText(result));
        return;
    }
    std::printf("length: %u seconds\n", seconds);
    for (const std::string& label : labels)
        std::printf("%s\n", ShownText(label, kShownMessageCharacters).c_str());
}

int RunInfo(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {}, {});
    if (!parsed.Ok())
        return CliUsageError("info", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("info", "expects exactly one FILE");

    CMidiSong song;
    SongFileError error;
    if (!LoadSongFile(parsed.Positional()[0], song, error))
        return CliFailure(error.strMessage);

    const CMidiHeaderChunk& header = song.GetHeader();
    std::printf("format: %u\n", header.m_wFormat);
    std::printf("tracks declared: %u\n", header.m_wNumTracks);
    std::printf("tracks read: %d\n", song.GetTrackList().GetTrackCount());
    std::printf("division: %u\n", header.m_wDivision);
    for (const CMidiTrack* track = song.GetTrackList().GetFirstTrack(); track; track = track->m_pNext)
        std::printf("track %d: %u events\n", track->GetNumber(), track->CountEvents());
    PrintPlayerView(song);
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("info", "show format, tracks, division and events per track of a MIDI file", kUsage, &RunInfo);
