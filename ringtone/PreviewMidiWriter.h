#pragma once
// The preview: a one-track Standard MIDI File (format 0) of the accepted notes,
// written while the conversion walks them.
//
// Layout: "MThd", length 6, format 0, one track, the division; "MTrk" with its
// length; set-tempo, program change on channel 1, one note-on/note-off pair per note
// (velocity 127 both), end of track. Rests become the delta of the next note on;
// rests after the last note are not written.

#include <cstdint>
#include <string>

#include "fileio/StdFile.h"

class CPreviewMidiWriter {
public:
    // Offset of the track length and the bytes in front of the track data.
    // The General MIDI program a preview plays unless another is chosen:
    // "BRASS/Trombone" in GmNames.
    static constexpr std::uint8_t kDefaultProgram = 57;
    static constexpr std::uint64_t kTrackLengthOffset = 18;
    static constexpr std::uint64_t kHeaderBytes = 22;

    // Creates (or truncates) `path` and writes everything up to the first note.
    // `tempo` is in beats per minute (see MicrosecondsPerQuarter). False when the
    // file cannot be created or written; ErrorText() gives the reason.
    [[nodiscard]] bool Open(const std::string& path, std::uint16_t ticksPerQuarter, std::int32_t tempo,
                            std::uint8_t program);
    // A note number 0..127 plays for `ticks`; kRtttlPause adds `ticks` of rest
    // before the next note.
    [[nodiscard]] bool AddNote(std::uint32_t ticks, std::uint16_t note);
    // Writes the end of track, sets the track length and closes the file.
    [[nodiscard]] bool Finish();

    // The file length after Finish().
    [[nodiscard]] std::uint64_t Length() const { return m_length; }
    [[nodiscard]] const std::string& Path() const { return m_file.Path(); }
    [[nodiscard]] const std::string& ErrorText() const { return m_file.ErrorText(); }

    // Microseconds per quarter note for a tempo in beats per minute: 60 000 000 / bpm,
    // truncated. A tempo of 0 or below plays at 25 bpm, the slowest the ringtone can
    // say (2 400 000); the result is held to 1..0xFFFFFF, what the 24-bit field can
    // hold, so tempos of 1 to 3 play at the slowest a MIDI file can say instead of
    // wrapping around.
    [[nodiscard]] static std::uint32_t MicrosecondsPerQuarter(std::int32_t tempo);

private:
    bool WriteVarLen(std::uint32_t value);

    CStdFile m_file;          // closed as written so far when the writer is dropped early
    std::uint32_t m_dwPendingDelta = 0;
    std::uint64_t m_length = 0;
};
