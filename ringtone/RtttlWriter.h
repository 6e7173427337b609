#pragma once
// The one place that spells RTTTL: the header and the note tokens. Every writer of
// RTTTL text (the captures, the ringtone files, the gallery) builds its text here,
// so a note reads the same whichever of them wrote it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ringtone/RingtoneNote.h"

// RTTTL note lengths by the message's duration code: whole, half, quarter, 1/8, 1/16, 1/32.
inline constexpr std::array<int, 6> kRtttlLengths = {1, 2, 4, 8, 16, 32};

// A pitch of -1 is a pause.
inline constexpr int kRtttlRestPitch = -1;

// "NAME:d=4,o=5,b=TEMPO:", the header every text here starts with. The name is
// written as given: a caller that takes names from outside removes its ":" first.
[[nodiscard]] std::string RtttlHeader(std::string_view name, std::int64_t tempo);
// The same with the default octave `octave` (4..7): "NAME:d=4,o=6,b=TEMPO:".
[[nodiscard]] std::string RtttlHeader(std::string_view name, std::int64_t tempo, int octave);

// The note's name and octave, "c#5" for MIDI note 61 (c5 = 60).
[[nodiscard]] std::string RtttlPitchText(int pitch);

// Appends one token without its comma: length (1..32), name, `dots` dots and octave;
// a pause is "p" with its dots and no octave ("8c#5", "4p.", "2g..4").
void AppendRtttlToken(std::string& text, int length, int pitch, int dots);

// Appends one token that readers take alike whichever place they read a dot at:
// without its octave where that is `defaultOctave` ("4c.", "8d#"), else with the
// dots after the octave, the RTTTL grammar's place ("4c6."), or before it.
void AppendPortableRtttlToken(std::string& text, int length, int pitch, int dots, int defaultOctave,
                              bool bDotBeforeOctave = false);

// The Smart Messaging note as a token. The 2/3 length, which RTTTL cannot say, is
// three dots, as the program's RTTTL reader takes them.
[[nodiscard]] std::string RtttlTokenOf(const RingtoneNote& note);
