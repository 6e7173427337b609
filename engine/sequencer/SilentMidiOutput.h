#pragma once
// One synthesizer that takes every message and plays nothing: the device of offline
// recording, where only the capture matters.

#include "engine/sequencer/MidiOutput.h"

class CSilentMidiOutput final : public CMidiOutput {
public:
    std::uint32_t GetNumDevs() override { return 1; }
    bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) override;
    std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) override;
};
