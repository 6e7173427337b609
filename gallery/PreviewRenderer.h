#pragma once
// Turns a ringtone's preview MIDI file into the WAV file the gallery's audio player
// plays. The real one is the built-in synthesizer (CEnginePreviewRenderer); tests use
// CFakePreviewRenderer.

#include <cstdint>
#include <span>
#include <string>

class CPreviewRenderer {
public:
    virtual ~CPreviewRenderer() = default;
    // Writes the WAV of `midi` to `path` (created or truncated). False with a one-line
    // reason in `error`. Called by one thread at a time.
    [[nodiscard]] virtual bool RenderWav(std::span<const std::uint8_t> midi, const std::string& path,
                                         std::string& error) = 0;
};
