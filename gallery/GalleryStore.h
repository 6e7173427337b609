#pragma once
// The gallery's data: authors with their password hashes, and ringtones. One SQLite
// file, "gallery.db" in the data directory, in WAL mode with full syncs, so that a
// ringtone whose AddTone returned is on disk before the post is answered. Safe to use
// from several threads: every call holds the store's lock for its whole transaction.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "gallery/ToneCategory.h"

struct sqlite3;

struct CToneRecord {
    std::int64_t m_nId = 0;        // from 1; never reused after a deletion
    std::string m_strAuthor;       // the nickname as first registered
    std::string m_strName;
    ToneCategory m_category = ToneCategory::Others;
    std::int64_t m_nPosted = 0;    // seconds since 1970, UTC
    std::vector<std::uint8_t> m_midi;    // left empty by ListTones
    std::vector<std::uint8_t> m_message;
};

struct CAuthorRecord {
    std::string m_strNickname;     // as first registered
    std::string m_strPasswordHash;
};

class CGalleryStore {
public:
    enum class AddResult { Added, NicknameTaken, Failed };

    CGalleryStore() = default;
    ~CGalleryStore();
    CGalleryStore(const CGalleryStore&) = delete;
    CGalleryStore& operator=(const CGalleryStore&) = delete;

    [[nodiscard]] static std::string DatabasePathIn(const std::string& dataDir) { return dataDir + "/gallery.db"; }

    // Opens or creates the database in `dataDir`, which must exist. False with the
    // reason in `error`.
    [[nodiscard]] bool Open(const std::string& dataDir, std::string& error);

    // Looks a nickname up, letter case aside for A-Z. `found` false when unknown.
    [[nodiscard]] bool FindAuthor(std::string_view nickname, CAuthorRecord& author, bool& found, std::string& error);

    // Stores a ringtone (m_nId and, for a new author, m_strAuthor are set on return).
    // With `newPasswordHash` the nickname is registered in the same transaction; if it
    // was registered meanwhile, nothing is stored and the result is NicknameTaken.
    // Without, the nickname must be registered (else NicknameTaken too).
    [[nodiscard]] AddResult AddTone(CToneRecord& tone, const std::string* newPasswordHash, std::string& error);

    // Every ringtone without its MIDI, newest first (by time, then by id).
    [[nodiscard]] bool ListTones(std::vector<CToneRecord>& tones, std::string& error);
    [[nodiscard]] bool GetTone(std::int64_t id, CToneRecord& tone, bool& found, std::string& error);
    // `deleted` false when there was no such ringtone.
    [[nodiscard]] bool DeleteTone(std::int64_t id, bool& deleted, std::string& error);
    [[nodiscard]] bool CountTones(std::int64_t& count, std::string& error);

private:
    [[nodiscard]] bool Exec(const char* sql, std::string& error);
    [[nodiscard]] bool Fail(const char* what, std::string& error);
    [[nodiscard]] bool FindAuthorLocked(std::string_view nickname, CAuthorRecord& author, bool& found,
                                        std::string& error);
    [[nodiscard]] bool InsertTone(CToneRecord& tone, std::string& error);

    std::mutex m_mutex;
    sqlite3* m_pDb = nullptr;
};
