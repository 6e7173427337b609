#pragma once
// The one note list every ringtone file format reads into and writes from: the
// ringtone's name, its tempo and its notes as the Smart Messaging encoder holds them.
// Each format's reader and writer knows this list and nothing of the other formats.

#include <cstdint>
#include <string>
#include <vector>

#include "ringtone/RingtoneNote.h"
#include "ringtone/RtttlWriter.h"

struct CToneMelody {
    std::string strName;           // as the file gave it; may be empty
    std::int32_t nTempo = 0;       // beats (quarter notes) per minute
    std::vector<RingtoneNote> notes; // at most kMaxRingtoneNotes, pauses included
};

// What a format could not hold, or a file held that the note list cannot: one line
// for the user each, so that nothing changes without a word.
struct ToneLoss {
    enum class Kind {
        Dropped, // the note is not in the result
        Changed, // the note is, but not as it was (a length it could not say)
        Cut,     // the note, and every one after it, did not fit one message
        Ignored, // something of the whole tone (a loop, a volume, a second tempo)
    };
    Kind kind = Kind::Dropped;
    std::string strToken;  // the note as RTTTL writes it ("8c#5", "4p"), or the item read
    std::string strReason; // one short clause: "iMelody octave *8 is outside 4-7"

    friend bool operator==(const ToneLoss&, const ToneLoss&) = default;
};

// The note's length in MIDI ticks as a phone plays it, at ticksPerQuarter: a dot
// adds a half, a double dot three quarters, the 2/3 length takes two thirds.
[[nodiscard]] std::uint32_t NoteTicks(const RingtoneNote& note, std::uint16_t ticksPerQuarter);

// The tempo the tone plays at: its own, or for none (0 or less, which the reader warns
// of as "played as b=25") the slowest a ringing-tone message says.
[[nodiscard]] std::int32_t PlayedTempo(const CToneMelody& melody);

// How long the note lasts at `tempo` beats a minute (> 0), in milliseconds.
[[nodiscard]] double NoteMilliseconds(const RingtoneNote& note, std::int32_t tempo);

// The note in plain and single-dotted lengths, which every reader says alike: a double
// dot is the dotted note and the quarter it lacks as a rest; the 2/3 length is the
// next shorter length dotted (3/4, the nearest), or plain at 1/32. Adds one Changed
// line to `losses`, naming `format`, where the length is not kept exactly.
[[nodiscard]] std::vector<RingtoneNote> SayableNotes(const RingtoneNote& note, const char* format,
                                                    std::vector<ToneLoss>& losses);
