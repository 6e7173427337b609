#pragma once
// The MIDI output devices of the system, numbered 0 to GetNumDevs() - 1.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/sequencer/MidiOutPort.h"

// Technology codes of an output device.
enum MidiOutTechnology : std::uint16_t {
    kModMidiPort = 1,
    kModSynth = 2,
    kModSquareSynth = 3,
    kModFmSynth = 4,
    kModMapper = 5,
    kModWavetable = 6,
    kModSoftwareSynth = 7,
};

struct MidiOutCaps {
    std::string strName;
    std::uint16_t wTechnology = 0; // a MidiOutTechnology code
};

class CMidiOutput {
public:
    CMidiOutput() = default;
    CMidiOutput(const CMidiOutput&) = delete;
    CMidiOutput& operator=(const CMidiOutput&) = delete;
    virtual ~CMidiOutput() = default;

    // Takes a fresh look at the devices; ids stay valid until the next call.
    [[nodiscard]] virtual std::uint32_t GetNumDevs() = 0;
    // False for an id out of range.
    [[nodiscard]] virtual bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) = 0;
    // Null when the device cannot be opened. The port must not outlive this object.
    [[nodiscard]] virtual std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) = 0;

    // Why the last Open failed, or why the last GetNumDevs offers less than it could
    // (the built-in synthesizer without a SoundFont): a lower-case phrase without a
    // full stop, meant for the user. Empty when there is nothing to say.
    [[nodiscard]] virtual std::string LastError() const { return {}; }
    // The name (MidiOutCaps::strName) of the device the user chose; empty for none.
    [[nodiscard]] virtual std::string GetChosenName() const { return {}; }
};
