// Any bytes as an .ott file. Whatever the reader accepts is a list the writer takes,
// and what the writer builds (cut to one message) reads back as the notes it kept, in
// the lengths every reader says alike (a double dot as a dot and a rest, a 2/3 length
// as the next shorter one).

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "tonefile/OttFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    std::string error;
    if (!ReadOttFile(std::span<const std::uint8_t>(data, size), melody, losses, error)) {
        if (error.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    if (melody.notes.size() > 255)
        std::abort();
    std::vector<std::uint8_t> octets;
    if (!WriteOttFile(melody, true, octets, losses, error) || octets.size() > 130)
        std::abort();
    std::vector<RingtoneNote> written;
    for (const RingtoneNote& note : melody.notes) {
        const std::vector<RingtoneNote> said = SayableNotes(note, "an .ott", losses);
        written.insert(written.end(), said.begin(), said.end());
    }
    CToneMelody back;
    if (!ReadOttFile(octets, back, losses, error) || back.notes.size() > written.size())
        std::abort();
    for (std::size_t i = 0; i < back.notes.size(); ++i)
        if (!(back.notes[i] == written[i]))
            std::abort();
    return 0;
}
