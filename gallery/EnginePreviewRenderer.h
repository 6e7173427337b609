#pragma once
// The preview played by the built-in General MIDI synthesizer, rendered offline.

#include <cstdint>
#include <string>

#include "gallery/PreviewRenderer.h"

class CEnginePreviewRenderer final : public CPreviewRenderer {
public:
    // A ringtone of at most 130 octets can still last ten minutes at its slowest
    // tempo; the preview stops here.
    static constexpr std::uint32_t kMaxPreviewSeconds = 180;

    // soundFont empty: the engine's own search (ZORVAT_SOUNDFONT, then the system's).
    explicit CEnginePreviewRenderer(std::string soundFont = {}) : m_strSoundFont(std::move(soundFont)) {}

    bool RenderWav(std::span<const std::uint8_t> midi, const std::string& path, std::string& error) override;

private:
    std::string m_strSoundFont;
};
