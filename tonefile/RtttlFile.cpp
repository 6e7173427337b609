#include "tonefile/RtttlFile.h"

#include <algorithm>

#include "ringtone/RtttlReader.h"
#include "ringtone/RtttlWriter.h"
#include "ringtone/SmartMessaging.h"
#include "text/Text.h"

namespace {

constexpr unsigned kShortestCode = 5; // 1/32

bool StartsTone(std::string_view line)
{
    return std::count(line.begin(), line.end(), ':') >= 2;
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// An RTTTL name holds no ":" (the field's end), no control character and only UTF-8:
// an .ott title is bytes of any value.
std::string NameForText(const std::string& name, std::vector<ToneLoss>& losses)
{
    std::string_view rest = Trimmed(name);
    std::string out;
    bool bChanged = false;
    while (!rest.empty()) {
        std::size_t length = 0;
        const char32_t c = DecodeUtf8(rest, length);
        if (length == 0 || c == ':' || c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            out += '_';
            bChanged = true;
            rest.remove_prefix(std::max<std::size_t>(length, 1));
            continue;
        }
        out.append(rest.substr(0, length));
        rest.remove_prefix(length);
    }
    if (out.empty()) {
        out = "Tone";
        bChanged = !name.empty();
    }
    if (bChanged)
        losses.push_back({ToneLoss::Kind::Ignored, name,
                          "RTTTL names hold no \":\", control characters or bytes that are not UTF-8: written \"" +
                              out + "\""});
    return out;
}

RingtoneNote WithSpecifier(RingtoneNote note, unsigned specifier, unsigned durationCode)
{
    note.dwSpecifier = specifier << 6;
    note.dwDuration = durationCode << 5;
    return note;
}

// The tokens of one note in plain and single-dotted lengths.
void WriteNote(const RingtoneNote& note, std::string& text, std::vector<ToneLoss>& losses)
{
    const unsigned code = NoteDurationCode(note);
    const unsigned specifier = NoteSpecifierCode(note);
    const bool bPause = NotePitch(note) < 0;
    std::string written;
    if (specifier == 2) {
        // 1 + 1/2 + 1/4: the dotted note, and the quarter it lacks as a rest.
        written = RtttlTokenOf(WithSpecifier(note, 1, code));
        if (code + 2 <= kShortestCode)
            written += "," + RtttlTokenOf(MakeNote(-1, code + 2, 0));
    } else if (specifier == 3) {
        // 2/3 is nearest 3/4, the next shorter length dotted.
        written = code < kShortestCode ? RtttlTokenOf(WithSpecifier(note, 1, code + 1))
                                       : RtttlTokenOf(WithSpecifier(note, 0, code));
    } else {
        written = RtttlTokenOf(note);
    }
    if (specifier >= 2) {
        const bool bSameLength = bPause && specifier == 2 && code + 2 <= kShortestCode;
        if (!bSameLength)
            losses.push_back({ToneLoss::Kind::Changed, RtttlTokenOf(note),
                              std::string(specifier == 2 ? "RTTTL has no double dot" : "RTTTL has no 2/3 length") +
                                  ": written " + written});
    }
    text += written + ",";
}

} // namespace

std::vector<std::string> SplitRtttlFile(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    const std::vector<std::string_view> lines = Lines(text);
    const auto starts = std::count_if(lines.begin(), lines.end(), StartsTone);
    std::vector<std::string> tones;
    if (starts <= 1) {
        if (!Trimmed(text).empty())
            tones.emplace_back(text);
        return tones;
    }
    for (std::string_view line : lines) {
        if (Trimmed(line).empty())
            continue;
        if (StartsTone(line) || tones.empty())
            tones.emplace_back(line);
        else
            tones.back().append("\n").append(line);
    }
    return tones;
}

std::string RtttlNameOf(std::string_view text)
{
    return std::string(Trimmed(text.substr(0, text.find(':'))));
}

bool ReadRtttlTone(const std::string& text, CToneMelody& out, std::vector<ToneLoss>& losses, std::string& error)
{
    CRtttlReader reader(text, 0);
    const RingtoneSketch sketch = reader.Sketch(false);
    if (!sketch.bHeaderRead) {
        error = sketch.strHeaderError;
        return false;
    }
    out.strName = reader.ToneName();
    out.nTempo = reader.Tempo();
    out.notes = reader.Notes();
    if (out.nTempo <= 0)
        losses.push_back({ToneLoss::Kind::Changed, "b=" + std::to_string(out.nTempo),
                          "a tempo is at least one beat a minute: played as b=" +
                              std::to_string(TempoOfCode(TempoCode(out.nTempo)))});
    for (const DroppedToken& dropped : reader.Dropped())
        losses.push_back({ToneLoss::Kind::Dropped, dropped.strToken, dropped.strReason});
    return true;
}

std::string WriteRtttlText(const CToneMelody& melody, std::vector<ToneLoss>& losses)
{
    std::string text = RtttlHeader(NameForText(melody.strName, losses), TempoOfCode(TempoCode(melody.nTempo)));
    const std::size_t notesAt = text.size();
    for (const RingtoneNote& note : melody.notes)
        WriteNote(note, text, losses);
    // Other readers take a comma after the last note for one more note (gnokii adds a
    // quarter rest); the program's reader needs it after a single note only.
    if (std::count(text.begin() + static_cast<std::ptrdiff_t>(notesAt), text.end(), ',') > 1)
        text.pop_back();
    return text;
}
