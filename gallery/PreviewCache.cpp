#include "gallery/PreviewCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "ringtone/StdFile.h"

namespace {

// Larger than the longest preview the engine renders (180 s of 44.1 kHz stereo).
constexpr std::uint64_t kMaxWavBytes = 64ull * 1024 * 1024;

// Forces what was written to `path` (a file or a directory) onto the disk.
bool SyncToDisk(const std::string& path, std::string& error)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool bSynced = fd >= 0 && ::fsync(fd) == 0;
    if (!bSynced)
        error = "cannot write " + path + " to the disk: " + std::generic_category().message(errno);
    if (fd >= 0)
        ::close(fd);
    return bSynced;
}

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
        // Rendered beside its place, synced and renamed, so that neither a crash nor a
        // power cut mid-way leaves a cut WAV under the ringtone's name: a kept WAV is
        // served as it is for good. Without the sync the rename can reach the disk
        // before the samples do.
        const std::string part = path + ".part";
        if (!m_renderer.RenderWav(midi, part, error) || !SyncToDisk(part, error)) {
            std::filesystem::remove(part, ec);
            return false;
        }
        std::filesystem::rename(part, path, ec);
        if (ec) {
            error = "cannot keep the preview " + path + ": " + ec.message();
            std::filesystem::remove(part, ec);
            return false;
        }
        // The rename itself lives in the directory; a failure here costs at most a
        // preview rendered again after a power cut.
        std::string ignored;
        (void)SyncToDisk(m_strDirectory, ignored);
    }
    return ReadWholeFile(path, kMaxWavBytes, wav, error);
}

void CPreviewCache::Forget(std::int64_t id)
{
    std::lock_guard lock(m_mutex);
    std::error_code ec;
    std::filesystem::remove(PathOf(id), ec);
}
