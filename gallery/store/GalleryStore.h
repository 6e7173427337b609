#pragma once
// The gallery's data: authors with their password hashes, ringtones, and the counters
// of the abuse guard. Two stores keep it: SQLite in the data directory, the embedded
// default (CSqliteGalleryStore), and PostgreSQL, shared by several gallery processes.
// In both a ringtone whose AddTone returned is on disk before the post is answered,
// and every call is safe from several threads at once.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gallery/store/ToneCategory.h"

struct CToneRecord {
    std::int64_t m_nId = 0;        // from 1; never reused after a deletion
    std::string m_strAuthor;       // the nickname as first registered
    std::string m_strName;
    ToneCategory m_category = ToneCategory::Others;
    std::int64_t m_nPosted = 0;    // seconds since 1970, UTC
    std::vector<std::uint8_t> m_midi;    // left empty by ListTones
    std::vector<std::uint8_t> m_message;
};

// Which ringtones a listing holds; what is left empty does not narrow it.
struct CToneFilter {
    std::optional<ToneCategory> m_category;
    // Words as typed, each to be found in the name or the nickname (whole words,
    // letter case and accents aside).
    std::string m_strWords;
    std::string m_strAuthor;       // a nickname as registered (see FindAuthor)
};

// A search lists its newest matches only, this many at most: a search that matches
// much of the gallery is one to narrow, and counting and skipping what it matches
// costs time in proportion.
inline constexpr std::int64_t kMaxSearchMatches = 1000;

// One page of a listing, and how many ringtones the whole listing holds.
struct CTonePage {
    std::vector<CToneRecord> m_tones;
    std::int64_t m_nTotal = 0;     // at most kMaxSearchMatches for a search
    bool m_bMoreMatches = false;   // a search matches more than it lists
};

// One counter of the abuse guard (service/AbuseGuard.h) as the store keeps it.
struct CAbuseCounter {
    std::int64_t m_nCount = 0;
    std::int64_t m_nLast = 0;         // seconds since 1970 of the last event counted
    std::int64_t m_nBlockedUntil = 0; // seconds since 1970; 0 when not blocked
};

struct CAuthorRecord {
    std::string m_strNickname;     // as first registered
    std::string m_strPasswordHash;
};

class CGalleryStore {
public:
    // DiskFull: nothing was stored because the disk (or the database's file-size
    // limit) has no room.
    enum class AddResult { Added, NicknameTaken, DiskFull, Failed };

    CGalleryStore() = default;
    virtual ~CGalleryStore() = default;
    CGalleryStore(const CGalleryStore&) = delete;
    CGalleryStore& operator=(const CGalleryStore&) = delete;

    // Looks a nickname up: the author registered under it, letter case aside for A-Z,
    // else one whose nickname looks like it (LookAlikeKeyOf in names/NameText.h gives
    // both the same key). `found` false when there is neither.
    [[nodiscard]] virtual bool FindAuthor(std::string_view nickname, CAuthorRecord& author, bool& found,
                                          std::string& error) = 0;

    // Stores a ringtone (m_nId and, for a new author, m_strAuthor are set on return).
    // With `newPasswordHash` the nickname is registered in the same transaction; if it
    // was registered meanwhile, nothing is stored and the result is NicknameTaken.
    // Without, the nickname must be registered (else NicknameTaken too).
    [[nodiscard]] virtual AddResult AddTone(CToneRecord& tone, const std::string* newPasswordHash,
                                            std::string& error) = 0;

    // Every ringtone without its MIDI, newest first (by time, then by id).
    [[nodiscard]] virtual bool ListTones(std::vector<CToneRecord>& tones, std::string& error) = 0;
    [[nodiscard]] virtual bool GetTone(std::int64_t id, CToneRecord& tone, bool& found, std::string& error) = 0;
    // `deleted` false when there was no such ringtone.
    [[nodiscard]] virtual bool DeleteTone(std::int64_t id, bool& deleted, std::string& error) = 0;
    [[nodiscard]] virtual bool CountTones(std::int64_t& count, std::string& error) = 0;

    // The counters of CAbuseGuard, by key. A counter never written reads as all zero.
    [[nodiscard]] virtual bool ReadCounter(std::string_view key, CAbuseCounter& counter, std::string& error) = 0;
    // Reads, changes and writes counters in one transaction: `change` gets them in the
    // order of `keys` (at most a few, all different) and may change any; `after` is
    // what they became. Calls at once under the same keys wait for each other.
    [[nodiscard]] virtual bool UpdateCounters(std::span<const std::string> keys,
                                              const std::function<void(std::span<CAbuseCounter>)>& change,
                                              std::vector<CAbuseCounter>& after, std::string& error) = 0;
    // The same for one counter.
    [[nodiscard]] bool UpdateCounter(std::string_view key, const std::function<void(CAbuseCounter&)>& change,
                                     CAbuseCounter& after, std::string& error)
    {
        const std::string keys[] = {std::string(key)};
        std::vector<CAbuseCounter> counters;
        if (!UpdateCounters(keys, [&](std::span<CAbuseCounter> c) { change(c[0]); }, counters, error))
            return false;
        after = counters.front();
        return true;
    }
    // Drops the counters last counted before `before` and not blocking past it.
    [[nodiscard]] virtual bool ForgetCounters(std::int64_t before, std::string& error) = 0;

    // Ringtones of registered nicknames in one transaction and one sync: a large
    // gallery filled at once. Nothing is stored when a nickname is not registered.
    [[nodiscard]] virtual bool AddTones(std::vector<CToneRecord>& tones, std::string& error) = 0;
    // `count` ringtones of those `filter` lets through, without their MIDI, after the
    // first `skip`: newest first by time, then by id; a search by id alone, which is
    // the order of posting, and its first kMaxSearchMatches only. Every step follows
    // an index, the skip an index's entries.
    [[nodiscard]] virtual bool ListTonePage(const CToneFilter& filter, std::int64_t skip, int count,
                                            CTonePage& page, std::string& error) = 0;
    // How many ringtones each category holds, in the order of kToneCategories.
    [[nodiscard]] virtual bool CountTonesByCategory(std::array<std::int64_t, kToneCategories.size()>& counts,
                                                    std::string& error) = 0;
};

// Opens the store `database` names: "sqlite:PATH", "postgresql://..." (or
// "postgres://..."), or empty for "DATA_DIR/gallery.db". Null with the reason in
// `error`.
[[nodiscard]] std::unique_ptr<CGalleryStore> OpenGalleryStore(const std::string& database, const std::string& dataDir,
                                                              std::string& error);
