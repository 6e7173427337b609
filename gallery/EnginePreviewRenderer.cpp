#include "gallery/EnginePreviewRenderer.h"

#include "engine/WavRenderer.h"
#include "song/MidiArchive.h"
#include "song/MidiSong.h"

bool CEnginePreviewRenderer::RenderWav(std::span<const std::uint8_t> midi, const std::string& path,
                                       std::string& error)
{
    CMidiArchive ar(midi.data(), midi.size());
    CMidiSong song;
    song.Serialize(ar);
    WavRenderOptions options;
    options.uMaxSeconds = kMaxPreviewSeconds;
    options.strSoundFont = m_strSoundFont;
    CWavRenderer renderer;
    if (!renderer.Render(song, path, options)) {
        error = renderer.LastError();
        return false;
    }
    return true;
}
