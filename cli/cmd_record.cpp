#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "engine/FaithfulCapture.h"
#include "engine/MidiEngine.h"
#include "engine/OfflineRecorder.h"
#include "ringtone/SmartMessaging.h"
#include "song/MelodyFinder.h"
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

bool ParseChannels(const std::vector<std::string>& values, OfflineRecordOptions& options, std::string& error)
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

bool ParseOptions(const CCommandArgs& parsed, OfflineRecordOptions& options, std::string& error)
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

// The channel the melody finder ranks first; false when only percussion has notes.
bool ChooseTuneChannel(const CSongNotes& notes, OfflineRecordOptions& options, std::string& error)
{
    const std::vector<MelodyCandidate> ranked = RankMelodyChannels(notes);
    if (ranked.empty() || ranked.front().dScore <= 0) {
        error = "no channel but the percussion channel has notes, so none carries a tune";
        return false;
    }
    options.bChannelOn.fill(false);
    options.bChannelOn[static_cast<std::size_t>(ranked.front().nChannel)] = true;
    return true;
}

// Where the recording starts: the slider's second, or with --from auto the bar
// where the enabled channels' first note sounds.
std::uint64_t FromTick(const CSongNotes& notes, const OfflineRecordOptions& options, bool fromTune)
{
    return fromTune ? TuneStartTick(notes, options.bChannelOn) : notes.TickAtSliderSecond(options.uFromSecond);
}

// The faithful capture of the same channels and span, refused where the player
// refuses the song.
bool RecordFaithful(const CMidiSong& song, const CSongNotes& notes, const OfflineRecordOptions& options,
                    const CCommandArgs& parsed, std::string& text, std::string& error)
{
    std::array<std::string, CMidiEngine::kChannels> labels;
    std::uint32_t seconds = 0;
    if (PrepareResult result = ScanAsThePlayer(song, labels, seconds); result != PrepareResult::kOk) {
        error = PrepareResultText(result);
        return false;
    }
    FaithfulCaptureOptions faithful;
    faithful.bChannelOn = options.bChannelOn;
    faithful.qwFromTick = FromTick(notes, options, parsed.Value("--from") == "auto");
    if (options.nSeconds >= 0)
        faithful.qwToTick = notes.TickAfterSeconds(faithful.qwFromTick, static_cast<double>(options.nSeconds));
    faithful.strToneName = options.strToneName;
    faithful.bFitOneMessage = parsed.Flag("--fit");
    const FaithfulCaptureResult result = CaptureFaithful(notes, faithful);
    text = result.strRtttl;
    if (faithful.bFitOneMessage)
        std::fprintf(stderr, "zorvattone-cli: %d notes, %zu of %zu octets%s\n", result.nNotes, result.nOctets,
                     kMaxRingtoneOctets, result.bCutToFit ? ", ended on a phrase to fit one message" : "");
    return true;
}

int RunRecord(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--channel", "--from", "--seconds"}, {"--pdu", "--faithful", "--fit"});
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
    if (SongFileError loadError; !LoadSongFile(path, song, loadError))
        return CliFailure(loadError.strMessage);
    // The tone is named after the file, as opening it in the program names it.
    options.strToneName = std::filesystem::path(path).stem().string();
    const CSongNotes notes(song);
    const std::vector<std::string> channels = parsed.Values("--channel");
    if (channels.size() == 1 && channels[0] == "auto" && !ChooseTuneChannel(notes, options, error))
        return CliFailure(path + ": " + error);
    if (parsed.Flag("--faithful")) {
        std::string text;
        if (!RecordFaithful(song, notes, options, parsed, text, error))
            return CliFailure(path + ": " + error);
        std::printf("%s\n", text.c_str());
        return kExitOk;
    }

    if (parsed.Value("--from") == "auto")
        options.uFromSecond = notes.SliderSecondAt(FromTick(notes, options, true));
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
