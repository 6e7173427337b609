// Any text as an .imy file. Whatever the reader accepts, the writer writes, and that
// reads back as the same notes: the format holds every length the list can say.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tonefile/IMelodyFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    std::string error;
    if (!ReadIMelodyFile(text, melody, losses, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (melody.notes.size() > 255 || melody.nTempo < 25 || melody.nTempo > 900)
        std::abort();
    const std::string written = WriteIMelodyFile(melody, losses);
    CToneMelody back;
    if (!ReadIMelodyFile(written, back, losses, error) || back.notes != melody.notes || back.nTempo != melody.nTempo)
        std::abort();
    return 0;
}
