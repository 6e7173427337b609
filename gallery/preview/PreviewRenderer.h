#pragma once
// Turns a ringtone's preview MIDI file into the Ogg Vorbis preview the gallery's
// audio player plays. The real one is the built-in synthesizer
// (CEnginePreviewRenderer); tests use a fake.

#include <cstdint>
#include <span>
#include <string>

class CPreviewRenderer {
public:
    virtual ~CPreviewRenderer() = default;
    // The Ogg Vorbis bytes of `midi` into `ogg` (replaced), in memory: a preview is
    // short enough, and one that cannot be kept for a full disk is still served.
    // False with a one-line reason in `error`. Called by one thread at a time.
    [[nodiscard]] virtual bool RenderPreview(std::span<const std::uint8_t> midi, std::string& ogg,
                                             std::string& error) = 0;
};
