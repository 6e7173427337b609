#pragma once
// Renders a song to a 16-bit stereo WAV file through the built-in synthesizer,
// offline: the engine runs on a manual clock and each 5 ms tick is followed by
// exactly the audio of those 5 ms, so no sound card and no waiting are needed.

#include <cstdint>
#include <string>

class CMidiSong;

struct WavRenderOptions {
    std::uint32_t uFromSecond = 0;       // start second, chased silently as on Play
    std::uint32_t uMaxSeconds = 0;       // 0: until every track has ended
    std::uint32_t uTailMilliseconds = 1500; // after the last event, so that notes ring out
    int nSampleRate = 44100;
    std::string strSoundFont;            // empty: FindSoundFont()
};

class CWavRenderer {
public:
    // False with LastError() set when there is no SoundFont, the synthesizer or the
    // file cannot be opened, the song is refused by Prepare, or a write fails.
    [[nodiscard]] bool Render(const CMidiSong& song, const std::string& path, const WavRenderOptions& options);
    [[nodiscard]] const std::string& LastError() const { return m_strError; }
    // Stereo frames written by the last Render.
    [[nodiscard]] std::uint64_t GetFrames() const { return m_qwFrames; }

private:
    [[nodiscard]] bool Fail(std::string message);

    std::string m_strError;
    std::uint64_t m_qwFrames = 0;
};
