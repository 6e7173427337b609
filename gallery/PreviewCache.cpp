#include "gallery/PreviewCache.h"

#include <sys/stat.h>

#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"
#include "fileio/RemoveRegularFile.h"

namespace {

// Larger than the longest preview the engine renders (180 s of 44.1 kHz stereo).
constexpr std::uint64_t kMaxWavBytes = 64ull * 1024 * 1024;

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
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
    if (!Exists(path)) {
        // Rendered beside its place, synced and renamed by the replacer, so that neither
        // a crash nor a power cut mid-way leaves a cut WAV under the ringtone's name: a
        // kept WAV is served as it is for good.
        CFileReplacer kept;
        FileError fileError;
        if (!kept.Open(path, fileError)) {
            error = "cannot keep the preview " + path + ": " + fileError.strReason;
            return false;
        }
        if (!m_renderer.RenderWav(midi, kept.WritePath(), error))
            return false; // the replacer deletes what was rendered
        if (!kept.Commit(fileError)) {
            error = "cannot keep the preview " + path + ": " + fileError.strReason;
            return false;
        }
    }
    FileError readError;
    if (!ReadWholeFile(path, kMaxWavBytes, wav, readError)) {
        error = readError.strReason;
        return false;
    }
    return true;
}

void CPreviewCache::Forget(std::int64_t id)
{
    std::lock_guard lock(m_mutex);
    RemoveRegularFile(PathOf(id));
}
