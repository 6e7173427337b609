#pragma once
// RTTTL text of a decoded ringing tone, in the form the program's own parser reads:
// "TITLE:d=4,o=5,b=TEMPO:" and then every note as duration, name, dots and octave
// (pauses without octave), each followed by "," ("Ode:d=4,o=5,b=125:8e5,4p,4c.6,").

#include <string>

#include "ringtone/RingtoneMessageDecoder.h"

// The title is shown as printable UTF-8: bytes that are not, and ":" (which would end
// the name early), become U+FFFD and "_".
[[nodiscard]] std::string RtttlTextOf(const CDecodedRingtone& tone);
