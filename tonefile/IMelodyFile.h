#pragma once
// iMelody files (.imy), version 1.2 as EMS phones read them: IrDA's iMelody format
// as the public EMS iMelody description gives it (BEGIN:IMELODY,
// VERSION, FORMAT, NAME, BEAT, MELODY, END:IMELODY; a note is an optional octave
// prefix *0..*8, a name c d e f g a b with "#" sharps and "&" flats, a duration 0
// (whole) to 5 (1/32) and an optional "." dotted, ":" double dotted or ";" 2/3
// length; "r" a rest; repeat blocks "(...@n)", not nested).
//
// Octaves: iMelody's *n has its A at 55 * 2^n Hz, *4 (880 Hz) when no prefix is
// given, the pitch of a phone's default scale in the ringing-tone message; that
// scale holds the program's octave 5, so *n is the program's octave n + 1, and
// the ringtone's octaves 4-7 are *3-*6.

#include <string>
#include <string_view>
#include <vector>

#include "tonefile/ToneMelody.h"

// The file, lines ended by CR LF, the melody folded after 75 octets (CR LF and a
// blank), every duration and specifier as the note list holds it, an octave prefix
// on every note outside *4 and on the first note back in it. BEAT holds 25-900: a
// tempo outside is written at the nearer end, a Changed loss. CR, LF and other
// control characters of the name are left out.
[[nodiscard]] std::string WriteIMelodyFile(const CToneMelody& melody, std::vector<ToneLoss>& losses);

// Reads a file: lines ended by LF or CR LF, folded lines joined, field names in any
// letter case, a missing BEAT 120 and a missing octave prefix *4 (a prefix holds
// for the notes after it). A repeat block is played its count of times (0, for
// ever, once), up to 255 notes. Notes outside *3-*6 are Dropped, notes past the
// 255th one Dropped loss; style, volume, lights and vibration are Ignored. False
// with the fault in `error` when the file is not iMelody or its melody holds
// something the format does not.
[[nodiscard]] bool ReadIMelodyFile(std::string_view text, CToneMelody& out, std::vector<ToneLoss>& losses,
                                   std::string& error);
