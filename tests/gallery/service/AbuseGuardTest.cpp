// The abuse guard forgets the counters of clients gone quiet, so that the store holds
// the counters of the last hour's clients, not of every client ever seen.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "GalleryTestStore.h"
#include "gallery/service/AbuseGuard.h"
#include "gallery/store/SqliteGalleryStore.h"

namespace {

// The rows of the store's counters table, read beside the store.
std::int64_t CounterRows(const CTestStore& store)
{
    sqlite3* db = nullptr;
    std::int64_t rows = -1;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(CSqliteGalleryStore::DatabasePathIn(store.Dir().Path()).c_str(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM counters", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        rows = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

TEST(AbuseGuard, ForgetsTheCountersOfClientsQuietForAnHourOnTheWayOfItsChecks)
{
    CTestStore store;
    std::string error;
    ASSERT_TRUE(store.Open(StoreKind::Sqlite, error)) << error;
    const CAbuseLimits limits;
    CAbuseGuard guard(*store, limits);
    constexpr std::int64_t kStart = 1765180800;
    std::int64_t wait = 0;
    // 40 addresses guess once at one author, 10 of them again half an hour later; 20
    // addresses post.
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(guard.CountFailure("10.0.0." + std::to_string(i), "victim", kStart, wait, error)) << error;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(guard.TakePost("10.0.1." + std::to_string(i), kStart, wait, error)) << error;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(guard.CountFailure("10.0.0." + std::to_string(i), "victim", kStart + 1800, wait, error)) << error;
    EXPECT_EQ(CounterRows(store), 40 + 1 + 20);

    // A check within the hour forgets nothing.
    bool bCounted = false;
    ASSERT_TRUE(guard.PasswordWait("10.0.2.1", "other", kStart + 3000, wait, bCounted, error)) << error;
    EXPECT_EQ(CounterRows(store), 61);
    // An hour after the first round, its 30 guessers and the 20 posters are forgotten
    // by the next check; the 10 who came back and the author they guessed at are not.
    ASSERT_TRUE(guard.TakePost("10.0.2.2", kStart + limits.m_nForgetSeconds + 60, wait, error)) << error;
    EXPECT_EQ(CounterRows(store), 10 + 1 + 1);
    CAbuseCounter counter;
    ASSERT_TRUE(store->ReadCounter("password-address:10.0.0.3", counter, error)) << error;
    EXPECT_EQ(counter.m_nCount, 2);
    // Half an hour later the 10 go; the author, blocked for an hour by then, stays
    // until an hour after the block ended, and then only the newest poster is left.
    ASSERT_TRUE(guard.TakePost("10.0.2.3", kStart + 1800 + limits.m_nForgetSeconds + 60, wait, error)) << error;
    EXPECT_EQ(CounterRows(store), 1 + 2);
    ASSERT_TRUE(guard.TakePost("10.0.2.4", kStart + 1800 + 2 * limits.m_nForgetSeconds + 120, wait, error)) << error;
    EXPECT_EQ(CounterRows(store), 1);
}

} // namespace
