#pragma once
// One Listen or post command: reads the RTTTL text, checks its header, hands out its
// notes, and drives the ringtone encoder, the preview MIDI writer and, for posting,
// the package. Messages go to the CPrompt; the object lives for one command.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ringtone/DroppedToken.h"
#include "ringtone/RingtoneNote.h"
#include "ringtone/RtttlNote.h"
#include "song/MidiObject.h"

class CPostHandler;
class CPreviewMidiWriter;
class CPrompt;
class CSettingsStore;

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
};

class CRingtoneConverter : public CMidiObject {
public:
    static constexpr std::uint8_t kDefaultProgram = 57;         // "BRASS/Trombone" in GmNames
    static constexpr std::uint16_t kDefaultTicksPerQuarter = 96;

    // `rtttl` is the text to convert. ticksPerQuarter is the division of the open
    // song: 0 (no song open) and SMPTE divisions (bit 15 set), which count no ticks
    // per quarter note, give 96. The settings give "SYSTEM"/"TEMP", the directory of
    // the files Convert writes; the prompt shows every message and the truncation
    // question; the post handler, when set, receives the package.
    CRingtoneConverter(const std::string& rtttl, std::uint16_t ticksPerQuarter, CSettingsStore& settings,
                       CPrompt& prompt, CPostHandler* postHandler = nullptr);

    // The General MIDI program 0..127 the preview plays (57 unless set).
    void SetProgram(std::uint8_t program) { m_program = program; }
    [[nodiscard]] std::uint8_t Program() const { return m_program; }
    void SetPostHandler(CPostHandler* postHandler) { m_pPostHandler = postHandler; }

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

    // Runs the whole command. Listen passes an empty outputPath and gets
    // "<TEMP>/zorvat.mid"; posting passes the package path and gets the compressed
    // package there, handed to the post handler, with the other files deleted. On
    // success `text` becomes the rebuilt RTTTL text (the header, then every note that
    // went into the ringtone, trimmed, each followed by ","); on failure, after a
    // message or a cancelled truncation question, `text` is left as it was. Every
    // token left out of the ringtone is recorded in Dropped(), in text order.
    [[nodiscard]] bool Convert(std::string& text, const std::string& outputPath);
    // What Convert would put into the ringtone, with nothing written and nothing
    // asked: the kept notes and the tokens left out, those past a full message as
    // cut. A header it cannot read shows its message, as Convert does.
    [[nodiscard]] RingtoneSketch Sketch();
    // Sketch and Convert cut the notes at one message (130 octets) unless this is
    // set false: then every note up to the 255th is kept, for a file format that
    // holds more than one message does.
    void SetFitOneMessage(bool bFit) { m_bFitOneMessage = bFit; }

    // What the last Convert accepted: the ringtone notes, the name and the tempo.
    [[nodiscard]] const std::vector<RingtoneNote>& Notes() const { return m_notes; }
    [[nodiscard]] const std::string& ToneName() const { return m_strName; }
    // The tokens the last Convert left out, with the reason; empty when none was.
    // After a failed Convert, those left out before it stopped.
    [[nodiscard]] const std::vector<DroppedToken>& Dropped() const { return m_dropped; }
    [[nodiscard]] std::int32_t Tempo() const { return m_tempo; }
    [[nodiscard]] std::uint16_t TicksPerQuarter() const { return m_ticksPerQuarter; }
    [[nodiscard]] std::int32_t DefaultOctave() const { return m_defaultOctave; }
    [[nodiscard]] std::int32_t DefaultDuration() const { return m_defaultDuration; }
    [[nodiscard]] std::uint16_t State() const { return m_state; }

    // The files of a temporary directory, joined with "/".
    [[nodiscard]] static std::string MidiPathIn(const std::string& tempDir) { return tempDir + "/zorvat.mid"; }
    [[nodiscard]] static std::string PduPathIn(const std::string& tempDir) { return tempDir + "/zorvat.pdu"; }

private:
    // NextSection's states, what State() returns.
    enum : std::uint16_t { kName, kDuration, kOctave, kTempo, kFirstNote, kNextNote, kEnd };

    [[nodiscard]] bool ReadHeader(std::string& rebuilt);
    // Receives each note that goes into the ringtone; false ends the reading with failure.
    using NoteSink = std::function<bool(const std::string& token, const RtttlNote& note)>;
    // Decides at the first note that does not fit one message, told how many notes
    // and ticks fit: true cuts the ringtone there, false ends the reading with failure.
    using TruncateQuestion = std::function<bool(std::size_t keptNotes, std::uint64_t keptTicks)>;
    // Reads the note tokens, records what is left out, and hands on the rest.
    [[nodiscard]] bool ReadNotes(const NoteSink& accept, const TruncateQuestion& truncate);
    // The truncation question, with what a cut would keep as its detail.
    [[nodiscard]] bool AskToTruncate(std::size_t keptNotes, std::uint64_t keptTicks);
    [[nodiscard]] bool BuildPackage(const std::string& tempDir, const std::string& packagePath);

    std::uint8_t m_program = kDefaultProgram;
    std::uint16_t m_ticksPerQuarter = kDefaultTicksPerQuarter;
    std::int32_t m_tempo = 0;
    // As written, a negative one too, so that a message names the number the text has.
    std::int32_t m_defaultOctave = 0;
    std::int32_t m_defaultDuration = 0;
    std::string m_text;      // the part of the RTTTL text not yet consumed
    std::uint16_t m_state = 0;
    bool m_bFitOneMessage = true;

    CSettingsStore& m_settings;
    CPrompt& m_prompt;
    CPostHandler* m_pPostHandler;
    std::string m_strName;
    std::vector<RingtoneNote> m_notes;
    std::vector<DroppedToken> m_dropped;
};

// The sketch of `text` as Convert would read it with `ticksPerQuarter` (0: 96),
// without a prompt: a header it cannot read gives its message in strHeaderError.
[[nodiscard]] RingtoneSketch SketchRingtone(const std::string& text, std::uint16_t ticksPerQuarter);
