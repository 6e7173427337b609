#include "tonefile/IMelodyFile.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "text/Text.h"

namespace {

constexpr int kMinBeat = 25;
constexpr int kMaxBeat = 900;
constexpr int kDefaultBeat = 120;
constexpr int kDefaultOctave = 4;   // iMelody's, the program's octave 5
constexpr int kOctaveOffset = 1;    // program octave = iMelody octave + 1
constexpr std::size_t kLineOctets = 75;
constexpr const char* kCrLf = "\r\n";

// By semitone: iMelody's spelling (sharps as "#c").
constexpr std::array<std::string_view, 12> kNames = {"c", "#c", "d", "#d", "e", "f", "#f", "g", "#g", "a", "#a", "b"};
constexpr std::array<char, 4> kSpecifiers = {'\0', '.', ':', ';'};

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Folded(const std::string& line)
{
    std::string out;
    std::size_t at = 0;
    std::size_t room = kLineOctets;
    while (line.size() - at > room) {
        out.append(line, at, room).append(kCrLf).append(" ");
        at += room;
        room = kLineOctets - 1;
    }
    return out.append(line, at, std::string::npos).append(kCrLf);
}

std::string NoteItem(const RingtoneNote& note, int& octave)
{
    std::string item;
    const int pitch = NotePitch(note);
    if (pitch < 0) {
        item = "r";
    } else {
        const int noteOctave = pitch / 12 - kOctaveOffset;
        if (noteOctave != kDefaultOctave || octave != kDefaultOctave)
            item = "*" + std::to_string(noteOctave);
        octave = noteOctave;
        item += kNames[static_cast<std::size_t>(pitch % 12)];
    }
    item += static_cast<char>('0' + (note.dwDuration >> 5) % 6);
    if (const char specifier = kSpecifiers[(note.dwSpecifier >> 6) & 3])
        item += specifier;
    return item;
}

// One field's lines after unfolding: a line break followed by a blank or a tab
// continues the line before it.
std::vector<std::string> UnfoldedLines(std::string_view text)
{
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c != '\n') {
            lines.back().push_back(c);
            continue;
        }
        if (i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t'))
            ++i; // folded: the blank is not content
        else
            lines.emplace_back();
    }
    for (std::string& line : lines)
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    return lines;
}

class CMelodyParser {
public:
    CMelodyParser(std::string_view melody, CToneMelody& out, std::vector<ToneLoss>& losses, std::string& error)
        : m_melody(melody), m_out(out), m_losses(losses), m_error(error)
    {
    }

    bool Parse()
    {
        while (m_at < m_melody.size()) {
            if (!Item())
                return false;
        }
        if (m_bInRepeat)
            return Fail("a repeat block \"(\" is not closed");
        if (m_beyond > 0)
            m_losses.push_back({ToneLoss::Kind::Dropped, std::to_string(m_beyond) + " notes",
                                "more than " + std::to_string(kMaxRingtoneNotes) + " notes"});
        return true;
    }

private:
    bool Fail(const std::string& what)
    {
        m_error = "MELODY: " + what + " (at character " + std::to_string(m_at + 1) + ")";
        return false;
    }
    bool Next(std::string_view word)
    {
        if (m_melody.substr(m_at, word.size()) != word)
            return false;
        m_at += word.size();
        return true;
    }
    void IgnoreOnce(bool& bSaid, const std::string& what)
    {
        if (!bSaid)
            m_losses.push_back({ToneLoss::Kind::Ignored, std::string(), what});
        bSaid = true;
    }
    // Digits of at most `maxDigits`; false when there are none.
    bool Number(unsigned maxDigits, unsigned long& value)
    {
        const std::size_t start = m_at;
        value = 0;
        while (m_at < m_melody.size() && std::isdigit(static_cast<unsigned char>(m_melody[m_at])) &&
               m_at - start < maxDigits)
            value = value * 10 + static_cast<unsigned long>(m_melody[m_at++] - '0');
        return m_at > start;
    }

    bool Item()
    {
        const char c = m_melody[m_at];
        if (c == ' ' || c == '\t') {
            ++m_at;
            return true;
        }
        for (std::string_view word : {"ledon", "ledoff", "vibeon", "vibeoff", "backon", "backoff"})
            if (Next(word)) {
                IgnoreOnce(m_bSaidEffects, "lights, vibration and backlight are left out");
                return true;
            }
        if (c == 'V')
            return Volume();
        if (c == '(') {
            if (m_bInRepeat)
                return Fail("a repeat block inside a repeat block");
            ++m_at;
            m_bInRepeat = true;
            m_repeatStart = m_out.notes.size();
            m_beyondAtRepeat = m_beyond;
            return true;
        }
        if (c == '@')
            return RepeatEnd();
        if (c == ')')
            return Fail("\")\" without its \"(...@n\"");
        if (c == '*') {
            const std::size_t start = m_at++;
            unsigned long octave = 0;
            if (!Number(1, octave) || octave > 8) {
                m_at = start;
                return Fail("an octave prefix is *0 to *8");
            }
            m_octave = static_cast<int>(octave);
            return true;
        }
        return Note();
    }

    bool Volume()
    {
        const std::size_t start = m_at++;
        unsigned long level = 0;
        if (!Next("+") && !Next("-") && (!Number(2, level) || level > 15)) {
            m_at = start;
            return Fail("a volume is V0 to V15, V+ or V-");
        }
        IgnoreOnce(m_bSaidVolume, "volume changes are left out");
        return true;
    }

    bool RepeatEnd()
    {
        if (!m_bInRepeat)
            return Fail("\"@\" outside a repeat block");
        ++m_at;
        unsigned long count = 0;
        if (!Number(9, count))
            return Fail("a repeat count is a number");
        if (Next("V+") || Next("V-"))
            IgnoreOnce(m_bSaidVolume, "volume changes are left out");
        if (!Next(")"))
            return Fail("a repeat block ends \"@n)\"");
        m_bInRepeat = false;
        if (count == 0)
            m_losses.push_back({ToneLoss::Kind::Ignored, std::string(), "a block repeated for ever is played once"});
        // The block is in the list once already; the rest of the count appends it
        // again, never past the list's limit.
        const std::vector<RingtoneNote> block(m_out.notes.begin() + static_cast<std::ptrdiff_t>(m_repeatStart),
                                              m_out.notes.end());
        // The notes the block holds, those past the list's limit counted too.
        const std::size_t blockNotes = block.size() + (m_beyond - m_beyondAtRepeat);
        for (unsigned long round = 1; round < count && blockNotes > 0; ++round) {
            const std::size_t room = static_cast<std::size_t>(kMaxRingtoneNotes) - m_out.notes.size();
            if (blockNotes > room) {
                const std::size_t taken = std::min(room, block.size());
                m_out.notes.insert(m_out.notes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(taken));
                m_beyond += blockNotes - taken + (count - round - 1) * blockNotes;
                break;
            }
            m_out.notes.insert(m_out.notes.end(), block.begin(), block.end());
        }
        return true;
    }

    bool Note()
    {
        const std::size_t start = m_at;
        int semitone = -1;
        int octave = m_octave;
        if (Next("r")) {
            semitone = -1;
        } else {
            int shift = 0;
            if (Next("#"))
                shift = 1;
            else if (Next("&"))
                shift = -1;
            static constexpr std::string_view kLetters = "cdefgab";
            static constexpr std::array<int, 7> kSemitones = {0, 2, 4, 5, 7, 9, 11};
            const std::size_t letter =
                m_at < m_melody.size() ? kLetters.find(static_cast<char>(std::tolower(
                                             static_cast<unsigned char>(m_melody[m_at]))))
                                       : std::string_view::npos;
            if (letter == std::string_view::npos)
                return Fail("\"" + std::string(m_melody.substr(start, m_at - start + 1)) + "\" is not a note");
            ++m_at;
            semitone = kSemitones[letter] + shift;
            // The format's sharps and flats: #c #d #f #g #a, &d &e &g &a &b.
            const bool bSpelled = shift == 0 || (shift == 1 && letter != 2 && letter != 6) ||
                                  (shift == -1 && letter != 0 && letter != 3);
            if (!bSpelled)
                return Fail("\"" + std::string(m_melody.substr(start, m_at - start)) + "\" is not a note");
        }
        unsigned long duration = 0;
        const std::size_t durationAt = m_at;
        if (!Number(1, duration) || duration > 5) {
            m_at = durationAt;
            return Fail("a note's duration is 0 to 5");
        }
        unsigned specifier = 0;
        if (m_at < m_melody.size()) {
            const auto* found = std::find(kSpecifiers.begin() + 1, kSpecifiers.end(), m_melody[m_at]);
            if (found != kSpecifiers.end()) {
                specifier = static_cast<unsigned>(found - kSpecifiers.begin());
                ++m_at;
            }
        }
        const std::string item(m_melody.substr(start, m_at - start));
        if (semitone >= 0) {
            const int programOctave = octave + kOctaveOffset;
            if (programOctave < 4 || programOctave > 7) {
                m_losses.push_back({ToneLoss::Kind::Dropped, "*" + std::to_string(octave) + item,
                                    "octave *" + std::to_string(octave) + " is outside *3-*6"});
                return true;
            }
        }
        const int pitch = semitone < 0 ? -1 : (octave + kOctaveOffset) * 12 + semitone;
        if (m_out.notes.size() >= static_cast<std::size_t>(kMaxRingtoneNotes))
            ++m_beyond;
        else
            m_out.notes.push_back(MakeNote(pitch, static_cast<unsigned>(duration), specifier));
        return true;
    }

    std::string_view m_melody;
    CToneMelody& m_out;
    std::vector<ToneLoss>& m_losses;
    std::string& m_error;
    std::size_t m_at = 0;
    int m_octave = kDefaultOctave;
    bool m_bInRepeat = false;
    std::size_t m_repeatStart = 0;
    std::size_t m_beyond = 0;
    std::size_t m_beyondAtRepeat = 0;
    bool m_bSaidVolume = false;
    bool m_bSaidEffects = false;
};

bool ReadBeat(std::string_view value, CToneMelody& out, std::vector<ToneLoss>& losses, std::string& error)
{
    value = Trimmed(value);
    if (value.empty() || value.size() > 6 || value.find_first_not_of("0123456789") != std::string_view::npos) {
        error = "BEAT:" + std::string(value) + " is not a number of beats per minute";
        return false;
    }
    const int beat = std::stoi(std::string(value));
    out.nTempo = std::clamp(beat, kMinBeat, kMaxBeat);
    if (out.nTempo != beat)
        losses.push_back({ToneLoss::Kind::Changed, "BEAT:" + std::string(value),
                          "a beat is 25-900: played at " + std::to_string(out.nTempo)});
    return true;
}

} // namespace

std::string WriteIMelodyFile(const CToneMelody& melody, std::vector<ToneLoss>& losses)
{
    std::string name;
    for (char c : melody.strName)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            name += c;
    const int beat = std::clamp(melody.nTempo, kMinBeat, kMaxBeat);
    if (beat != melody.nTempo)
        losses.push_back({ToneLoss::Kind::Changed, "b=" + std::to_string(melody.nTempo),
                          "iMelody's beat is 25-900: written " + std::to_string(beat)});
    std::string out = std::string("BEGIN:IMELODY") + kCrLf + "VERSION:1.2" + kCrLf + "FORMAT:CLASS1.0" + kCrLf;
    if (!name.empty())
        out += Folded("NAME:" + name);
    out += "BEAT:" + std::to_string(beat) + kCrLf;
    std::string line = "MELODY:";
    int octave = kDefaultOctave;
    for (const RingtoneNote& note : melody.notes)
        line += NoteItem(note, octave);
    out += Folded(line);
    return out + "END:IMELODY" + kCrLf;
}

bool ReadIMelodyFile(std::string_view text, CToneMelody& out, std::vector<ToneLoss>& losses, std::string& error)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    out = {};
    out.nTempo = kDefaultBeat;
    bool bBegun = false;
    bool bEnded = false;
    bool bMelody = false;
    for (const std::string& line : UnfoldedLines(text)) {
        if (Trimmed(line).empty())
            continue;
        const std::size_t colon = line.find(':');
        const std::string field = Lower(Trimmed(std::string_view(line).substr(0, colon)));
        const std::string_view value = colon == std::string::npos ? std::string_view()
                                                                  : std::string_view(line).substr(colon + 1);
        if (!bBegun) {
            if (field != "begin" || Lower(Trimmed(value)) != "imelody") {
                error = "not an iMelody file: it does not begin with BEGIN:IMELODY";
                return false;
            }
            bBegun = true;
            continue;
        }
        if (field == "end" && Lower(Trimmed(value)) == "imelody") {
            bEnded = true;
            break;
        }
        if (colon == std::string::npos) {
            error = "the line \"" + line.substr(0, 40) + "\" is not a field";
            return false;
        }
        if (field == "name") {
            out.strName = std::string(Trimmed(value));
        } else if (field == "beat") {
            if (!ReadBeat(value, out, losses, error))
                return false;
        } else if (field == "style") {
            const std::string style = Lower(Trimmed(value));
            if (style != "s0" && style != "0")
                losses.push_back({ToneLoss::Kind::Ignored, "STYLE:" + std::string(Trimmed(value)),
                                  "only the natural style (S0) is kept"});
        } else if (field == "volume") {
            const std::string volume = Lower(Trimmed(value));
            if (volume != "v7" && volume != "7")
                losses.push_back({ToneLoss::Kind::Ignored, "VOLUME:" + std::string(Trimmed(value)),
                                  "the volume is left out"});
        } else if (field == "melody") {
            if (bMelody) {
                error = "the file holds a second MELODY";
                return false;
            }
            bMelody = true;
            CMelodyParser parser(Trimmed(value), out, losses, error);
            if (!parser.Parse())
                return false;
        }
        // VERSION, FORMAT, COMPOSER, COPYRIGHT and extensions say nothing of the notes.
    }
    if (!bBegun) {
        error = "not an iMelody file: it does not begin with BEGIN:IMELODY";
        return false;
    }
    if (!bMelody) {
        error = "the file holds no MELODY";
        return false;
    }
    if (!bEnded) {
        error = "the file ends before END:IMELODY: it is cut short";
        return false;
    }
    return true;
}
