// Any text as an RTTTL file of one or more ringtones. Every ringtone the reader
// accepts is written as RTTTL text that the reader takes again, whole: the same
// number of notes or more (a double dot becomes a note and a rest), none left out.
// Fitted to each device, it keeps within the device's budget and range, and the
// device's file is written.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tonefile/DeviceFiles.h"
#include "tonefile/RtttlFile.h"
#include "tonefile/ToneTarget.h"

namespace {

void FitToEveryDevice(const CToneMelody& melody)
{
    for (const ToneTarget& target : ToneTargets()) {
        const CTargetFit fit = FitToTarget(melody, target);
        bool playable = true;
        std::vector<ToneLoss> ignored;
        if ((target.maxNotes > 0 && fit.melody.notes.size() > target.maxNotes) ||
            (target.maxEscItems > 0 && (EscItemsOf(fit.melody, playable) > target.maxEscItems || !playable)) ||
            (target.maxCharacters > 0 && WriteRtttlText(fit.melody, ignored, target.dotPlace).size() > target.maxCharacters))
            std::abort();
        for (const RingtoneNote& note : fit.melody.notes)
            if (NotePitch(note) >= 0 && (NotePitch(note) < target.lowestPitch || NotePitch(note) > target.highestPitch))
                std::abort();
        for (TargetForm form : {target.form, target.otherForm}) {
            std::string bytes;
            std::string error;
            if (!WriteTargetFile(target, form, fit.melody, bytes, ignored, error))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& tone : SplitRtttlFile(text)) {
        CToneMelody melody;
        std::vector<ToneLoss> losses;
        std::string error;
        if (!ReadRtttlTone(tone, melody, losses, error)) {
            if (error.empty())
                std::abort();
            continue;
        }
        if (melody.notes.size() > 255)
            std::abort();
        std::vector<ToneLoss> writing;
        const std::string written = WriteRtttlText(melody, writing);
        CToneMelody back;
        std::vector<ToneLoss> reading;
        if (!ReadRtttlTone(written, back, reading, error))
            std::abort();
        // Only notes past the 255th, which a double dot's rest can push there, go.
        for (const ToneLoss& loss : reading)
            if (loss.strReason != "more than 255 notes")
                std::abort();
        if (back.notes.size() < melody.notes.size() || SplitRtttlFile(written).size() != 1)
            std::abort();
        FitToEveryDevice(melody);
    }
    return 0;
}
