// Any text as an RTTTL file of one or more ringtones. Every ringtone the reader
// accepts is written as RTTTL text that the reader takes again, whole: the same
// number of notes or more (a double dot becomes a note and a rest), none left out.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tonefile/RtttlFile.h"

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
    }
    return 0;
}
