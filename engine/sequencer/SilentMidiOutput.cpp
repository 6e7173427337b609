#include "engine/sequencer/SilentMidiOutput.h"

namespace {

class CSilentMidiOutPort final : public CKeptVolumeOutPort {
public:
    bool ShortMsg(std::uint32_t) override { return true; }
};

} // namespace

bool CSilentMidiOutput::GetDevCaps(std::uint32_t id, MidiOutCaps& caps)
{
    if (id != 0)
        return false;
    caps.strName = "Silent synthesizer";
    caps.wTechnology = kModSynth;
    return true;
}

std::unique_ptr<CMidiOutPort> CSilentMidiOutput::Open(std::uint32_t id)
{
    if (id != 0)
        return nullptr;
    return std::make_unique<CSilentMidiOutPort>();
}
