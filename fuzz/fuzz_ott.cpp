// Any bytes as an .ott file. Whatever the reader accepts is a list the writer takes,
// and what the writer builds (cut to one message) reads back as the notes it kept.

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
    CToneMelody back;
    if (!ReadOttFile(octets, back, losses, error) || back.notes.size() > melody.notes.size())
        std::abort();
    for (std::size_t i = 0; i < back.notes.size(); ++i)
        if (!(back.notes[i] == melody.notes[i]))
            std::abort();
    return 0;
}
