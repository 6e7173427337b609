#pragma once
// The MIDI outputs of this machine: the built-in General MIDI synthesizer first
// (device 0 whenever a SoundFont is installed), then the ALSA sequencer's ports.
// The engine's choice rule takes the device the user chose when it is listed, else
// the first synthesizer, so the built-in one plays unless no SoundFont can be
// found, when a hardware synthesizer port may take over.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/sequencer/MidiOutput.h"

// What the user chose for these outputs; empty strings keep the defaults.
struct SoundChoice {
    std::string strOutput;    // the device to play on (MidiOutCaps::strName); empty: the first synthesizer
    std::string strSoundFont; // the built-in synthesizer's SoundFont file; empty: FindSoundFont()
};

// Asked on every GetNumDevs, so that a new choice counts from the next opening on.
using SoundChoiceSource = std::function<SoundChoice()>;

// choice empty: the defaults.
[[nodiscard]] std::unique_ptr<CMidiOutput> MakeSystemMidiOutput(SoundChoiceSource choice = {});

// The names of the devices a user can choose from: the built-in synthesizer's, also
// while no SoundFont is installed, then the ALSA sequencer's writable ports.
[[nodiscard]] std::vector<std::string> ListSystemOutputs();
