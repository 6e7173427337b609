#pragma once
// RTTTL text as this program reads it: the header (the name, then d=, o= and b=),
// then the note tokens, each kept for the ringtone or left out with the reason. Plain
// C++: no prompt, no settings, no files. The conversion (CRingtoneConverter) shows
// its messages and writes its files on top of it; the tone files, the ringtone picture
// and the desktop read texts with it alone.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ringtone/DroppedToken.h"
#include "ringtone/RingtoneNote.h"
#include "ringtone/RtttlNote.h"

// The ringtone a text would give, for showing it before it is converted.
struct RingtoneSketch {
    struct Note {
        std::uint32_t dwStart = 0; // ticks from the first note
        std::uint32_t dwTicks = 0;
        int nPitch = -1;           // note number (c5 = 60), -1 for a pause
    };
    bool bHeaderRead = true;
    std::string strHeaderError; // the "Format Error" message when the header cannot be read
    std::int32_t nTempo = 0;    // beats per minute
    std::uint16_t wTicksPerQuarter = 0;
    std::vector<Note> notes;    // what the ringtone keeps, pauses included
    std::vector<DroppedToken> dropped;
    // Octets of the Smart Messaging message of every note the text holds, the ones
    // a truncation would cut included: over 130 when it is too long for one message.
    std::size_t nOctets = 0;
    std::int32_t nPhoneTempo = 0; // the tempo the message says: the table's value at or above nTempo
    std::string strPhoneName;     // the name as the message holds it: its first 10 characters
    bool bNameCut = false;        // the header's name is longer than that
};

class CRtttlReader {
public:
    static constexpr std::uint16_t kDefaultTicksPerQuarter = 96;

    // `text` is the RTTTL text. ticksPerQuarter is the division the notes are counted
    // in: 0 (no song open) and SMPTE divisions (bit 15 set), which count no ticks per
    // quarter note, give 96.
    CRtttlReader(std::string text, std::uint16_t ticksPerQuarter);

    // The next header section or note token, consumed from the front of the text and
    // trimmed of blanks, tabs, CRs and LFs: exactly once each the name, the d=, o=
    // and b= values in this order (state 0..3; blanks may stand around the "="),
    // then note tokens until it returns false. Empty tokens (",,") are skipped. The
    // first note needs a comma after it: without one it is not handed out, and the
    // unread text keeps it, trimmed. False when the text does not hold what the state
    // expects; the state then stays.
    [[nodiscard]] bool NextSection(std::string& out);
    // Reads one trimmed note token ("8c#5", "4p", "c.6", any letter case) with the
    // defaults read from the header. False for a duration other than 1, 2, 4, 8, 16,
    // 32 or a name outside c, c#, d, d#, e, f, f#, g, g#, a, a#, b and p; a blank
    // inside the token makes it fail. An octave outside 4..7 still succeeds, with
    // kRtttlNoScale. pWhy, when given, receives why the token cannot go into the
    // ringtone: set on false, and on true when the octave gave kRtttlNoScale.
    [[nodiscard]] bool ParseNote(const std::string& token, RtttlNote& note, DroppedToken* pWhy = nullptr) const;

    // Reads the header from the start of the text; `rebuilt` gets it back as
    // "NAME:d=D,o=O,b=B:". False with the message of the part it misses in `error`.
    [[nodiscard]] bool ReadHeader(std::string& rebuilt, std::string& error);
    // Receives each note that goes into the ringtone; false ends the reading with failure.
    using NoteSink = std::function<bool(const std::string& token, const RtttlNote& note)>;
    // Decides at the first note that does not fit one message, told how many notes
    // and ticks fit: true cuts the ringtone there, false ends the reading with failure.
    using TruncateQuestion = std::function<bool(std::size_t keptNotes, std::uint64_t keptTicks)>;
    // After ReadHeader: reads the note tokens, records what is left out, and hands on
    // the rest. With bFitOneMessage the notes stop at one message (130 octets), else
    // at the 255th.
    [[nodiscard]] bool ReadNotes(bool bFitOneMessage, const NoteSink& accept, const TruncateQuestion& truncate);
    // The whole text as it would go into a ringtone, nothing asked: notes past one
    // message are cut when bFitOneMessage. A header it cannot read gives its message
    // in strHeaderError.
    [[nodiscard]] RingtoneSketch Sketch(bool bFitOneMessage);

    // What was read: the ringtone notes, the name, the tempo and the defaults as written.
    [[nodiscard]] const std::vector<RingtoneNote>& Notes() const { return m_notes; }
    [[nodiscard]] const std::string& ToneName() const { return m_strName; }
    // The tokens left out, with the reason, in text order.
    [[nodiscard]] const std::vector<DroppedToken>& Dropped() const { return m_dropped; }
    [[nodiscard]] std::int32_t Tempo() const { return m_tempo; }
    [[nodiscard]] std::uint16_t TicksPerQuarter() const { return m_ticksPerQuarter; }
    [[nodiscard]] std::int32_t DefaultOctave() const { return m_defaultOctave; }
    [[nodiscard]] std::int32_t DefaultDuration() const { return m_defaultDuration; }
    [[nodiscard]] std::uint16_t State() const { return m_state; }

private:
    // NextSection's states, what State() returns.
    enum : std::uint16_t { kName, kDuration, kOctave, kTempo, kFirstNote, kNextNote, kEnd };

    std::uint16_t m_ticksPerQuarter;
    std::int32_t m_tempo = 0;
    // As written, a negative one too, so that a message names the number the text has.
    std::int32_t m_defaultOctave = 0;
    std::int32_t m_defaultDuration = 0;
    std::string m_text;      // the part of the RTTTL text not yet consumed
    std::uint16_t m_state = 0;
    std::string m_strName;
    std::vector<RingtoneNote> m_notes;
    std::vector<DroppedToken> m_dropped;
};

// The sketch of `text` as the conversion would read it with `ticksPerQuarter` (0: 96),
// notes cut at one message.
[[nodiscard]] RingtoneSketch SketchRingtone(const std::string& text, std::uint16_t ticksPerQuarter);
// Whether `text` holds a note that sounds, kept or only missing the comma a single
// note needs: what a recording that found notes writes.
[[nodiscard]] bool RtttlHoldsANote(const std::string& text);
