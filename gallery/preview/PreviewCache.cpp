#include "gallery/preview/PreviewCache.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"
#include "fileio/RemoveRegularFile.h"

namespace {

// Far more than a minute of Ogg Vorbis: a larger file is none this cache wrote, and
// reading it could take any amount of memory.
constexpr std::uint64_t kMaxPreviewBytes = 16ull * 1024 * 1024;

constexpr std::string_view kExtension = ".ogg";

// The id of "<id><extension>": digits only, 1 to 18 of them, not 0.
std::optional<std::int64_t> IdOfName(std::string_view name, std::string_view extension)
{
    if (!name.ends_with(extension))
        return std::nullopt;
    const std::string_view digits = name.substr(0, name.size() - extension.size());
    if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::int64_t id = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), id);
    return id > 0 ? std::optional(id) : std::nullopt;
}

// What an old version or a cut render left: "<id>.wav", and "<id>.ogg.part" or
// "<id>.ogg.part-N" of the file replacer.
bool IsLeftOver(std::string_view name)
{
    if (IdOfName(name, ".wav"))
        return true;
    const std::size_t part = name.find(".ogg.part");
    return part != std::string_view::npos && IdOfName(name.substr(0, part + kExtension.size()), kExtension);
}

struct CFoundPreview {
    std::int64_t m_nId = 0;
    std::uint64_t m_nBytes = 0;
    std::filesystem::file_time_type m_made;
};

} // namespace

std::string CPreviewCache::PathOf(std::int64_t id) const
{
    return m_strDirectory + "/" + std::to_string(id) + std::string(kExtension);
}

std::uint64_t CPreviewCache::KeptBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_nKeptBytes;
}

bool CPreviewCache::Open(std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(m_strDirectory, ec);
    std::vector<CFoundPreview> found;
    for (fs::directory_iterator it(m_strDirectory, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code statError;
        if (it->is_symlink(statError) || !it->is_regular_file(statError))
            continue;
        if (IsLeftOver(name)) {
            RemoveRegularFile(it->path().string());
            continue;
        }
        const std::optional<std::int64_t> id = IdOfName(name, kExtension);
        const std::uint64_t bytes = it->file_size(statError);
        const fs::file_time_type made = it->last_write_time(statError);
        if (id && !statError && bytes <= kMaxPreviewBytes)
            found.push_back({*id, bytes, made});
    }
    if (ec) {
        error = "cannot read the previews in " + m_strDirectory + ": " + ec.message();
        return false;
    }
    std::sort(found.begin(), found.end(),
              [](const CFoundPreview& a, const CFoundPreview& b) { return a.m_made < b.m_made; });
    std::lock_guard lock(m_mutex);
    for (const CFoundPreview& preview : found)
        AddLocked(preview.m_nId, preview.m_nBytes);
    EvictLocked(m_nLimitBytes);
    return true;
}

bool CPreviewCache::Get(std::int64_t id, std::span<const std::uint8_t> midi, std::string& ogg, std::string& error)
{
    if (ReadKept(id, ogg))
        return true;
    std::lock_guard render(m_renderMutex);
    // Made by another request while this one waited.
    if (ReadKept(id, ogg))
        return true;
    {
        std::lock_guard lock(m_mutex);
        m_nRenderingId = id;
        m_bRenderingForgotten = false;
    }
    const bool bRendered = m_renderer.RenderPreview(midi, ogg, error);
    if (bRendered)
        Keep(id, ogg);
    std::lock_guard lock(m_mutex);
    m_nRenderingId = 0;
    return bRendered;
}

std::shared_ptr<const std::string> CPreviewCache::GetShared(std::int64_t id, std::span<const std::uint8_t> midi,
                                                            std::string& error)
{
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_shared.find(id); it != m_shared.end()) {
            if (std::shared_ptr<const std::string> shared = it->second.lock())
                return shared;
            m_shared.erase(it);
        }
    }
    std::string ogg;
    if (!Get(id, midi, ogg, error))
        return nullptr;
    auto shared = std::make_shared<const std::string>(std::move(ogg));
    std::lock_guard lock(m_mutex);
    // Another request may have read it meanwhile: the first copy stays the shared one.
    std::weak_ptr<const std::string>& entry = m_shared[id];
    if (std::shared_ptr<const std::string> earlier = entry.lock())
        return earlier;
    entry = shared;
    return shared;
}

bool CPreviewCache::ReadKept(std::int64_t id, std::string& ogg)
{
    {
        std::lock_guard lock(m_mutex);
        auto it = m_entries.find(id);
        if (it == m_entries.end())
            return false;
        m_uses.splice(m_uses.end(), m_uses, it->second.m_use);
    }
    // Read outside the lock, straight into the answer's bytes. A preview evicted
    // meanwhile is not found and is rendered again.
    FileError readError;
    return ReadWholeFile(PathOf(id), kMaxPreviewBytes, ogg, readError);
}

void CPreviewCache::Keep(std::int64_t id, const std::string& ogg)
{
    // One larger than the limit would evict every other and then itself.
    if (ogg.size() > m_nLimitBytes)
        return;
    {
        // Room first: on a full disk the oldest previews may be what fills it.
        std::lock_guard lock(m_mutex);
        DropLocked(id);
        EvictLocked(m_nLimitBytes - ogg.size());
    }
    // Synced and renamed in place by the replacer, so that neither a crash nor a power
    // cut leaves a cut preview under the ringtone's name. When it fails (a full disk
    // above all) the preview is served from memory and rendered again next time.
    FileError writeError;
    if (!ReplaceFileWith(PathOf(id), ogg.data(), ogg.size(), writeError))
        return;
    std::lock_guard lock(m_mutex);
    if (m_bRenderingForgotten) {
        RemoveRegularFile(PathOf(id));
        return;
    }
    AddLocked(id, ogg.size());
}

bool CPreviewCache::IsKept(std::int64_t id) const
{
    std::lock_guard lock(m_mutex);
    return m_entries.contains(id);
}

void CPreviewCache::Forget(std::int64_t id)
{
    std::lock_guard lock(m_mutex);
    // A render under way would keep the preview of a ringtone that is gone.
    if (id == m_nRenderingId)
        m_bRenderingForgotten = true;
    m_shared.erase(id);
    DropLocked(id);
    RemoveRegularFile(PathOf(id));
}

void CPreviewCache::AddLocked(std::int64_t id, std::uint64_t bytes)
{
    DropLocked(id);
    m_uses.push_back(id);
    m_entries[id] = {bytes, std::prev(m_uses.end())};
    m_nKeptBytes += bytes;
}

void CPreviewCache::DropLocked(std::int64_t id)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    m_nKeptBytes -= it->second.m_nBytes;
    m_uses.erase(it->second.m_use);
    m_entries.erase(it);
}

void CPreviewCache::EvictLocked(std::uint64_t targetBytes)
{
    while (m_nKeptBytes > targetBytes && !m_uses.empty()) {
        const std::int64_t oldest = m_uses.front();
        DropLocked(oldest);
        RemoveRegularFile(PathOf(oldest));
    }
}
