#include "gallery/preview/EnginePreviewRenderer.h"

#include "engine/devices/WavRenderer.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"

bool CEnginePreviewRenderer::RenderPreview(std::span<const std::uint8_t> midi, std::string& ogg,
                                           std::string& error)
{
    CMidiSong song;
    if (SongFileError loadError; !LoadSongBytes(midi, "the preview", song, loadError)) {
        error = loadError.strMessage;
        return false;
    }
    WavRenderOptions options;
    options.uMaxMilliseconds = kMaxPreviewSeconds * 1000;
    options.uFadeMilliseconds = kFadeMilliseconds;
    // A ringtone is one voice: stereo would double the bytes for the reverb's width.
    options.nChannels = 1;
    options.strSoundFont = m_strSoundFont;
    CWavRenderer renderer;
    if (!renderer.RenderToMemory(song, SoundFileFormat::OggVorbis, ogg, options)) {
        error = renderer.LastError();
        return false;
    }
    return true;
}
