#pragma once
// Nokia OTT files (.ott): the Smart Messaging ringing-tone message as binary octets,
// as phone suites and gnokii read and write them. The layout is Nokia's Smart
// Messaging ringing-tone programming command (version 3.0, basic song); the octets are
// those the program's encoder builds (ringtone/SmartMessaging) and its decoder reads
// (ringtone/RingtoneMessageDecoder).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tonefile/ToneMelody.h"

// The message of the melody. It keeps the title's first 10 characters (an Ignored
// loss when there were more) and the tempo the message can say. A message over one
// SMS (130 octets) is refused, false with the reason in `error`, unless bCutToFit:
// then the notes that do not fit are left out, each a Cut loss.
[[nodiscard]] bool WriteOttFile(const CToneMelody& melody, bool bCutToFit, std::vector<std::uint8_t>& out,
                                std::vector<ToneLoss>& losses, std::string& error);

// Reads a message, whole from the command-length octet 02 on (a file that begins one
// octet later, at the ringing-tone programming command, is read too). The notes of
// every pattern, in order, each once; what the list cannot say (loops, a second tempo,
// styles, volumes) is an Ignored loss, and the notes past the 255th are one Dropped loss. False with
// the first fault and its bit offset in `error`.
[[nodiscard]] bool ReadOttFile(std::span<const std::uint8_t> octets, CToneMelody& out,
                               std::vector<ToneLoss>& losses, std::string& error);
