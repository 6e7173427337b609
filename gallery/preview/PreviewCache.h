#pragma once
// The Ogg Vorbis previews, rendered on first request and kept as
// "<directory>/<id>.ogg" up to a limit in bytes: past it, the previews used least
// recently are deleted. Rendering is serialised (the synthesizer engine keeps
// process-wide state, so only one preview is made at a time); kept previews are read
// meanwhile.

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>

#include "gallery/preview/PreviewRenderer.h"

class CPreviewCache {
public:
    static constexpr std::uint64_t kDefaultLimitBytes = 256ull * 1024 * 1024;

    // The directory in a data directory. It keeps the name it had when it held WAVs,
    // so that Open finds an old gallery's WAVs and deletes them.
    [[nodiscard]] static std::string DirectoryIn(const std::string& dataDir) { return dataDir + "/wav"; }

    // The renderer is borrowed.
    CPreviewCache(std::string directory, CPreviewRenderer& renderer, std::uint64_t limitBytes = kDefaultLimitBytes)
        : m_strDirectory(std::move(directory)), m_renderer(renderer), m_nLimitBytes(limitBytes)
    {
    }

    // Creates the directory when missing and learns the previews kept there, the
    // least recently made first; deletes the WAVs of old versions and what a render
    // cut short left. Then evicts down to the limit. False with the reason in `error`.
    [[nodiscard]] bool Open(std::string& error);

    // The preview of ringtone `id` into `ogg` (replaced): read as kept, else rendered
    // from `midi` and kept when the disk has room. False with the reason in `error`.
    [[nodiscard]] bool Get(std::int64_t id, std::span<const std::uint8_t> midi, std::string& ogg,
                           std::string& error);
    // The same, as one copy shared by every answer that holds it: while one is being
    // sent, further requests for that preview share it instead of reading their own.
    // Null with the reason in `error`.
    [[nodiscard]] std::shared_ptr<const std::string> GetShared(std::int64_t id, std::span<const std::uint8_t> midi,
                                                               std::string& error);
    // Whether the preview of ringtone `id` is kept, so that Get would not render it.
    [[nodiscard]] bool IsKept(std::int64_t id) const;
    // Drops the kept preview of a deleted ringtone.
    void Forget(std::int64_t id);

    [[nodiscard]] std::string PathOf(std::int64_t id) const;
    // The bytes of every preview kept.
    [[nodiscard]] std::uint64_t KeptBytes() const;

private:
    struct CEntry {
        std::uint64_t m_nBytes = 0;
        std::list<std::int64_t>::iterator m_use; // its place in m_uses
    };

    // True with the kept preview in `ogg`, marked as the most recently used.
    [[nodiscard]] bool ReadKept(std::int64_t id, std::string& ogg);
    // Writes a rendered preview in place and counts it, when the limit and the disk
    // let it.
    void Keep(std::int64_t id, const std::string& ogg);
    // With m_mutex held. Dropping forgets the entry, not the file.
    void AddLocked(std::int64_t id, std::uint64_t bytes);
    void DropLocked(std::int64_t id);
    // Deletes the least recently used previews until at most `targetBytes` are kept.
    void EvictLocked(std::uint64_t targetBytes);

    std::string m_strDirectory;
    CPreviewRenderer& m_renderer;
    std::uint64_t m_nLimitBytes;
    std::mutex m_renderMutex; // one render at a time; taken before m_mutex
    mutable std::mutex m_mutex; // the entries below and the files they name
    std::unordered_map<std::int64_t, CEntry> m_entries;
    std::list<std::int64_t> m_uses; // least recently used first
    std::uint64_t m_nKeptBytes = 0;
    // The previews answers hold, by id; an entry outlives its copy by little (a
    // lookup that finds it gone drops it).
    std::unordered_map<std::int64_t, std::weak_ptr<const std::string>> m_shared;
    std::int64_t m_nRenderingId = 0; // the preview being rendered, 0 for none
    bool m_bRenderingForgotten = false; // its ringtone was deleted meanwhile
};
