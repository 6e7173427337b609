#include "tonefile/ToneMelody.h"

#include <array>

#include "ringtone/RtttlNote.h"

namespace {

constexpr std::array<int, 6> kRtttlLengths = {1, 2, 4, 8, 16, 32}; // by duration code

unsigned DurationCode(const RingtoneNote& note)
{
    return (note.dwDuration >> 5) % 6;
}

} // namespace

int NotePitch(const RingtoneNote& note)
{
    const unsigned name = note.dwNote >> 4;
    if (name == 0 || name > 12)
        return -1;
    const unsigned octave = 4 + ((note.dwScale >> 6) & 3);
    return static_cast<int>(name - 1 + 12 * octave);
}

RingtoneNote MakeNote(int pitch, unsigned durationCode, unsigned specifierCode)
{
    RingtoneNote note;
    note.dwDuration = (durationCode % 6) << 5;
    note.dwSpecifier = (specifierCode & 3) << 6;
    if (pitch >= 0) {
        note.dwNote = static_cast<std::uint32_t>(pitch % 12 + 1) << 4;
        note.dwScale = static_cast<std::uint32_t>((pitch / 12 - 4) & 3) << 6;
    }
    return note;
}

std::string NoteToken(const RingtoneNote& note)
{
    std::string token = std::to_string(kRtttlLengths[DurationCode(note)]);
    const int pitch = NotePitch(note);
    token += pitch < 0 ? std::string("p") : std::string(kRtttlNoteNames[static_cast<std::size_t>(pitch % 12)]);
    token.append((note.dwSpecifier >> 6) & 3, '.');
    if (pitch >= 0)
        token += std::to_string(pitch / 12);
    return token;
}

std::uint32_t NoteTicks(const RingtoneNote& note, std::uint16_t ticksPerQuarter)
{
    const std::uint32_t whole = 4u * ticksPerQuarter;
    const std::uint32_t plain = whole >> DurationCode(note);
    switch ((note.dwSpecifier >> 6) & 3) {
    case 1: return plain + plain / 2;
    case 2: return plain + plain / 2 + plain / 4;
    case 3: return plain * 2 / 3;
    default: return plain;
    }
}
