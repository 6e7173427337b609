
#include "ringtone/RtttlReader.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "ringtone/RtttlNumber.h"
#include "ringtone/SmartMessaging.h"
#include "text/Text.h"

namespace {

constexpr std::uint32_t kMaxTicks = 0x0FFFFFFF; // the longest a MIDI delta can say

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of a trimmed "d=", "o=" or "b=" section: the letter (either case), the
// "=", and what follows; blanks may stand around the "=".
bool SectionValue(std::string_view section, char letter, std::string_view& value)
{
    if (section.empty() || (section[0] != letter && section[0] != letter - 'a' + 'A'))
        return false;
    std::string_view rest = Trimmed(section.substr(1));
    if (rest.empty() || rest[0] != '=')
        return false;
    value = Trimmed(rest.substr(1));
    return true;
}

bool TicksOf(std::int32_t duration, std::uint16_t ticksPerQuarter, std::uint32_t& ticks, std::uint16_t& code)
{
    const std::uint32_t t = ticksPerQuarter;
    switch (duration) {
    case 1: ticks = 4 * t; code = 5; return true;
    case 2: ticks = 2 * t; code = 4; return true;
    case 4: ticks = t; code = 3; return true;
    case 8: ticks = t / 2; code = 2; return true;
    case 16: ticks = t / 4; code = 1; return true;
    case 32: ticks = t / 8; code = 0; return true;
    default: return false;
    }
}

} // namespace

CRtttlReader::CRtttlReader(std::string text, std::uint16_t ticksPerQuarter)
    : m_ticksPerQuarter((ticksPerQuarter == 0 || (ticksPerQuarter & 0x8000) != 0) ? kDefaultTicksPerQuarter
                                                                                   : ticksPerQuarter),
      m_text(std::move(text))
{
}

bool CRtttlReader::NextSection(std::string& out)
{
    if (m_state < kFirstNote) {
        std::size_t pos = m_text.find((m_state == kName || m_state == kTempo) ? ':' : ',');
        if (pos == std::string::npos)
            return false;
        // Blanks, tabs and line ends around a section or token are layout, not content:
        // a text typed over several lines, or with a blank after each comma, keeps every note.
        std::string_view section = Trimmed(std::string_view(m_text).substr(0, pos));
        if (m_state == kName) {
            if (section.empty())
                return false;
            out = section;
        } else {
            static constexpr char kLetters[] = {'d', 'o', 'b'};
            std::string_view value;
            if (!SectionValue(section, kLetters[m_state - kDuration], value))
                return false;
            out = value;
            std::int32_t number = RtttlAtoi(value);
            if (m_state == kDuration)
                m_defaultDuration = number;
            else if (m_state == kOctave)
                m_defaultOctave = number;
            else
                m_tempo = number;
        }
        m_text.erase(0, pos + 1);
        ++m_state;
        return true;
    }
    if (m_state == kEnd)
        return false;
    // Empty tokens (",," or ", ,") are skipped: taken as a token, one would swallow
    // the rest of the text.
    for (;;) {
        std::size_t pos = m_text.find(',');
        std::string token(Trimmed(std::string_view(m_text).substr(0, pos)));
        if (pos == std::string::npos) {
            if (m_state == kFirstNote) {
                // A single note needs a comma after it. What is left is kept, trimmed,
                // so that the caller can name it.
                m_text = std::move(token);
                return false;
            }
            m_text.clear();
            m_state = kEnd;
            if (token.empty())
                return false;
            out = std::move(token); // the last note needs no comma
            return true;
        }
        m_text.erase(0, pos + 1);
        if (!token.empty()) {
            out = std::move(token);
            m_state = kNextNote;
            return true;
        }
    }
}

bool CRtttlReader::ParseNote(const std::string& token, RtttlNote& note, DroppedToken* pWhy) const
{
    auto why = [&](DroppedToken::Reason reason, std::string text) {
        if (pWhy)
            *pWhy = {token, reason, std::move(text)};
    };
    std::string rest = token;
    std::transform(rest.begin(), rest.end(), rest.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });

    std::int32_t duration = m_defaultDuration;
    std::size_t digits = 0;
    if (!rest.empty() && IsDigit(rest[0])) {
        digits = (rest.size() > 1 && IsDigit(rest[1])) ? 2 : 1;
        duration = RtttlAtoi(std::string_view(rest).substr(0, digits));
        rest.erase(0, digits);
    }
    std::size_t nameLength = (rest.size() > 1 && rest[1] == '#') ? 2 : std::min<std::size_t>(rest.size(), 1);
    std::string name = rest.substr(0, nameLength);
    rest.erase(0, nameLength);

    std::uint32_t dots = 0;
    while (dots < rest.size() && rest[dots] == '.')
        ++dots;
    rest.erase(0, dots);

    RtttlNote out;
    if (!TicksOf(duration, m_ticksPerQuarter, out.dwTicks, out.wDuration)) {
        why(DroppedToken::Reason::Length, "length " + std::to_string(duration) + " is not 1, 2, 4, 8, 16 or 32");
        return false;
    }
    out.dwDots = dots;
    // Held at the longest MIDI delta: a long row of dots would otherwise wrap around.
    for (std::uint32_t i = 0; i < dots && out.dwTicks < kMaxTicks; ++i)
        out.dwTicks = std::min(out.dwTicks + out.dwTicks / 2, kMaxTicks);

    // A dot after the octave digit stops atoi there and so plays no part.
    std::int32_t octave = rest.empty() ? m_defaultOctave : RtttlAtoi(rest);
    if (name == "p") {
        out.wNote = kRtttlPause;
        out.wScale = 0;
        note = out;
        return true;
    }
    auto it = std::find(kRtttlNoteNames.begin(), kRtttlNoteNames.end(), name);
    if (it == kRtttlNoteNames.end()) {
        // Named as typed, not in the lower case read here.
        why(DroppedToken::Reason::NoteName,
            name.empty() ? "no note name" : "\"" + token.substr(digits, nameLength) + "\" is not a note name");
        return false;
    }
    out.wScale = (octave >= 4 && octave <= 7) ? static_cast<std::uint16_t>(octave - 4) : kRtttlNoScale;
    if (out.wScale == kRtttlNoScale)
        why(DroppedToken::Reason::Octave, "octave " + std::to_string(octave) + " is outside 4-7");
    std::int64_t number = (it - kRtttlNoteNames.begin()) + std::int64_t{12} * octave;
    out.wNote = static_cast<std::uint16_t>(number & 0xFFFF);
    note = out;
    return true;
}

bool CRtttlReader::ReadHeader(std::string& rebuilt, std::string& error)
{
    struct Step {
        const char* prefix;
        const char* suffix;
        const char* missing;
    };
    static constexpr Step kSteps[] = {
        {"", ":", "RTTTL does not contain ringtone name. Refer to RTTTL.txt about ringtone format."},
        {"d=", ",", "RTTTL does not contain default duration. Refer to RTTTL.txt about ringtone format."},
        {"o=", ",", "RTTTL does not contain default octave. Refer to RTTTL.txt about ringtone format."},
        {"b=", ":", "RTTTL does not contain default tempo/beat. Refer to RTTTL.txt about ringtone format."},
    };
    m_state = 0;
    m_strName.clear();
    m_notes.clear();
    m_dropped.clear();
    for (const Step& step : kSteps) {
        std::string section;
        if (!NextSection(section)) {
            error = step.missing;
            return false;
        }
        if (&step == &kSteps[0])
            m_strName = section;
        rebuilt += step.prefix + section + step.suffix;
    }
    return true;
}

bool CRtttlReader::ReadNotes(bool bFitOneMessage, const NoteSink& accept, const TruncateQuestion& truncate)
{
    std::string token;
    std::uint64_t keptTicks = 0;
    while (NextSection(token)) {
        RtttlNote note;
        DroppedToken dropped;
        if (!ParseNote(token, note, &dropped) || note.wScale == kRtttlNoScale) {
            m_dropped.push_back(std::move(dropped));
            continue;
        }
        // The 130-octet message is full long before; this bounds the note array alone.
        if (m_notes.size() >= static_cast<std::size_t>(kMaxRingtoneNotes)) {
            m_dropped.push_back({token, DroppedToken::Reason::TooManyNotes,
                                 "more than " + std::to_string(kMaxRingtoneNotes) + " notes"});
            continue;
        }
        m_notes.push_back(RingtoneNoteOf(note));
        auto count = static_cast<std::int32_t>(m_notes.size());
        if (bFitOneMessage && !EncodeRingtone(std::string(), m_strName, m_tempo, count, m_notes.data(), false)) {
            if (!truncate(m_notes.size() - 1, keptTicks))
                return false;
            m_notes.pop_back();
            do
                m_dropped.push_back({token, DroppedToken::Reason::Truncated, "cut to fit one message"});
            while (NextSection(token));
            return true;
        }
        if (!accept(token, note))
            return false;
        keptTicks += note.dwTicks;
    }
    // A first note without a comma after it is left, trimmed, as the unread text.
    if (m_state == kFirstNote && !m_text.empty())
        m_dropped.push_back({m_text, DroppedToken::Reason::LoneNote, "a single note needs a comma after it"});
    return true;
}

RingtoneSketch CRtttlReader::Sketch(bool bFitOneMessage)
{
    RingtoneSketch sketch;
    sketch.wTicksPerQuarter = m_ticksPerQuarter;
    std::string rebuilt;
    if (!ReadHeader(rebuilt, sketch.strHeaderError)) {
        sketch.bHeaderRead = false;
        return sketch;
    }
    sketch.nTempo = m_tempo;
    std::uint32_t at = 0;
    (void)ReadNotes(
        bFitOneMessage,
        [&](const std::string&, const RtttlNote& note) {
            sketch.notes.push_back({at, note.dwTicks, note.IsPause() ? -1 : static_cast<int>(note.wNote)});
            at += note.dwTicks;
            return true;
        },
        [](std::size_t, std::uint64_t) { return true; });
    sketch.dropped = m_dropped;
    sketch.nPhoneTempo = TempoOfCode(TempoCode(m_tempo));
    sketch.strPhoneName = m_strName.substr(0, kMaxRingtoneTitle);
    sketch.bNameCut = m_strName.size() > kMaxRingtoneTitle;
    // What the whole text would take: the notes a truncation cut count too.
    std::vector<RingtoneNote> all = m_notes;
    for (const DroppedToken& dropped : m_dropped) {
        RtttlNote note;
        if (dropped.reason == DroppedToken::Reason::Truncated && all.size() < kMaxRingtoneNotes &&
            ParseNote(dropped.strToken, note) && note.wScale != kRtttlNoScale)
            all.push_back(RingtoneNoteOf(note));
    }
    sketch.nOctets = BuildRingtoneMessage(m_strName, m_tempo, static_cast<std::int32_t>(all.size()), all.data()).size();
    return sketch;
}

RingtoneSketch SketchRingtone(const std::string& text, std::uint16_t ticksPerQuarter)
{
    return CRtttlReader(text, ticksPerQuarter).Sketch(true);
}

bool RtttlHoldsANote(const std::string& text)
{
    CRtttlReader reader(text, 0);
    const RingtoneSketch sketch = reader.Sketch(false);
    const auto sounds = [&](const std::string& token) {
        RtttlNote note;
        return reader.ParseNote(token, note) && note.wScale != kRtttlNoScale && !note.IsPause();
    };
    return std::any_of(sketch.notes.begin(), sketch.notes.end(), [](const auto& n) { return n.nPitch >= 0; }) ||
           std::any_of(sketch.dropped.begin(), sketch.dropped.end(), [&](const DroppedToken& dropped) {
               return dropped.reason == DroppedToken::Reason::LoneNote && sounds(dropped.strToken);
           });
}
