#pragma once
// One Listen or post command: reads the RTTTL text, checks its header, hands out its
// notes, and drives the ringtone encoder, the preview MIDI writer and, for posting,
// the package. Messages go to the CPrompt; the object lives for one command.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ringtone/DroppedToken.h"
#include "ringtone/PreviewMidiWriter.h"
#include "ringtone/RingtoneNote.h"
#include "ringtone/RtttlNote.h"
#include "ringtone/RtttlReader.h"
#include "song/MidiObject.h"

class CPostHandler;
class CPrompt;
class CSettingsStore;

// The question asked when a ringtone is too long for one message, and its caption.
inline constexpr const char* kTruncateQuestion = "Ringtone is too long, trancate ?";
inline constexpr const char* kTruncateCaption = "Tone Trancate";
// The message of a command that needs the temporary directory when none is set up.
inline constexpr const char* kNoTempDirMessage = "Invalid temporary directory. Please setup first.";

class CRingtoneConverter : public CMidiObject {
public:
    static constexpr std::uint8_t kDefaultProgram = CPreviewMidiWriter::kDefaultProgram;
    static constexpr std::uint16_t kDefaultTicksPerQuarter = CRtttlReader::kDefaultTicksPerQuarter;

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

    // The reader's, on the text of the command (see CRtttlReader).
    [[nodiscard]] bool NextSection(std::string& out) { return m_reader.NextSection(out); }
    [[nodiscard]] bool ParseNote(const std::string& token, RtttlNote& note, DroppedToken* pWhy = nullptr) const
    {
        return m_reader.ParseNote(token, note, pWhy);
    }

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
    [[nodiscard]] const std::vector<RingtoneNote>& Notes() const { return m_reader.Notes(); }
    [[nodiscard]] const std::string& ToneName() const { return m_reader.ToneName(); }
    // The tokens the last Convert left out, with the reason; empty when none was.
    // After a failed Convert, those left out before it stopped.
    [[nodiscard]] const std::vector<DroppedToken>& Dropped() const { return m_reader.Dropped(); }
    [[nodiscard]] std::int32_t Tempo() const { return m_reader.Tempo(); }
    [[nodiscard]] std::uint16_t TicksPerQuarter() const { return m_reader.TicksPerQuarter(); }
    [[nodiscard]] std::int32_t DefaultOctave() const { return m_reader.DefaultOctave(); }
    [[nodiscard]] std::int32_t DefaultDuration() const { return m_reader.DefaultDuration(); }
    [[nodiscard]] std::uint16_t State() const { return m_reader.State(); }

    // The files of a temporary directory, joined with "/".
    [[nodiscard]] static std::string MidiPathIn(const std::string& tempDir) { return tempDir + "/zorvat.mid"; }
    [[nodiscard]] static std::string PduPathIn(const std::string& tempDir) { return tempDir + "/zorvat.pdu"; }

private:
    // The reader's ReadHeader, its message shown.
    [[nodiscard]] bool ReadHeader(std::string& rebuilt);
    // The truncation question, with what a cut would keep as its detail.
    [[nodiscard]] bool AskToTruncate(std::size_t keptNotes, std::uint64_t keptTicks);
    [[nodiscard]] bool BuildPackage(const std::string& tempDir, const std::string& packagePath);

    std::uint8_t m_program = kDefaultProgram;
    bool m_bFitOneMessage = true;
    CRtttlReader m_reader;
    CSettingsStore& m_settings;
    CPrompt& m_prompt;
    CPostHandler* m_pPostHandler;
};
