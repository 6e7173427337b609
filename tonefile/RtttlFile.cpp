#include "tonefile/RtttlFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

#include "ringtone/RtttlReader.h"
#include "ringtone/RtttlWriter.h"
#include "ringtone/SmartMessaging.h"
#include "text/Text.h"

namespace {

constexpr std::size_t kMaxRtttlNameCharacters = 10;

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

// RTTTL names are at most 10 characters; longer ones are cut, at a character's end.
std::string CutName(const std::string& name, std::vector<ToneLoss>& losses)
{
    std::string_view rest = name;
    std::size_t characters = 0;
    while (!rest.empty() && characters < kMaxRtttlNameCharacters) {
        std::size_t length = 0;
        (void)DecodeUtf8(rest, length);
        rest.remove_prefix(std::max<std::size_t>(length, 1));
        ++characters;
    }
    if (rest.empty())
        return name;
    const std::string cut = name.substr(0, name.size() - rest.size());
    losses.push_back({ToneLoss::Kind::Ignored, name,
                      "RTTTL names are at most " + std::to_string(kMaxRtttlNameCharacters) +
                          " characters: written \"" + cut + "\""});
    return cut;
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
    return CutName(out, losses);
}

// The octave the header names: the one most dotted notes sound in, so that they need
// no octave digit and read alike wherever a reader takes the dot; without dotted notes
// the one most notes sound in, for the shortest text.
int DefaultOctaveOf(const std::vector<RingtoneNote>& notes)
{
    std::array<int, 8> dotted{};
    std::array<int, 8> all{};
    for (const RingtoneNote& note : notes) {
        const int pitch = NotePitch(note);
        if (pitch < 0 || pitch / 12 >= 8)
            continue;
        ++all[static_cast<std::size_t>(pitch / 12)];
        if (NoteSpecifierCode(note) != 0)
            ++dotted[static_cast<std::size_t>(pitch / 12)];
    }
    const auto& counts = std::any_of(dotted.begin(), dotted.end(), [](int n) { return n > 0; }) ? dotted : all;
    const auto most = std::max_element(counts.begin() + 4, counts.end());
    return *most > 0 ? static_cast<int>(most - counts.begin()) : 5;
}

void AppendNote(std::string& text, const RingtoneNote& note, int defaultOctave, bool bDotBeforeOctave)
{
    if (text.back() != ':')
        text += ',';
    AppendPortableRtttlToken(text, kRtttlLengths[NoteDurationCode(note)], NotePitch(note),
                             static_cast<int>(NoteSpecifierCode(note)), defaultOctave, bDotBeforeOctave);
}

// What other tools write, as this program's reader takes it. The reader keeps reading
// the text box as it always has; files come in through this door.
struct CToneText {
    std::string strName;
    std::map<char, std::string> defaults{{'d', "4"}, {'o', "6"}, {'b', "63"}}; // RTTTL's own defaults
    std::string strNotes;
};

// "name:d=..:notes", ":d=..:notes" or "d=..:notes" (no name); the defaults in any
// order, any missing one as RTTTL defines it.
bool SplitToneText(std::string_view text, CToneText& tone)
{
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos)
        return false;
    std::string_view head = text.substr(0, first);
    std::string_view rest = text.substr(first + 1);
    const std::size_t second = rest.find(':');
    std::string_view defaults;
    if (second != std::string_view::npos) {
        tone.strName = std::string(Trimmed(head));
        defaults = rest.substr(0, second);
        rest.remove_prefix(second + 1);
    } else if (head.find('=') != std::string_view::npos) {
        defaults = head;
    } else {
        return false;
    }
    while (!defaults.empty()) {
        const std::size_t comma = defaults.find(',');
        const std::string_view item = Trimmed(defaults.substr(0, comma));
        const std::size_t equals = item.find('=');
        const std::string_view key = equals == std::string_view::npos ? std::string_view() : Trimmed(item.substr(0, equals));
        if (key.size() == 1) {
            const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
            if (tone.defaults.count(letter))
                tone.defaults[letter] = std::string(Trimmed(item.substr(equals + 1)));
        }
        defaults.remove_prefix(comma == std::string_view::npos ? defaults.size() : comma + 1);
    }
    tone.strNotes = std::string(rest);
    return true;
}

// One note token in the reader's spelling: "h" for b, a flat as the sharp below, the
// dots wherever they stand ("8c6." -> "8c.6"). A token it does not know goes on as it
// is, for the reader to name.
std::string ReaderToken(std::string_view token, int defaultOctave)
{
    static constexpr std::string_view kLetters = "c d ef g a b";
    std::size_t at = 0;
    auto digits = [&] {
        const std::size_t from = at;
        while (at < token.size() && std::isdigit(static_cast<unsigned char>(token[at])))
            ++at;
        return std::string(token.substr(from, at - from));
    };
    auto dots = [&] {
        std::size_t n = 0;
        for (; at < token.size() && token[at] == '.'; ++at)
            ++n;
        return n;
    };
    const std::string length = digits();
    if (at >= token.size())
        return std::string(token);
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(token[at++])));
    if (letter == 'h')
        letter = 'b';
    const std::size_t index = kLetters.find(letter);
    if (letter == 'p' || index == std::string_view::npos || letter == ' ')
        return std::string(token);
    int shift = 0;
    if (at < token.size() && (token[at] == '#' || token[at] == '_'))
        shift = 1, ++at;
    else if (at < token.size() && token[at] == 'b')
        shift = -1, ++at;
    std::size_t dotCount = dots();
    const std::string octaveText = digits();
    dotCount += dots();
    if (at != token.size() || octaveText.size() > 1)
        return std::string(token);
    int octave = octaveText.empty() ? defaultOctave : octaveText[0] - '0';
    int semitone = static_cast<int>(index) + shift;
    if (semitone < 0)
        semitone += 12, --octave;
    else if (semitone > 11)
        semitone -= 12, ++octave;
    std::string out = length + std::string(kRtttlNoteNames[static_cast<std::size_t>(semitone)]);
    out.append(dotCount, '.');
    if (!octaveText.empty() || octave != defaultOctave)
        out += std::to_string(octave);
    return out;
}

std::string ReaderText(const CToneText& tone)
{
    const std::string& octave = tone.defaults.at('o');
    const int defaultOctave = octave.size() == 1 && std::isdigit(static_cast<unsigned char>(octave[0])) ? octave[0] - '0' : 6;
    std::string text = (tone.strName.empty() ? std::string("Tone") : tone.strName) + ":d=" + tone.defaults.at('d') +
                       ",o=" + octave + ",b=" + tone.defaults.at('b') + ":";
    std::string_view notes = tone.strNotes;
    while (!notes.empty()) {
        const std::size_t comma = notes.find(',');
        const std::string_view token = Trimmed(notes.substr(0, comma));
        if (!token.empty())
            text += ReaderToken(token, defaultOctave) + ",";
        notes.remove_prefix(comma == std::string_view::npos ? notes.size() : comma + 1);
    }
    return text;
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
    CToneText tone;
    const bool bSplit = SplitToneText(text, tone);
    CRtttlReader reader(bSplit ? ReaderText(tone) : text, 0);
    const RingtoneSketch sketch = reader.Sketch(false);
    if (!sketch.bHeaderRead) {
        error = sketch.strHeaderError;
        return false;
    }
    out.strName = bSplit ? tone.strName : reader.ToneName();
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

std::string WriteRtttlText(const CToneMelody& melody, std::vector<ToneLoss>& losses, RtttlDotPlace dotPlace)
{
    std::vector<RingtoneNote> notes;
    for (const RingtoneNote& note : melody.notes) {
        const std::vector<RingtoneNote> said = SayableNotes(note, "RTTTL", losses);
        notes.insert(notes.end(), said.begin(), said.end());
    }
    const int octave = DefaultOctaveOf(notes);
    std::string text = RtttlHeader(NameForText(melody.strName, losses), PlayedTempo(melody), octave);
    // No comma after the last note: several readers take one for another note.
    for (const RingtoneNote& note : notes)
        AppendNote(text, note, octave, dotPlace == RtttlDotPlace::BeforeOctave);
    return text;
}
