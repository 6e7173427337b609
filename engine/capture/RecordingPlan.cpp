#include "engine/capture/RecordingPlan.h"

#include "engine/capture/FaithfulCapture.h"
#include "engine/capture/OfflineRecorder.h"
#include "melody/MelodyFinder.h"
#include "song/SongNotes.h"

bool ChooseTuneChannel(const CSongNotes& notes, std::array<bool, kMidiChannels>& channelOn, std::string& error)
{
    const std::vector<MelodyCandidate> ranked = RankMelodyChannels(notes);
    if (ranked.empty() || ranked.front().dScore <= 0) {
        error = "no channel but the percussion channel has notes, so none carries a tune";
        return false;
    }
    channelOn.fill(false);
    channelOn[static_cast<std::size_t>(ranked.front().nChannel)] = true;
    return true;
}

bool RecordByPlan(const CMidiSong& song, const CSongNotes& notes, const RecordingPlan& plan, RecordingOutcome& out,
                  std::string& error)
{
    const std::uint64_t fromTick =
        plan.bFromTune ? TuneStartTick(notes, plan.bChannelOn) : notes.TickAtSliderSecond(plan.uFromSecond);
    out.uFromSecond = plan.bFromTune ? notes.SliderSecondAt(fromTick) : plan.uFromSecond;
    if (plan.bKeepRhythm) {
        // Refused where the player refuses the song, as the other way is.
        std::array<std::string, kMidiChannels> labels;
        std::uint32_t seconds = 0;
        if (const PrepareResult result = ScanAsThePlayer(song, labels, seconds); result != PrepareResult::kOk) {
            error = PrepareResultText(result);
            return false;
        }
        FaithfulCaptureOptions options;
        options.bChannelOn = plan.bChannelOn;
        options.qwFromTick = fromTick;
        if (plan.nSeconds >= 0)
            options.qwToTick = notes.TickAfterSeconds(fromTick, static_cast<double>(plan.nSeconds));
        options.strToneName = plan.strToneName;
        options.bFitOneMessage = plan.bFitOneMessage;
        const FaithfulCaptureResult captured = CaptureFaithful(notes, options);
        out.strRtttl = captured.strRtttl;
        out.nNotes = captured.nNotes;
        out.nOctets = captured.nOctets;
        out.bCutToFit = captured.bCutToFit;
        out.qwEndTick = captured.qwEndTick;
        return true;
    }
    OfflineRecordOptions options;
    options.bChannelOn = plan.bChannelOn;
    options.uFromSecond = out.uFromSecond;
    options.nSeconds = plan.nSeconds;
    options.strToneName = plan.strToneName;
    OfflineRecording recording;
    COfflineRecorder recorder;
    if (!recorder.Record(song, options, recording)) {
        error = recorder.LastError();
        return false;
    }
    out.strRtttl = std::move(recording.strRtttl);
    out.notes = std::move(recording.notes);
    out.nTempo = recording.nTempo;
    return true;
}
