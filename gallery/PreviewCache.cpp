#include "gallery/PreviewCache.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "ringtone/StdFile.h"

namespace {

// Larger than the longest preview the engine renders (180 s of 44.1 kHz stereo).
constexpr std::uint64_t kMaxWavBytes = 64ull * 1024 * 1024;

} // namespace

std::string CPreviewCache::PathOf(std::int64_t id) const
{
    return m_strDirectory + "/" + std::to_string(id) + ".wav";
}

bool CPreviewCache::Get(std::int64_t id, std::span<const std::uint8_t> midi, std::vector<std::uint8_t>& wav,
                        std::string& error)
{
    std::lock_guard lock(m_mutex);
    const std::string path = PathOf(id);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        // Rendered beside its place and renamed, so that a crash mid-way never leaves
        // a cut WAV under the ringtone's name.
        const std::string part = path + ".part";
        if (!m_renderer.RenderWav(midi, part, error)) {
            std::filesystem::remove(part, ec);
            return false;
        }
        std::filesystem::rename(part, path, ec);
        if (ec) {
            error = "cannot keep the preview " + path + ": " + ec.message();
            std::filesystem::remove(part, ec);
            return false;
        }
    }
    return ReadWholeFile(path, kMaxWavBytes, wav, error);
}

void CPreviewCache::Forget(std::int64_t id)
{
    std::lock_guard lock(m_mutex);
    std::error_code ec;
    std::filesystem::remove(PathOf(id), ec);
}
