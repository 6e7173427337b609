#include "tonefile/ToneMelody.h"

#include "ringtone/SmartMessaging.h"

namespace {

constexpr unsigned kShortestCode = 5; // 1/32

RingtoneNote WithLength(RingtoneNote note, unsigned durationCode, unsigned specifier)
{
    note.dwSpecifier = specifier << 6;
    note.dwDuration = durationCode << 5;
    return note;
}

std::string Tokens(const std::vector<RingtoneNote>& notes)
{
    std::string text;
    for (const RingtoneNote& note : notes)
        text += (text.empty() ? "" : ",") + RtttlTokenOf(note);
    return text;
}

} // namespace

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

std::vector<RingtoneNote> SayableNotes(const RingtoneNote& note, const char* format, std::vector<ToneLoss>& losses)
{
    const unsigned code = NoteDurationCode(note);
    const unsigned specifier = NoteSpecifierCode(note);
    if (specifier < 2)
        return {note};
    std::vector<RingtoneNote> notes;
    if (specifier == 2) {
        notes.push_back(WithLength(note, code, 1));
        if (code + 2 <= kShortestCode)
            notes.push_back(MakeNote(kRtttlRestPitch, code + 2, 0));
    } else {
        notes.push_back(code < kShortestCode ? WithLength(note, code + 1, 1) : WithLength(note, code, 0));
    }
    // A double-dotted pause is two pauses of the same length in all.
    const bool bSameLength = NotePitch(note) < 0 && specifier == 2 && code + 2 <= kShortestCode;
    if (!bSameLength)
        losses.push_back({ToneLoss::Kind::Changed, RtttlTokenOf(note),
                          std::string(format) + (specifier == 2 ? " has no double dot" : " has no 2/3 length") +
                              ": written " + Tokens(notes)});
    return notes;
}

std::int32_t PlayedTempo(const CToneMelody& melody)
{
    return melody.nTempo > 0 ? melody.nTempo : TempoOfCode(TempoCode(melody.nTempo));
}

double NoteMilliseconds(const RingtoneNote& note, std::int32_t tempo)
{
    constexpr std::uint16_t kTicksPerQuarter = 96;
    return NoteTicks(note, kTicksPerQuarter) * 60000.0 / tempo / kTicksPerQuarter;
}
