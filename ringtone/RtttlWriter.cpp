#include "ringtone/RtttlWriter.h"

#include "ringtone/RtttlNote.h"

std::string RtttlHeader(std::string_view name, std::int64_t tempo)
{
    return RtttlHeader(name, tempo, 5);
}

std::string RtttlHeader(std::string_view name, std::int64_t tempo, int octave)
{
    std::string header(name);
    header += ":d=4,o=";
    header += std::to_string(octave);
    header += ",b=";
    header += std::to_string(tempo);
    header += ':';
    return header;
}

std::string RtttlPitchText(int pitch)
{
    std::string text(kRtttlNoteNames[static_cast<std::size_t>(pitch % 12)]);
    text += std::to_string(pitch / 12);
    return text;
}

void AppendRtttlToken(std::string& text, int length, int pitch, int dots)
{
    text += std::to_string(length);
    text += pitch < 0 ? std::string_view("p") : kRtttlNoteNames[static_cast<std::size_t>(pitch % 12)];
    text.append(static_cast<std::size_t>(dots), '.');
    if (pitch >= 0)
        text += std::to_string(pitch / 12);
}

void AppendPortableRtttlToken(std::string& text, int length, int pitch, int dots, int defaultOctave,
                              bool bDotBeforeOctave)
{
    text += std::to_string(length);
    text += pitch < 0 ? std::string_view("p") : kRtttlNoteNames[static_cast<std::size_t>(pitch % 12)];
    if (bDotBeforeOctave)
        text.append(static_cast<std::size_t>(dots), '.');
    if (pitch >= 0 && pitch / 12 != defaultOctave)
        text += std::to_string(pitch / 12);
    if (!bDotBeforeOctave)
        text.append(static_cast<std::size_t>(dots), '.');
}

std::string RtttlTokenOf(const RingtoneNote& note)
{
    std::string token;
    AppendRtttlToken(token, kRtttlLengths[NoteDurationCode(note)], NotePitch(note),
                     static_cast<int>(NoteSpecifierCode(note)));
    return token;
}
