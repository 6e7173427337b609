#pragma once
// The WAV previews, rendered on first request and kept as "<directory>/<id>.wav".
// Rendering is serialised: the synthesizer engine keeps process-wide state, so only
// one preview is made at a time.

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "gallery/PreviewRenderer.h"

class CPreviewCache {
public:
    // The directory must exist; the renderer is borrowed.
    CPreviewCache(std::string directory, CPreviewRenderer& renderer)
        : m_strDirectory(std::move(directory)), m_renderer(renderer)
    {
    }

    // The WAV of ringtone `id`, rendered from `midi` when it is not kept yet. False
    // with the reason in `error`.
    [[nodiscard]] bool Get(std::int64_t id, std::span<const std::uint8_t> midi, std::vector<std::uint8_t>& wav,
                           std::string& error);
    // Drops the kept WAV of a deleted ringtone.
    void Forget(std::int64_t id);

    [[nodiscard]] std::string PathOf(std::int64_t id) const;

private:
    std::string m_strDirectory;
    CPreviewRenderer& m_renderer;
    std::mutex m_mutex;
};
