// "ringtone": a range of a song as a phone ringtone. zorvattone-cli-audio renders it,
// as it alone loads the synthesizer and the encoders.

#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliToneFile.h"
#include "cli/SongRingtoneUsage.h"

namespace {

int RunRingtone(const std::vector<std::string>& args)
{
    std::vector<std::string> audio = {"ringtone"};
    audio.insert(audio.end(), args.begin(), args.end());
    return CliExecProgram(kAudioProgram, audio);
}

} // namespace

ZT_CLI_COMMAND("ringtone", kRingtoneSummary, kRingtoneUsage, &RunRingtone);
