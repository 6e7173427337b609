#include "engine/devices/SystemMidiOutput.h"

#include "engine/devices/AlsaSeqOutput.h"
#include "engine/devices/FluidSynthOutput.h"
#include "engine/devices/SoundFontPath.h"
#include "engine/sequencer/MidiOutputList.h"

namespace {

class CSystemMidiOutput final : public CMidiOutput {
public:
    explicit CSystemMidiOutput(SoundChoiceSource choice) : m_choice(std::move(choice))
    {
        auto synth = std::make_unique<CFluidSynthOutput>(CFluidSynthOutput::Mode::Live, std::string());
        m_pSynth = synth.get();
        m_list.Add(std::move(synth));
        m_list.Add(std::make_unique<CAlsaSeqOutput>());
    }

    std::uint32_t GetNumDevs() override
    {
        m_current = m_choice ? m_choice() : SoundChoice{};
        // The synthesizer refuses a new SoundFont only while its port is open; the
        // engine closes its device before it counts the devices again.
        (void)m_pSynth->SetSoundFont(m_current.strSoundFont.empty() ? FindSoundFont() : m_current.strSoundFont);
        return m_list.GetNumDevs();
    }
    bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) override { return m_list.GetDevCaps(id, caps); }
    std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) override { return m_list.Open(id); }
    std::string LastError() const override { return m_list.LastError(); }
    std::string GetChosenName() const override { return m_current.strOutput; }

private:
    SoundChoiceSource m_choice;
    SoundChoice m_current;
    CMidiOutputList m_list;
    CFluidSynthOutput* m_pSynth = nullptr; // owned by m_list
};

} // namespace

std::unique_ptr<CMidiOutput> MakeSystemMidiOutput(SoundChoiceSource choice)
{
    return std::make_unique<CSystemMidiOutput>(std::move(choice));
}

std::vector<std::string> ListSystemOutputs()
{
    std::vector<std::string> names{CFluidSynthOutput::kDeviceName};
    CAlsaSeqOutput ports;
    const std::uint32_t count = ports.GetNumDevs();
    for (std::uint32_t id = 0; id < count; ++id) {
        MidiOutCaps caps;
        if (ports.GetDevCaps(id, caps))
            names.push_back(caps.strName);
    }
    return names;
}
