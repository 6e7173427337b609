#include "tests/gallery/GalleryTestStore.h"

#include <atomic>

#include "gallery/store/PostgresGalleryStore.h"
#include "gallery/store/SqliteGalleryStore.h"

std::string NameOfStore(StoreKind kind)
{
    return kind == StoreKind::Sqlite ? "sqlite" : "postgresql";
}

std::string WhyNoStore(StoreKind kind)
{
    if (kind == StoreKind::Postgres && CPostgresTestServer::BinDir().empty())
        return "PostgreSQL's server programs are not installed (Debian package postgresql)";
    return {};
}

CTestDatabase::~CTestDatabase()
{
    std::string ignored;
    if (!m_strName.empty())
        (void)m_pServer->DropDatabase(m_strName, ignored);
}

bool CTestDatabase::Create(std::string& error)
{
    static std::atomic<int> s_nDatabases{0};
    m_pServer = SharedPostgresServer(error);
    if (!m_pServer)
        return false;
    const std::string name = "gallery_test_" + std::to_string(++s_nDatabases);
    if (!m_pServer->CreateDatabase(name, error))
        return false;
    m_strName = name;
    return true;
}

bool CTestStore::Open(StoreKind kind, std::string& error)
{
    m_kind = kind;
    if (kind == StoreKind::Postgres && !m_database.Create(error))
        return false;
    m_pStore = OpenAnother(error);
    return m_pStore != nullptr;
}

std::unique_ptr<CGalleryStore> CTestStore::OpenAnother(std::string& error) const
{
    if (m_kind == StoreKind::Sqlite) {
        auto store = std::make_unique<CSqliteGalleryStore>();
        if (!store->Open(m_dir.Path(), error))
            return nullptr;
        return store;
    }
    auto store = std::make_unique<CPostgresGalleryStore>();
    if (!store->Open(m_database.Url(), error))
        return nullptr;
    return store;
}
