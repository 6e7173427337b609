#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "engine/capture/RecordingPlan.h"
#include "ringtone/SmartMessaging.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"
#include "song/SongNotes.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli record FILE [--channel N|auto ...] [--from SECONDS|auto] [--seconds N]\n"
    "                              [--faithful [--fit]] [--pdu]\n\n"
    "Plays FILE without sound and without waiting, from second SECONDS (the song\n"
    "runs silently up to there first, as Play does), records the notes of the\n"
    "enabled channels and prints the RTTTL text, named after the file.\n\n"
    "  --channel N    record channel N (1-16); repeat for more. Default: all\n"
    "                 channels, whose notes then interleave\n"
    "  --channel auto record the channel that most likely carries the tune (the\n"
    "                 first line of 'zorvattone-cli melody FILE')\n"
    "  --from S       start second (default 0)\n"
    "  --from auto    start at the bar where the recorded channels' first note\n"
    "                 sounds (with --channel auto: where the tune begins)\n"
    "  --seconds N    record N seconds of playing time (default: to the end of the song)\n"
    "  --faithful     keep the song's rhythm: one voice (the highest note wins),\n"
    "                 dotted lengths, no drift, b= the tempo at the start, the line\n"
    "                 moved by octaves into the ringtone range (octaves 4-7)\n"
    "  --fit          with --faithful: end at the last phrase end (a rest, a note\n"
    "                 of a quarter or longer, a bar line) at which the ringtone\n"
    "                 still fits one message (130 octets); says where on standard\n"
    "                 error\n"
    "  --pdu          also print the Smart Messaging ringtone of the recorded notes\n"
    "                 in hexadecimal, as \"Show PDU\" encodes it (name \"MyTone\");\n"
    "                 not with --faithful (convert its text with 'pdu')\n";

// A recording longer than a day is a typing error.
constexpr long kMaxSeconds = 24L * 3600;

bool ParseChannels(const std::vector<std::string>& values, RecordingPlan& options, std::string& error)
{
    if (values.empty())
        return true;
    options.bChannelOn.fill(false);
    for (const std::string& v : values) {
        if (v == "auto") {
            if (values.size() > 1) {
                error = "--channel auto records one channel and takes no other --channel";
                return false;
            }
            continue; // chosen once the song is loaded
        }
        long channel = 0;
        if (!ParseWholeNumber(v, 1, 16, channel)) {
            error = "--channel takes a channel number from 1 to 16, not '" + v + "'";
            return false;
        }
        options.bChannelOn[static_cast<std::size_t>(channel - 1)] = true;
    }
    return true;
}

bool ParseOptions(const CCommandArgs& parsed, RecordingPlan& options, std::string& error)
{
    if (!ParseChannels(parsed.Values("--channel"), options, error))
        return false;
    if (parsed.Flag("--faithful") && parsed.Flag("--pdu")) {
        error = "--pdu prints the records of the plain capture; convert a --faithful text with 'pdu'";
        return false;
    }
    if (parsed.Flag("--fit") && !parsed.Flag("--faithful")) {
        error = "--fit ends a --faithful recording on a phrase; add --faithful";
        return false;
    }
    long value = 0;
    if (auto from = parsed.Value("--from"); from && *from != "auto") {
        if (!ParseWholeNumber(*from, 0, kMaxSeconds, value)) {
            error = "--from takes a whole number of seconds, not '" + *from + "'";
            return false;
        }
        options.uFromSecond = static_cast<std::uint32_t>(value);
    }
    if (auto seconds = parsed.Value("--seconds")) {
        if (!ParseWholeNumber(*seconds, 0, kMaxSeconds, value)) {
            error = "--seconds takes a whole number of seconds, not '" + *seconds + "'";
            return false;
        }
        options.nSeconds = value;
    }
    return true;
}

int RunRecord(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--channel", "--from", "--seconds"}, {"--pdu", "--faithful", "--fit"});
    if (!parsed.Ok())
        return CliUsageError("record", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("record", "expects exactly one FILE");
    RecordingPlan plan;
    std::string error;
    if (!ParseOptions(parsed, plan, error))
        return CliUsageError("record", error);

    const std::string& path = parsed.Positional()[0];
    CMidiSong song;
    if (SongFileError loadError; !LoadSongFile(path, song, loadError))
        return CliFailure(loadError.strMessage);
    // The tone is named after the file, as opening it in the program names it.
    plan.strToneName = std::filesystem::path(path).stem().string();
    plan.bFromTune = parsed.Value("--from") == "auto";
    plan.bKeepRhythm = parsed.Flag("--faithful");
    plan.bFitOneMessage = parsed.Flag("--fit");
    const CSongNotes notes(song);
    const std::vector<std::string> channels = parsed.Values("--channel");
    if (channels.size() == 1 && channels[0] == "auto" && !ChooseTuneChannel(notes, plan.bChannelOn, error))
        return CliFailure(path + ": " + error);
    RecordingOutcome recording;
    if (!RecordByPlan(song, notes, plan, recording, error))
        return CliFailure(path + ": " + error);
    std::printf("%s\n", recording.strRtttl.c_str());
    if (plan.bFitOneMessage)
        std::fprintf(stderr, "zorvattone-cli: %d notes, %zu of %zu octets%s\n", recording.nNotes, recording.nOctets,
                     kMaxRingtoneOctets, recording.bCutToFit ? ", ended on a phrase to fit one message" : "");
    if (parsed.Flag("--pdu")) {
        const auto octets = BuildRingtoneMessage("MyTone", recording.nTempo,
                                                 static_cast<std::int32_t>(recording.notes.size()),
                                                 recording.notes.data());
        std::printf("%s\n", HexOf(octets).c_str());
    }
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("record", "record the notes of a MIDI file's channels as RTTTL text, offline", kUsage, &RunRecord);
