#include "engine/SystemMidiOutput.h"

#include "engine/AlsaSeqOutput.h"
#include "engine/FluidSynthOutput.h"
#include "engine/MidiOutputList.h"
#include "engine/SoundFontPath.h"

std::unique_ptr<CMidiOutput> MakeSystemMidiOutput()
{
    auto list = std::make_unique<CMidiOutputList>();
    list->Add(std::make_unique<CFluidSynthOutput>(CFluidSynthOutput::Mode::Live, FindSoundFont()));
    list->Add(std::make_unique<CAlsaSeqOutput>());
    return list;
}
