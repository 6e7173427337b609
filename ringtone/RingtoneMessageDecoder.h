#pragma once
// Reads a Smart Messaging ringing-tone message back into its notes: the check of
// what the program's encoder wrote, the gallery's reading of posted ringtones and the
// .ott file reader, written from the message layout alone.
//
// Accepted layout: command length 02; ringing-tone programming 0100101 and a zero
// filler bit; sound 0011101; song type 001 (basic song); a 4-bit title length and
// that many 8-bit characters; a song sequence length of at least one; per pattern a
// header 000, a 2-bit pattern id, a 4-bit loop value and an 8-bit instruction count,
// then exactly that many instructions: note 001 + note (4) + duration (3) +
// specifier (2), scale 010 + 2, style 011 + 2, tempo 100 + 5, volume 101 + 4. Then
// zero bits to the octet boundary, the command end 00, and nothing after it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct CDecodedNote {
    std::uint8_t m_byNote = 0;      // 0 pause, 1 c, 2 c#, ... 12 b
    std::uint8_t m_byDuration = 0;  // the code sent: 0 whole, 1 half, 2 quarter, 3 1/8, 4 1/16, 5 1/32
    std::uint8_t m_bySpecifier = 0; // 0 none, 1 dotted, 2 double dotted, 3 2/3 length
    std::uint8_t m_byScale = 1;     // the scale in force: 0..3 for octaves 4..7

    [[nodiscard]] bool IsPause() const { return m_byNote == 0; }
    friend bool operator==(const CDecodedNote&, const CDecodedNote&) = default;
};

struct CDecodedRingtone {
    std::string m_strTitle;          // the title's bytes as sent
    std::uint8_t m_byTempoCode = 0;  // the first tempo instruction's code, 0..31
    std::int32_t m_nTempo = 0;       // its beats per minute (63, the format's default, without one)
    std::uint32_t m_nInstructions = 0; // instructions declared (and read), all patterns together
    std::vector<CDecodedNote> m_notes;
    // What a list of notes at one tempo cannot say, counted for the reader's warnings:
    // patterns with a loop value (their notes are read once), tempo instructions that
    // change the first tempo, styles other than natural, and volume instructions.
    std::uint32_t m_nLoopedPatterns = 0;
    std::uint32_t m_nTempoChanges = 0;
    std::uint32_t m_nOtherStyles = 0;
    std::uint32_t m_nVolumes = 0;
};

// False with the first fault (a sentence fragment that names the bit offset) in
// `error`; `out` is then unspecified.
[[nodiscard]] bool DecodeRingtoneMessage(std::span<const std::uint8_t> octets, CDecodedRingtone& out,
                                         std::string& error);
