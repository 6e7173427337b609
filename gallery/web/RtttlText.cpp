#include "gallery/web/RtttlText.h"

#include "gallery/names/Utf8Text.h"
#include "ringtone/RtttlWriter.h"

std::string RtttlTextOf(const CDecodedRingtone& tone)
{
    std::string title = ToPrintableUtf8(tone.m_strTitle);
    for (char& c : title)
        if (c == ':')
            c = '_';
    std::string out = RtttlHeader(title, tone.m_nTempo);
    for (const CDecodedNote& note : tone.m_notes) {
        // The decoder takes note values 0 (a pause) to 12 (b) only.
        const int pitch = note.IsPause() ? kRtttlRestPitch : (note.m_byNote - 1) % 12 + 12 * (4 + note.m_byScale);
        AppendRtttlToken(out, kRtttlLengths[note.m_byDuration % kRtttlLengths.size()], pitch, note.m_bySpecifier);
        out += ',';
    }
    return out;
}
