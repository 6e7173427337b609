#pragma once
// Notes written the short way for the format tests, and readable failures.

#include <ostream>
#include <string>
#include <vector>

#include "tonefile/ToneMelody.h"

// "8c#5", "4p.", "2g..4" (the 2/3 length as "..."), as RtttlTokenOf writes them.
inline RingtoneNote N(int pitch, unsigned durationCode, unsigned specifierCode = 0)
{
    return MakeNote(pitch, durationCode, specifierCode);
}

inline void PrintTo(const RingtoneNote& note, std::ostream* os)
{
    *os << RtttlTokenOf(note);
}

inline void PrintTo(const ToneLoss& loss, std::ostream* os)
{
    *os << static_cast<int>(loss.kind) << " \"" << loss.strToken << "\": " << loss.strReason;
}

inline std::vector<std::string> Tokens(const std::vector<RingtoneNote>& notes)
{
    std::vector<std::string> tokens;
    for (const RingtoneNote& note : notes)
        tokens.push_back(RtttlTokenOf(note));
    return tokens;
}
