// The RTTTL grammar as this program reads it: NextSection and ParseNote of
// CRingtoneConverter.

#include <algorithm>
#include <array>
#include <string_view>

#include "ringtone/RingtoneConverter.h"
#include "ringtone/RtttlNumber.h"

namespace {

enum : std::uint16_t { kName, kDuration, kOctave, kTempo, kFirstNote, kNextNote, kEnd };

constexpr std::array<std::string_view, 12> kNoteNames = {"c",  "c#", "d",  "d#", "e",  "f",
                                                         "f#", "g",  "g#", "a",  "a#", "b"};
constexpr std::uint32_t kMaxTicks = 0x0FFFFFFF; // the longest a MIDI delta can say

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A "d=", "o=" or "b=" section: at least the letter (either case) and the "=".
bool IsSection(std::string_view section, char letter)
{
    return section.size() >= 2 && (section[0] == letter || section[0] == letter - 'a' + 'A') && section[1] == '=';
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

bool CRingtoneConverter::NextSection(std::string& out)
{
    char delimiter = (m_state == kName || m_state == kTempo) ? ':' : ',';
    std::size_t pos = m_text.find(delimiter);
    bool found = pos != std::string::npos && pos > 0;
    auto take = [&](std::size_t skip) {
        out = m_text.substr(skip, pos - skip);
        m_text.erase(0, pos + 1);
    };
    switch (m_state) {
    case kName:
        if (!found)
            return false;
        take(0);
        break;
    case kDuration:
    case kOctave:
    case kTempo: {
        static constexpr char kLetters[] = {'d', 'o', 'b'};
        if (!found || !IsSection(std::string_view(m_text).substr(0, pos), kLetters[m_state - kDuration]))
            return false;
        take(2);
        std::int32_t value = RtttlAtoi(out);
        if (m_state == kDuration)
            m_defaultDuration = static_cast<std::uint16_t>(value);
        else if (m_state == kOctave)
            m_defaultOctave = static_cast<std::uint16_t>(value);
        else
            m_tempo = value;
        break;
    }
    case kFirstNote:
        if (!found)
            return false;
        take(0);
        break;
    case kNextNote:
        if (found) {
            take(0);
            return true; // the state stays
        }
        // No comma, or a comma first (an empty token): the rest is the last token.
        m_state = kEnd;
        if (m_text.empty())
            return false;
        out = std::move(m_text);
        m_text.clear();
        return true;
    default:
        return false;
    }
    ++m_state;
    return true;
}

bool CRingtoneConverter::ParseNote(const std::string& token, RtttlNote& note) const
{
    std::string rest = token;
    std::transform(rest.begin(), rest.end(), rest.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });

    std::int32_t duration = m_defaultDuration;
    if (!rest.empty() && IsDigit(rest[0])) {
        std::size_t n = (rest.size() > 1 && IsDigit(rest[1])) ? 2 : 1;
        duration = RtttlAtoi(std::string_view(rest).substr(0, n));
        rest.erase(0, n);
    }
    std::size_t nameLength = (rest.size() > 1 && rest[1] == '#') ? 2 : std::min<std::size_t>(rest.size(), 1);
    std::string name = rest.substr(0, nameLength);
    rest.erase(0, nameLength);

    std::uint32_t dots = 0;
    while (dots < rest.size() && rest[dots] == '.')
        ++dots;
    rest.erase(0, dots);

    RtttlNote out;
    if (!TicksOf(duration, m_ticksPerQuarter, out.dwTicks, out.wDuration))
        return false;
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
    out.wScale = (octave >= 4 && octave <= 7) ? static_cast<std::uint16_t>(octave - 4) : kRtttlNoScale;
    auto it = std::find(kNoteNames.begin(), kNoteNames.end(), name);
    if (it == kNoteNames.end())
        return false;
    std::int64_t number = (it - kNoteNames.begin()) + std::int64_t{12} * octave;
    out.wNote = static_cast<std::uint16_t>(number & 0xFFFF);
    note = out;
    return true;
}
