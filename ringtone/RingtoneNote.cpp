#include "ringtone/RingtoneNote.h"

unsigned NoteDurationCode(const RingtoneNote& note)
{
    return (note.dwDuration >> 5) % 6;
}

unsigned NoteSpecifierCode(const RingtoneNote& note)
{
    return (note.dwSpecifier >> 6) & 3;
}

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
