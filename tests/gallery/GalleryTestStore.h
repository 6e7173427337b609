#pragma once
// The stores the store tests run against, each test on both: SQLite in a temporary
// folder, and PostgreSQL in a database of its own on the server the tests of the
// process share (PostgresTestServer.h).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gallery/store/GalleryStore.h"
#include "tests/gallery/PostgresTestServer.h"
#include "tests/support/TempDir.h"

enum class StoreKind { Sqlite, Postgres };

// "sqlite", "postgresql": the last part of a test's name.
[[nodiscard]] std::string NameOfStore(StoreKind kind);

// Why tests cannot run on `kind` here: PostgreSQL's server programs are not
// installed. Empty when they can.
[[nodiscard]] std::string WhyNoStore(StoreKind kind);

// A fresh database on the shared PostgreSQL server, dropped at the end of the test.
class CTestDatabase {
public:
    CTestDatabase() = default;
    ~CTestDatabase();
    CTestDatabase(const CTestDatabase&) = delete;
    CTestDatabase& operator=(const CTestDatabase&) = delete;

    // Starts the shared server at its first use. False with the reason in `error`.
    [[nodiscard]] bool Create(std::string& error);
    [[nodiscard]] CPostgresTestServer& Server() const { return *m_pServer; }
    [[nodiscard]] const std::string& Name() const { return m_strName; }
    [[nodiscard]] std::string Url() const { return m_pServer->Url(m_strName); }

private:
    CPostgresTestServer* m_pServer = nullptr;
    std::string m_strName;
};

// An empty store of one kind for one test.
class CTestStore {
public:
    [[nodiscard]] bool Open(StoreKind kind, std::string& error);
    // Another store on the same data, as a second gallery process opens it.
    [[nodiscard]] std::unique_ptr<CGalleryStore> OpenAnother(std::string& error) const;

    CGalleryStore* operator->() const { return m_pStore.get(); }
    CGalleryStore& operator*() const { return *m_pStore; }
    [[nodiscard]] const CTempDir& Dir() const { return m_dir; }

private:
    StoreKind m_kind = StoreKind::Sqlite;
    CTempDir m_dir;
    CTestDatabase m_database;      // before the store: dropped once the store is closed
    std::unique_ptr<CGalleryStore> m_pStore;
};

// A test on one empty store: OpenStore skips it, saying why, where its kind cannot run here.
class CStoreTestBase : public testing::Test {
protected:
    void OpenStore(StoreKind kind)
    {
        if (const std::string why = WhyNoStore(kind); !why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(m_store.Open(kind, m_error)) << m_error;
    }

    CTestStore m_store;
    std::string m_error;
};
