#include "engine/devices/FluidSynthOutput.h"

#include <fluidsynth.h>

#include <algorithm>
#include <vector>

namespace {

// The order in which sound servers are asked; "file" is never one of them, since
// it would write fluidsynth.wav into the current directory in real time.
constexpr const char* kAudioDrivers[] = {"pulseaudio", "pipewire", "alsa", "jack"};

void SilenceFluidLog()
{
    // The library prints its own errors on stderr; the caller reports failures itself.
    static const bool s_done = [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    (void)s_done;
}

void CollectOption(void* data, const char*, const char* option)
{
    static_cast<std::vector<std::string>*>(data)->push_back(option);
}

} // namespace

#if defined(__SANITIZE_THREAD__)
// FluidSynth loads SoundFonts with OpenMP. libgomp is not instrumented, so the
// thread sanitizer cannot see its barriers and reports its own allocations as
// races; every program that uses this backend gets the suppression.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libgomp.so.1\nrace:libgomp.so.1\n";
}
#endif

struct CFluidSynthOutput::Synth {
    fluid_settings_t* pSettings = nullptr;
    fluid_synth_t* pSynth = nullptr;
    fluid_audio_driver_t* pDriver = nullptr;
    std::uint32_t dwVolume = 0xFFFFFFFF;

    ~Synth()
    {
        if (pDriver)
            delete_fluid_audio_driver(pDriver);
        if (pSynth)
            delete_fluid_synth(pSynth);
        if (pSettings)
            delete_fluid_settings(pSettings);
    }
};

class CFluidSynthPort final : public CMidiOutPort {
public:
    explicit CFluidSynthPort(CFluidSynthOutput& owner) : m_owner(owner) {}
    ~CFluidSynthPort() override { m_owner.PortClosed(); }

    bool ShortMsg(std::uint32_t packed) override;
    bool GetVolume(std::uint32_t& volume) override
    {
        volume = m_owner.m_pSynth->dwVolume;
        return true;
    }
    bool SetVolume(std::uint32_t volume) override
    {
        m_owner.m_pSynth->dwVolume = volume;
        fluid_synth_set_gain(m_owner.m_pSynth->pSynth, CFluidSynthOutput::GainOf(volume));
        return true;
    }

private:
    CFluidSynthOutput& m_owner;
};

bool CFluidSynthPort::ShortMsg(std::uint32_t packed)
{
    fluid_synth_t* synth = m_owner.m_pSynth->pSynth;
    const int status = static_cast<int>(packed & 0xFF);
    const int data1 = static_cast<int>((packed >> 8) & 0x7F);
    const int data2 = static_cast<int>((packed >> 16) & 0x7F);
    const int channel = status & 0x0F;
    // A note-off for a note that does not sound is not an error to the caller, so
    // the results of the note calls are not passed on.
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, data1);
        return true;
    case 0x90:
        if (data2 == 0)
            fluid_synth_noteoff(synth, channel, data1);
        else
            fluid_synth_noteon(synth, channel, data1, data2);
        return true;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        return true;
    case 0xB0:
        fluid_synth_cc(synth, channel, data1, data2);
        return true;
    case 0xC0:
        fluid_synth_program_change(synth, channel, data1);
        return true;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, data1);
        return true;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
        return true;
    default:
        break;
    }
    if (status == 0xFF)
        fluid_synth_system_reset(synth);
    // Other system messages have no meaning for the synthesizer.
    return true;
}

CFluidSynthOutput::CFluidSynthOutput(Mode mode, std::string soundFont, int sampleRate)
    : m_mode(mode), m_strSoundFont(std::move(soundFont)), m_nSampleRate(sampleRate > 0 ? sampleRate : 44100)
{
    SilenceFluidLog();
}

CFluidSynthOutput::~CFluidSynthOutput() = default;

float CFluidSynthOutput::GainOf(std::uint32_t volume)
{
    const std::uint32_t left = volume & 0xFFFF;
    const std::uint32_t right = volume >> 16;
    return kFullVolumeGain * static_cast<float>(std::max(left, right)) / 65535.0f;
}

bool CFluidSynthOutput::SetSoundFont(std::string soundFont)
{
    if (m_bPortOpen)
        return false;
    if (soundFont != m_strSoundFont) {
        m_strSoundFont = std::move(soundFont);
        m_pSynth.reset();
    }
    return true;
}

std::uint32_t CFluidSynthOutput::GetNumDevs()
{
    if (m_strSoundFont.empty()) {
        m_strError = "no General MIDI SoundFont is installed (the package fluid-soundfont-gm has one)";
        return 0;
    }
    m_strError.clear();
    return 1;
}

bool CFluidSynthOutput::GetDevCaps(std::uint32_t id, MidiOutCaps& caps)
{
    if (id != 0 || m_strSoundFont.empty())
        return false;
    caps.strName = kDeviceName;
    caps.wTechnology = kModSynth;
    return true;
}

bool CFluidSynthOutput::EnsureSynth()
{
    if (m_pSynth)
        return true;
    auto synth = std::make_unique<Synth>();
    synth->pSettings = new_fluid_settings();
    if (!synth->pSettings) {
        m_strError = "cannot create the synthesizer settings";
        return false;
    }
    fluid_settings_setnum(synth->pSettings, "synth.sample-rate", m_nSampleRate);
    fluid_settings_setnum(synth->pSettings, "synth.gain", GainOf(synth->dwVolume));
    synth->pSynth = new_fluid_synth(synth->pSettings);
    if (!synth->pSynth) {
        m_strError = "cannot create the synthesizer";
        return false;
    }
    if (fluid_synth_sfload(synth->pSynth, m_strSoundFont.c_str(), 1) == FLUID_FAILED) {
        m_strError = "cannot load the SoundFont " + m_strSoundFont;
        return false;
    }
    m_pSynth = std::move(synth);
    return true;
}

bool CFluidSynthOutput::StartAudio()
{
    std::vector<std::string> compiled;
    fluid_settings_foreach_option(m_pSynth->pSettings, "audio.driver", &compiled, CollectOption);
    for (const char* driver : kAudioDrivers) {
        if (std::find(compiled.begin(), compiled.end(), driver) == compiled.end())
            continue;
        fluid_settings_setstr(m_pSynth->pSettings, "audio.driver", driver);
        m_pSynth->pDriver = new_fluid_audio_driver(m_pSynth->pSettings, m_pSynth->pSynth);
        if (m_pSynth->pDriver) {
            m_strDriver = driver;
            return true;
        }
    }
    // The ALSA driver has been tried too, so a sound server is what the user can start.
    m_strError = kNoAudioOutput;
    return false;
}

std::unique_ptr<CMidiOutPort> CFluidSynthOutput::Open(std::uint32_t id)
{
    m_strError.clear();
    if (id != 0 || m_strSoundFont.empty()) {
        m_strError = "no such device";
        return nullptr;
    }
    if (m_bPortOpen) {
        m_strError = "the synthesizer is in use";
        return nullptr;
    }
    if (!EnsureSynth())
        return nullptr;
    if (m_mode == Mode::Live && !StartAudio())
        return nullptr;
    m_bPortOpen = true;
    return std::make_unique<CFluidSynthPort>(*this);
}

void CFluidSynthOutput::PortClosed()
{
    if (m_pSynth && m_pSynth->pDriver) {
        delete_fluid_audio_driver(m_pSynth->pDriver);
        m_pSynth->pDriver = nullptr;
    }
    if (m_pSynth)
        fluid_synth_all_sounds_off(m_pSynth->pSynth, -1);
    m_strDriver.clear();
    m_bPortOpen = false;
}

bool CFluidSynthOutput::Render(std::int16_t* out, std::size_t frames)
{
    if (m_mode != Mode::Offline || !m_bPortOpen || !out)
        return false;
    // FluidSynth takes the length as an int: render in bounded blocks.
    constexpr std::size_t kBlock = 4096;
    while (frames > 0) {
        const std::size_t n = std::min(frames, kBlock);
        if (fluid_synth_write_s16(m_pSynth->pSynth, static_cast<int>(n), out, 0, 2, out, 1, 2) != FLUID_OK)
            return false;
        out += 2 * n;
        frames -= n;
    }
    return true;
}
