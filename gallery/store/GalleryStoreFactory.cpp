#include "gallery/store/GalleryStore.h"

#include "gallery/store/PostgresGalleryStore.h"
#include "gallery/store/SqliteGalleryStore.h"

std::unique_ptr<CGalleryStore> OpenGalleryStore(const std::string& database, const std::string& dataDir,
                                                std::string& error)
{
    if (database.starts_with("postgresql://") || database.starts_with("postgres://")) {
        auto store = std::make_unique<CPostgresGalleryStore>();
        if (!store->Open(database, error))
            return nullptr;
        return store;
    }
    auto store = std::make_unique<CSqliteGalleryStore>();
    if (database.empty()) {
        if (!store->Open(dataDir, error))
            return nullptr;
        return store;
    }
    constexpr std::string_view kSqlite = "sqlite:";
    if (!database.starts_with(kSqlite) || database.size() == kSqlite.size()) {
        error = "the database \"" + database + "\" is neither sqlite:PATH nor postgresql://...";
        return nullptr;
    }
    if (!store->OpenFile(database.substr(kSqlite.size()), error))
        return nullptr;
    return store;
}
