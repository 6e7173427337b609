#pragma once
// The preview played by the built-in General MIDI synthesizer, rendered offline.

#include <cstdint>
#include <string>

#include "gallery/preview/PreviewRenderer.h"

class CEnginePreviewRenderer final : public CPreviewRenderer {
public:
    // A ringtone of at most 130 octets can still last ten minutes at its slowest
    // tempo; a minute tells what it is, in under 400 KB of Ogg Vorbis.
    static constexpr std::uint32_t kMaxPreviewSeconds = 60;
    // A cut tune fades out instead of stopping mid-note.
    static constexpr std::uint32_t kFadeMilliseconds = 2000;

    // soundFont empty: the engine's own search (ZORVAT_SOUNDFONT, then the system's).
    explicit CEnginePreviewRenderer(std::string soundFont = {}) : m_strSoundFont(std::move(soundFont)) {}

    bool RenderPreview(std::span<const std::uint8_t> midi, std::string& ogg, std::string& error) override;

private:
    std::string m_strSoundFont;
};
