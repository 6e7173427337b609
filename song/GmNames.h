#pragma once
// The General MIDI program names: entry p names program-change data byte p.

#include <cstdint>
#include <string>

// "CATEGORY/Instrument", for example "PIANO/Acoustic Grand"; p is taken modulo 128.
[[nodiscard]] const char* GmProgramName(std::uint8_t program);
// The instrument part alone ("Acoustic Grand"), as the preview instrument list shows it.
[[nodiscard]] const char* GmInstrumentName(std::uint8_t program);
// The channel label "#%02d %s": channel 0-15 shown 1-based, then the program name.
[[nodiscard]] std::string GmChannelLabel(int channel, std::uint8_t program);
// "#%02d Unknown": the label of a channel that has no program change.
[[nodiscard]] std::string GmUnknownChannelLabel(int channel);
