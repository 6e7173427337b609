#pragma once
// The gallery's data in a PostgreSQL database, shared by several gallery processes.
// Every post is committed with synchronous commit on before AddTone returns. The
// schema is brought up to date when the store opens, under an advisory lock, so that
// processes starting together migrate it once.

#include <memory>

#include "gallery/store/GalleryStore.h"

class CPostgresGalleryStore final : public CGalleryStore {
public:
    CPostgresGalleryStore();
    ~CPostgresGalleryStore() override;

    // Connects to `url` ("postgresql://user@host:port/database?..." as libpq takes it)
    // and brings the schema up to date. False with the reason in `error`.
    [[nodiscard]] bool Open(const std::string& url, std::string& error);

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
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};
