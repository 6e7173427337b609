#pragma once
// The built-in General MIDI synthesizer: one device of technology "synthesizer",
// backed by FluidSynth and a General MIDI SoundFont.
//
// Live mode plays through the desktop's sound server; opening fails when no audio
// output answers (the drivers tried are PulseAudio, PipeWire where FluidSynth has
// it, ALSA and JACK; never a file). Offline mode opens no audio output: the caller
// pulls the sound with Render, as fast as it likes.
//
// The SoundFont is loaded on the first Open and kept for later ones. At most one
// port is open at a time; it must not outlive this object.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/sequencer/MidiOutput.h"

class CFluidSynthOutput final : public CMidiOutput {
public:
    enum class Mode { Live, Offline };

    // The gain at full device volume (0xFFFF on both sides).
    static constexpr float kFullVolumeGain = 0.7f;
    // The device's name (MidiOutCaps::strName).
    static constexpr char kDeviceName[] = "ZorvatTone General MIDI synthesizer";
    // LastError of a live Open that found no audio output.
    static constexpr char kNoAudioOutput[] =
        "no sound server answers and no sound card opens: start PipeWire or PulseAudio";

    // soundFont empty: the device is not offered (GetNumDevs 0).
    CFluidSynthOutput(Mode mode, std::string soundFont, int sampleRate = 44100);
    ~CFluidSynthOutput() override;

    // Another SoundFont for the next Open; the one loaded is dropped. False, and
    // nothing changes, while a port is open.
    [[nodiscard]] bool SetSoundFont(std::string soundFont);

    // 1 when a SoundFont path is known, else 0 (and LastError says none is installed).
    std::uint32_t GetNumDevs() override;
    bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) override;
    std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) override;

    // Offline mode with a port open: synthesizes `frames` stereo frames into `out`
    // (2 * frames samples, left then right). False otherwise.
    [[nodiscard]] bool Render(std::int16_t* out, std::size_t frames);
    [[nodiscard]] int GetSampleRate() const { return m_nSampleRate; }
    [[nodiscard]] const std::string& GetSoundFont() const { return m_strSoundFont; }
    // The audio driver of the open live port ("pulseaudio", "alsa", ...).
    [[nodiscard]] const std::string& GetAudioDriver() const { return m_strDriver; }
    // Why the last Open failed: the SoundFont does not load, no sound server
    // answers, ... (see CMidiOutput::LastError).
    [[nodiscard]] std::string LastError() const override { return m_strError; }

    // The FluidSynth gain for a packed left/right device volume (the louder side counts).
    [[nodiscard]] static float GainOf(std::uint32_t volume);

private:
    friend class CFluidSynthPort;
    struct Synth;

    [[nodiscard]] bool EnsureSynth();
    [[nodiscard]] bool StartAudio();
    void PortClosed();

    Mode m_mode;
    std::string m_strSoundFont;
    int m_nSampleRate;
    std::unique_ptr<Synth> m_pSynth;
    bool m_bPortOpen = false;
    std::string m_strDriver;
    std::string m_strError;
};
