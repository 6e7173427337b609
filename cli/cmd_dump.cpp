#include <cstdio>
#include <string>

#include "cli/CliCommand.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli dump FILE\n\n"
    "Prints every event of a Standard MIDI File, one line each, in track and file order.\n"
    "The first line is 'MThd format=F tracks=N division=D' (N as the header declares it).\n"
    "Then, fields separated by one space, TRACK, DELTA and LENGTH in decimal, bytes in\n"
    "upper-case hex:\n"
    "  TRACK DELTA STATUS D1 [D2]        a channel event (running status resolved)\n"
    "  TRACK DELTA FF TYPE LENGTH DATA... a meta event\n"
    "  TRACK DELTA STATUS LENGTH DATA...  a system exclusive or other system event\n"
    "This format is stable: other tools compare it.\n";

int RunDump(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {}, {});
    if (!parsed.Ok())
        return CliUsageError("dump", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("dump", "expects exactly one FILE");

    CMidiSong song;
    SongFileError error;
    if (!LoadSongFile(parsed.Positional()[0], song, error))
        return CliFailure(error.strMessage);

    const CMidiHeaderChunk& header = song.GetHeader();
    std::printf("MThd format=%u tracks=%u division=%u\n", header.m_wFormat, header.m_wNumTracks, header.m_wDivision);
    // Lines go out in blocks: a call into stdio for each of a long song's events
    // costs as much as making the line. A block is far smaller than the buffer of
    // standard output, so a failed write still shows where the buffer is flushed.
    constexpr std::size_t kBlockBytes = 4 * 1024;
    std::string block;
    block.reserve(2 * kBlockBytes);
    for (const CMidiTrack* track = song.GetTrackList().GetFirstTrack(); track; track = track->m_pNext) {
        const std::string number = std::to_string(track->GetNumber()) + ' ';
        for (const CMidiEvent* event = track->GetFirstEvent(); event; event = event->GetNext()) {
            block += number;
            event->Dump(block);
            block += '\n';
            if (block.size() >= kBlockBytes) {
                std::fwrite(block.data(), 1, block.size(), stdout);
                block.clear();
            }
        }
    }
    std::fwrite(block.data(), 1, block.size(), stdout);
    return kExitOk; // a lost write is found when the output is flushed
}

} // namespace

ZT_CLI_COMMAND("dump", "print every event of a MIDI file, one line each (a stable format)", kUsage, &RunDump);
