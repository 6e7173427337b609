#include "tonefile/ToneMelody.h"

std::uint32_t NoteTicks(const RingtoneNote& note, std::uint16_t ticksPerQuarter)
{
    const std::uint32_t whole = 4u * ticksPerQuarter;
    const std::uint32_t plain = whole >> NoteDurationCode(note);
    switch (NoteSpecifierCode(note)) {
    case 1: return plain + plain / 2;
    case 2: return plain + plain / 2 + plain / 4;
    case 3: return plain * 2 / 3;
    default: return plain;
    }
}
