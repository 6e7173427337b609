#pragma once
// A note token of the RTTTL text that the conversion left out of the ringtone, and
// why, so that no note is lost without a word.

#include <string>
#include <vector>

struct DroppedToken {
    enum class Reason {
        Octave,       // a note in an octave outside 4..7
        Length,       // a length other than 1, 2, 4, 8, 16 or 32
        NoteName,     // a name outside c, c#, d, d#, e, f, f#, g, g#, a, a#, b and p
        TooManyNotes, // after the 255th note
        Truncated,    // the note that did not fit one message, and every token after it
        LoneNote,     // the only note of the text, with no comma after it
    };

    std::string strToken;  // the token as read, blanks around it trimmed
    Reason reason = Reason::NoteName;
    std::string strReason; // one short clause for the user: "octave 9 is outside 4-7"

    friend bool operator==(const DroppedToken&, const DroppedToken&) = default;
};

// One line for a status bar: "2 notes left out: 8c9 (octave 9), 3d5 (length 3)". The
// first five tokens are named, the rest counted ("..., and 7 more"). Empty when
// nothing was left out.
[[nodiscard]] std::string DroppedSummary(const std::vector<DroppedToken>& dropped);
