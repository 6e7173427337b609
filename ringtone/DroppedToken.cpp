#include "ringtone/DroppedToken.h"

namespace {

constexpr std::size_t kNamedInSummary = 5;

// The reason in a word or two, with the value where there is one: "octave 9".
std::string ShortReason(const DroppedToken& dropped)
{
    switch (dropped.reason) {
    case DroppedToken::Reason::Octave:
    case DroppedToken::Reason::Length:
        return dropped.strReason.substr(0, dropped.strReason.find(" is "));
    case DroppedToken::Reason::NoteName: return "not a note";
    case DroppedToken::Reason::TooManyNotes: return "over 255 notes";
    case DroppedToken::Reason::Truncated: return "cut";
    case DroppedToken::Reason::LoneNote: return "no comma";
    }
    return "left out";
}

} // namespace

std::string DroppedSummary(const std::vector<DroppedToken>& dropped)
{
    if (dropped.empty())
        return std::string();
    std::string line = std::to_string(dropped.size()) + (dropped.size() == 1 ? " note" : " notes") + " left out: ";
    for (std::size_t i = 0; i < dropped.size() && i < kNamedInSummary; ++i) {
        if (i > 0)
            line += ", ";
        line += dropped[i].strToken + " (" + ShortReason(dropped[i]) + ")";
    }
    if (dropped.size() > kNamedInSummary)
        line += ", and " + std::to_string(dropped.size() - kNamedInSummary) + " more";
    return line;
}
