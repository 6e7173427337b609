#include "gallery/EnginePreviewRenderer.h"

#include "engine/WavRenderer.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"

bool CEnginePreviewRenderer::RenderWav(std::span<const std::uint8_t> midi, const std::string& path,
                                       std::string& error)
{
    CMidiSong song;
    if (SongFileError loadError; !LoadSongBytes(midi, "the preview", song, loadError)) {
        error = loadError.strMessage;
        return false;
    }
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
