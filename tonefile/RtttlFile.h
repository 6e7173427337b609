#pragma once
// RTTTL files (.rtttl, .txt): one ringtone, or a collection of them one per line as
// they are published. Written after Nokia's Ring Tone Text Transfer Language (RTTTL)
// as described for Smart Messaging phones (NAME:d=,o=,b=:notes, the tempo one of the
// 32 the ringing-tone message can say); read with the program's own RTTTL reader,
// whose grammar RTTTL.txt describes.

#include <string>
#include <string_view>
#include <vector>

#include "tonefile/ToneMelody.h"

// The ringtone texts of a file. A line with two colons or more ("NAME:DEFAULTS:...")
// starts a ringtone; the lines after it that have fewer belong to it, so one tone
// written over several lines stays one. A file with at most one such line is one
// ringtone, whatever its lines. Blank lines are skipped.
[[nodiscard]] std::vector<std::string> SplitRtttlFile(std::string_view text);

// The name of one ringtone text: what stands before its first colon, trimmed.
[[nodiscard]] std::string RtttlNameOf(std::string_view text);

// Reads one ringtone text as Listen reads it, without cutting it at one message:
// every note up to the 255th. Tokens the reader leaves out are Dropped losses.
// False with the reader's message in `error` when the header cannot be read.
[[nodiscard]] bool ReadRtttlTone(const std::string& text, CToneMelody& out, std::vector<ToneLoss>& losses,
                                 std::string& error);

// Where a dotted note of an octave other than the header's puts its dot: after the
// octave (the RTTTL grammar's place, "4c6.") or before it ("4c.6", as CircuitPython
// and npm rtttl-parse read it).
enum class RtttlDotPlace { AfterOctave, BeforeOctave };

// The tone as RTTTL text on one line, in the form every RTTTL player reads:
// "NAME:d=4,o=O,b=TEMPO:" and each note with its length, separated by "," with none
// after the last (readers take a last comma for one more note, or throw). O is the
// octave most dotted notes sound in (without dotted notes, most notes), and notes of
// that octave have no octave digit: their dot reads alike wherever a reader takes it.
// The tempo is kept. RTTTL says one dot only: a double-dotted note is written dotted
// and followed by a rest of the quarter of its length it lacks, a 2/3 length as the
// next shorter length dotted (3/4); each such note is a Changed loss. A ":" or a
// control character in the name becomes "_", an empty name "Tone", and a name past
// 10 characters is cut, each with an Ignored loss.
[[nodiscard]] std::string WriteRtttlText(const CToneMelody& melody, std::vector<ToneLoss>& losses,
                                         RtttlDotPlace dotPlace = RtttlDotPlace::AfterOctave);
