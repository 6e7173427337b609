#pragma once
// Renders a song to a 16-bit sound file (WAV, FLAC or Ogg Vorbis) or to its bytes in
// memory, through the built-in synthesizer, offline: the engine runs on a manual
// clock and each 5 ms tick is followed by exactly the audio of those 5 ms, so no
// sound card and no waiting are needed.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/devices/SoundFileWriter.h"

class CMidiSong;

struct WavRenderOptions {
    std::uint32_t uFromSecond = 0;       // start second, chased silently as on Play
    // 0: until every track has ended, then the tail. Else the audio lasts at most this
    // long, tail included: a longer song is cut there.
    std::uint32_t uMaxMilliseconds = 0;
    std::uint32_t uFadeMilliseconds = 0; // the audio fades to silence over this before a cut
    std::uint32_t uTailMilliseconds = 1500; // after the last event, so that notes ring out
    int nSampleRate = 44100;
    int nChannels = 2;                   // 1: the synthesizer's stereo mixed down
    std::string strSoundFont;            // empty: FindSoundFont()
    std::uint16_t wChannelMask = 0xFFFF; // bit n on: channel n sounds
    // Called now and then with the share rendered (0..1) when the length is known.
    std::function<void(double)> progress;
};

class CWavRenderer {
public:
    // Renders to the file at `path` in the format its extension names
    // (SoundFileFormatOf). False with LastError() set when there is no SoundFont, the
    // synthesizer or the file cannot be opened, the song is refused by Prepare, or a
    // write fails.
    [[nodiscard]] bool Render(const CMidiSong& song, const std::string& path, const WavRenderOptions& options);
    // The same into `bytes`, in `format`.
    [[nodiscard]] bool RenderToMemory(const CMidiSong& song, SoundFileFormat format, std::string& bytes,
                                      const WavRenderOptions& options);
    [[nodiscard]] const std::string& LastError() const { return m_strError; }
    // Frames written by the last Render.
    [[nodiscard]] std::uint64_t GetFrames() const { return m_qwFrames; }
    // Their sample rate, the synthesizer's.
    [[nodiscard]] int GetSampleRate() const { return m_nSampleRate; }

private:
    // Opens the writer at the synthesizer's sample rate and the options' channels.
    using Opener = std::function<bool(CSoundFileWriter& out, int sampleRate, int channels)>;

    [[nodiscard]] bool Fail(std::string message);
    [[nodiscard]] bool RenderWith(const CMidiSong& song, const WavRenderOptions& options, const Opener& open);

    std::string m_strError;
    std::uint64_t m_qwFrames = 0;
    int m_nSampleRate = 0;
};
