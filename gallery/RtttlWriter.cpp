#include "gallery/RtttlWriter.h"

#include <array>
#include <string_view>

#include "gallery/names/Utf8Text.h"
#include "ringtone/RtttlNote.h"

namespace {

// RTTTL durations by the 3-bit code: whole, half, quarter, 1/8, 1/16, 1/32.
constexpr std::array<int, 6> kDurations = {1, 2, 4, 8, 16, 32};

} // namespace

std::string RtttlTextOf(const CDecodedRingtone& tone)
{
    std::string title = ToPrintableUtf8(tone.m_strTitle);
    for (char& c : title)
        if (c == ':')
            c = '_';
    std::string out = title + ":d=4,o=5,b=" + std::to_string(tone.m_nTempo) + ":";
    for (const CDecodedNote& note : tone.m_notes) {
        out += std::to_string(kDurations[note.m_byDuration % kDurations.size()]);
        // The decoder takes note values 0 (a pause) to 12 (b) only.
        out += note.IsPause() ? std::string_view("p") : kRtttlNoteNames[(note.m_byNote - 1u) % 12];
        out.append(note.m_bySpecifier, '.');
        if (!note.IsPause())
            out += std::to_string(4 + note.m_byScale);
        out += ',';
    }
    return out;
}
