#pragma once
// Smart Messaging ringing tones for tests, made by the program's own encoder.

#include <cstdint>
#include <string>
#include <vector>

#include "ringtone/RingtoneNote.h"

// Notes of one octave (5): c, d, e, ... as eighth notes, `count` of them.
[[nodiscard]] std::vector<RingtoneNote> ScaleNotes(int count);
// The program's message for those notes under `name` at `tempo`.
[[nodiscard]] std::vector<std::uint8_t> MessageOf(const std::string& name, int tempo,
                                                  const std::vector<RingtoneNote>& notes);
