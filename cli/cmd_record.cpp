#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliSong.h"
#include "engine/OfflineRecorder.h"
#include "ringtone/SmartMessaging.h"
#include "song/MidiSong.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvattone-cli record FILE [--channel N ...] [--from SECONDS] [--seconds N] [--pdu]\n\n"
    "Plays FILE without sound and without waiting, from second SECONDS (the song\n"
    "runs silently up to there first, as Play does), records the notes of the\n"
    "enabled channels and prints the RTTTL text, named after the file.\n\n"
    "  --channel N    record channel N (1-16); repeat for more. Default: all\n"
    "                 channels, whose notes then interleave\n"
    "  --from S       start second (default 0)\n"
    "  --seconds N    record N seconds of playing time (default: to the end of the song)\n"
    "  --pdu          also print the Smart Messaging ringtone of the recorded notes\n"
    "                 in hexadecimal, as \"Show PDU\" encodes it (name \"MyTone\")\n";

// A recording longer than a day is a typing error.
constexpr long kMaxSeconds = 24L * 3600;

bool ParseChannels(const std::vector<std::string>& values, OfflineRecordOptions& options, std::string& error)
{
    if (values.empty())
        return true;
    options.bChannelOn.fill(false);
    for (const std::string& v : values) {
        long channel = 0;
        if (!CliParseInt(v, 1, 16, channel)) {
            error = "--channel takes a channel number from 1 to 16, not '" + v + "'";
            return false;
        }
        options.bChannelOn[static_cast<std::size_t>(channel - 1)] = true;
    }
    return true;
}

bool ParseOptions(const CCliArgs& parsed, OfflineRecordOptions& options, std::string& error)
{
    if (!ParseChannels(parsed.Values("--channel"), options, error))
        return false;
    long value = 0;
    if (auto from = parsed.Value("--from")) {
        if (!CliParseInt(*from, 0, kMaxSeconds, value)) {
            error = "--from takes a whole number of seconds, not '" + *from + "'";
            return false;
        }
        options.uFromSecond = static_cast<std::uint32_t>(value);
    }
    if (auto seconds = parsed.Value("--seconds")) {
        if (!CliParseInt(*seconds, 0, kMaxSeconds, value)) {
            error = "--seconds takes a whole number of seconds, not '" + *seconds + "'";
            return false;
        }
        options.nSeconds = value;
    }
    return true;
}

int RunRecord(const std::vector<std::string>& args)
{
    CCliArgs parsed(args, {"--channel", "--from", "--seconds"}, {"--pdu"});
    if (!parsed.Ok())
        return CliUsageError("record", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("record", "expects exactly one FILE");
    OfflineRecordOptions options;
    std::string error;
    if (!ParseOptions(parsed, options, error))
        return CliUsageError("record", error);

    const std::string& path = parsed.Positional()[0];
    CMidiSong song;
    if (!CliLoadSong(path, song, error))
        return CliFailure(error);
    // The tone is named after the file, as opening it in the program names it.
    options.strToneName = std::filesystem::path(path).stem().string();

    OfflineRecording recording;
    COfflineRecorder recorder;
    if (!recorder.Record(song, options, recording))
        return CliFailure(path + ": " + recorder.LastError());
    std::printf("%s\n", recording.strRtttl.c_str());
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
