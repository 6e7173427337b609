#pragma once
// The note capture: note messages of enabled channels, as they are sent, become an
// RTTTL text ("Name:d=4,o=5,b=120:4e5,8P,2g5,") and a parallel list of up to 255
// ringtone records for the Smart Messaging encoder.
//
// Durations come from the delta time of each note event in its own track,
// quantised down to a power of two of thirty-second notes. The capture knows no
// channels beyond the enable flag it is given, so several enabled channels
// interleave in one stream. Not thread-safe: the engine serialises the calls.

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "ringtone/RingtoneNote.h"

class CRtttlCapture {
public:
    CRtttlCapture();

    // The name written in the header; "ZorvatTone" until set.
    void SetToneName(std::string name) { m_strToneName = std::move(name); }
    [[nodiscard]] const std::string& GetToneName() const { return m_strToneName; }

    // The header rule, for a Set Tempo of `tempo` microseconds per quarter (> 0):
    // the text restarts as "NAME:d=4,o=5,b=BPM:", the list empties and the
    // ringtone tempo becomes 120.
    void WriteHeader(std::uint32_t tempo);
    // The thirty-second-note length in ticks (division / 8). 0 reads every delta as
    // shorter than a thirty-second.
    void SetThirtySecondTicks(std::uint16_t ticks) { m_wThirtySecond = ticks; }
    // Forgets that a note is sounding (every new recording starts so).
    void ClearNoteOpen() { m_bNoteOpen = false; }

    // The note rules for one message of status 0x8n or 0x9n (others are ignored):
    // note 0-127, velocity, delta ticks since the previous event of its track, and
    // the enable flag of its channel.
    void Capture(std::uint8_t status, std::uint8_t note, std::uint8_t velocity, std::uint32_t delta, bool channelOn);

    [[nodiscard]] const std::string& GetRtttl() const { return m_strRtttl; }
    [[nodiscard]] const std::array<RingtoneNote, kMaxRingtoneNotes>& GetNotes() const { return m_notes; }
    // Records used, 0-255.
    [[nodiscard]] std::int32_t GetCount() const { return m_nCount; }
    // Beats per minute handed to the encoder with the list (0 before any header).
    [[nodiscard]] std::int32_t GetTempo() const { return m_nTempo; }
    [[nodiscard]] bool IsNoteOpen() const { return m_bNoteOpen; }
    [[nodiscard]] bool IsRestPending() const { return m_bRestPending; }
    // Text of the last started note ("e5"), empty before the first.
    [[nodiscard]] const std::string& GetPendingNote() const { return m_strPendingNote; }

    // Duration index 0-5 (thirty-second to whole) of a delta: floor(log2(delta /
    // thirtySecond)), 0 below one thirty-second; two whole notes or more count as a
    // whole note, the longest length a ringtone note has.
    [[nodiscard]] static int DurationIndex(std::uint32_t delta, std::uint16_t thirtySecond);
    // 32, 16, 8, 4, 2, 1 for index 0-5.
    [[nodiscard]] static int RtttlDuration(int index);
    // 0xA0, 0x80, 0x60, 0x40, 0x20, 0x00 for index 0-5.
    [[nodiscard]] static std::uint32_t DurationCode(int index);
    // Note name and octave, note 60 giving "c5", 70 "a#5".
    [[nodiscard]] static std::string NoteText(std::uint8_t note);

private:
    void EndNote(std::uint8_t note, std::uint32_t delta, bool channelOn, bool velocityZero);
    void StartNote(std::uint8_t note, std::uint32_t delta, bool channelOn);
    void AppendNote(int rtttlDuration, const std::string& note);
    // Adds a record while the list has room and `octaveNote` lies in octaves 4-7.
    void AddRecord(std::uint32_t noteCode, int durationIndex, std::uint8_t octaveNote);

    std::string m_strToneName;
    std::string m_strRtttl;
    bool m_bNoteOpen = false;
    bool m_bRestPending = false;
    std::string m_strPendingNote;
    std::uint8_t m_byPendingNote = 0;
    std::array<RingtoneNote, kMaxRingtoneNotes> m_notes{};
    std::int32_t m_nCount = 0;
    std::int32_t m_nTempo = 0;
    std::uint16_t m_wThirtySecond = 0;
};
