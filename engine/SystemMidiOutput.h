#pragma once
// The MIDI outputs of this machine: the built-in General MIDI synthesizer first
// (device 0 whenever a SoundFont is installed), then the ALSA sequencer's ports.
// The engine's choice rule takes the first synthesizer, so the built-in one plays
// unless no SoundFont can be found, when a hardware synthesizer port may take over.

#include <memory>

#include "engine/MidiOutput.h"

[[nodiscard]] std::unique_ptr<CMidiOutput> MakeSystemMidiOutput();
