#pragma once
// The gallery's data in one SQLite file, "gallery.db" in the data directory (or a
// path of its own), in WAL mode with full syncs. Every call that writes holds the
// store's lock for its whole transaction. Listings and ringtones are read through a
// connection of their own under a lock of their own: a commit that waits on the disk
// holds up the writes after it, not the pages.

#include <mutex>

#include "gallery/store/GalleryStore.h"

struct sqlite3;
struct CListingSql;

class CSqliteGalleryStore final : public CGalleryStore {
public:
    CSqliteGalleryStore() = default;
    ~CSqliteGalleryStore() override;

    [[nodiscard]] static std::string DatabasePathIn(const std::string& dataDir) { return dataDir + "/gallery.db"; }

    // Opens or creates the database in `dataDir`, which must exist, or at `path`.
    // False with the reason in `error`.
    [[nodiscard]] bool Open(const std::string& dataDir, std::string& error)
    {
        return OpenFile(DatabasePathIn(dataDir), error);
    }
    [[nodiscard]] bool OpenFile(const std::string& path, std::string& error);

    // CGalleryStore
    [[nodiscard]] bool FindAuthor(std::string_view nickname, CAuthorRecord& author, bool& found,
                                  std::string& error) override;
    [[nodiscard]] AddResult AddTone(CToneRecord& tone, const std::string* newPasswordHash,
                                    std::string& error) override;
    [[nodiscard]] bool ListTones(std::vector<CToneRecord>& tones, std::string& error) override;
    [[nodiscard]] bool GetTone(std::int64_t id, CToneRecord& tone, bool& found, std::string& error) override;
    [[nodiscard]] bool DeleteTone(std::int64_t id, bool& deleted, std::string& error) override;
    [[nodiscard]] bool CountTones(std::int64_t& count, std::string& error) override;
    [[nodiscard]] bool ReadCounter(std::string_view key, CAbuseCounter& counter, std::string& error) override;
    [[nodiscard]] bool UpdateCounters(std::span<const std::string> keys,
                                      const std::function<void(std::span<CAbuseCounter>)>& change,
                                      std::vector<CAbuseCounter>& after, std::string& error) override;
    [[nodiscard]] bool ForgetCounters(std::int64_t before, std::string& error) override;
    [[nodiscard]] bool AddTones(std::vector<CToneRecord>& tones, std::string& error) override;
    [[nodiscard]] bool ListTonePage(const CToneFilter& filter, std::int64_t skip, int count, CTonePage& page,
                                    std::string& error) override;
    [[nodiscard]] bool CountTonesByCategory(std::array<std::int64_t, kToneCategories.size()>& counts,
                                            std::string& error) override;

private:
    [[nodiscard]] bool Exec(const char* sql, std::string& error);
    [[nodiscard]] bool Migrate(std::string& error);
    [[nodiscard]] bool Fail(const char* what, std::string& error);
    [[nodiscard]] bool FailRead(const char* what, std::string& error);
    // Fail, with DiskFull when that is why the last statement failed.
    [[nodiscard]] AddResult FailAdd(const char* what, std::string& error);
    [[nodiscard]] bool FindAuthorLocked(std::string_view nickname, CAuthorRecord& author, bool& found,
                                        std::string& error);
    [[nodiscard]] bool InsertTone(CToneRecord& tone, std::string& error);
    [[nodiscard]] bool ReadCounterLocked(std::string_view key, CAbuseCounter& counter, std::string& error);
    [[nodiscard]] bool CountListing(const CListingSql& sql, CTonePage& page, std::string& error);

    std::mutex m_mutex;
    sqlite3* m_pDb = nullptr;
    std::mutex m_readMutex;
    sqlite3* m_pReadDb = nullptr;
};
