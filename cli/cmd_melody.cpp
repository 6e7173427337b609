#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "melody/MelodyFinder.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"
#include "song/SongNotes.h"
#include "text/Text.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli melody FILE\n\n"
    "Ranks the channels of a MIDI file by how likely each carries the tune, judged\n"
    "from the notes (and from track names such as \"Melody\" where the file has them).\n"
    "Prints one line per channel that has notes, best first:\n\n"
    "  CHANNEL SCORE LABEL     for example: 4 0.87 #04 PIPE/Flute\n\n"
    "CHANNEL is 1-16, SCORE between 0 and 1, LABEL the channel label the program\n"
    "shows. The scores of one song add up to 1. Channel 10 (percussion) never carries\n"
    "the tune and comes last with 0.00. When the runner-up scores at least two fifths\n"
    "of the first, one line on standard error says so:\n\n"
    "  zorvattone-cli: channels 4 and 2 are close: either may carry the tune\n\n"
    "A channel that plays the first's line along (the same notes at the same times,\n"
    "in unison or octaves) offers the same tune again, so it is never the runner-up;\n"
    "standard error names it:\n\n"
    "  zorvattone-cli: channel 11 plays channel 4's line along\n";

int RunMelody(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {}, {});
    if (!parsed.Ok())
        return CliUsageError("melody", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("melody", "expects exactly one FILE");
    CMidiSong song;
    SongFileError error;
    if (!LoadSongFile(parsed.Positional()[0], song, error))
        return CliFailure(error.strMessage);
    const std::vector<MelodyCandidate> ranked = RankMelodyChannels(CSongNotes(song));
    for (const MelodyCandidate& c : ranked)
        std::printf("%d %.2f %s\n", c.nChannel + 1, c.dScore, ShownText(c.strLabel, kShownMessageCharacters).c_str());
    for (const MelodyCandidate& c : ranked)
        if (c.bPlaysFirstsLine)
            std::fprintf(stderr, "zorvattone-cli: channel %d plays channel %d's line along\n", c.nChannel + 1,
                         ranked[0].nChannel + 1);
    if (MelodyRunnerUpIsClose(ranked))
        std::fprintf(stderr, "zorvattone-cli: channels %d and %d are close: either may carry the tune\n",
                     ranked[0].nChannel + 1, MelodyRunnerUp(ranked)->nChannel + 1);
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("melody", "rank a MIDI file's channels by how likely each carries the tune", kUsage, &RunMelody);
