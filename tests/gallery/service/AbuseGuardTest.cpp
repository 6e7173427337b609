// The abuse guard: it counts each password check before the check runs, and forgets
// the counters of clients gone quiet, so that the store holds the counters of the last
// hour's clients, not of every client ever seen.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <thread>
#include <vector>

#include "gallery/service/AbuseGuard.h"
#include "gallery/store/SqliteGalleryStore.h"
#include "tests/gallery/GalleryTestStore.h"

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
    // Nobody is blocked here: only the age of the counters counts.
    CAbuseLimits limits{.m_nFreeFailuresPerAuthor = 1000, .m_nFreeFailuresPerAddress = 1000};
    CAbuseGuard guard(*store, limits);
    constexpr std::int64_t kStart = 1765180800;
    std::int64_t wait = 0;
    const auto check = [&](const std::string& address, std::int64_t at) {
        ASSERT_TRUE(guard.BeginPasswordCheck(address, "victim", at, wait, error)) << error;
        ASSERT_EQ(wait, 0);
    };
    const auto post = [&](const std::string& address, std::int64_t at) {
        ASSERT_TRUE(guard.TakePost(address, at, wait, error)) << error;
    };
    // 40 addresses try a password (a counter of each, of each with the author, and of
    // the author), 20 post, and 10 of the 40 try again half an hour later.
    for (int i = 0; i < 40; ++i)
        check("10.0.0." + std::to_string(i), kStart);
    for (int i = 0; i < 20; ++i)
        post("10.0.1." + std::to_string(i), kStart);
    for (int i = 0; i < 10; ++i)
        check("10.0.0." + std::to_string(i), kStart + 1800);
    EXPECT_EQ(CounterRows(store), 40 + 40 + 1 + 20);

    post("10.0.2.1", kStart + 3000);
    EXPECT_EQ(CounterRows(store), 102) << "within the hour nothing is forgotten";
    // An hour after the first round, its 30 quiet addresses and the 20 posters go at
    // the next check; those who came back and the author stay.
    post("10.0.2.2", kStart + limits.m_nForgetSeconds + 60);
    EXPECT_EQ(CounterRows(store), 10 + 10 + 1 + 2);
    // An hour after the second round only the posts of the last hour are left.
    post("10.0.2.3", kStart + 1800 + limits.m_nForgetSeconds + 120);
    EXPECT_EQ(CounterRows(store), 3);
}

TEST(AbuseGuard, AddingAddressesAddsNoGuessesYetTheAuthorPostsFromATrustedAddress)
{
    CTestStore store;
    std::string error;
    ASSERT_TRUE(store.Open(StoreKind::Sqlite, error)) << error;
    const CAbuseLimits limits;
    CAbuseGuard guard(*store, limits);
    constexpr std::int64_t kNow = 1765180800;
    std::int64_t wait = 0;
    const auto checkRuns = [&](const std::string& address, std::int64_t at) {
        EXPECT_TRUE(guard.BeginPasswordCheck(address, "victim", at, wait, error)) << error;
        return wait == 0;
    };
    ASSERT_TRUE(checkRuns("192.0.2.1", kNow));
    ASSERT_TRUE(guard.CountSuccess("192.0.2.1", "victim", kNow, error)) << error;
    int checked = 0;
    for (int i = 0; i < 1000; ++i)
        checked += checkRuns("10." + std::to_string(i / 250) + ".0." + std::to_string(i % 250), kNow + i / 100);
    EXPECT_LE(checked, 10);
    EXPECT_FALSE(checkRuns("198.51.100.9", kNow + 10)) << "a new address waits with the guessers";
    EXPECT_TRUE(checkRuns("192.0.2.1", kNow + 10)) << "the author's own address does not";
    ASSERT_TRUE(guard.CountSuccess("192.0.2.1", "victim", kNow + 10, error)) << error;
    EXPECT_FALSE(checkRuns("10.9.0.1", kNow + 10)) << "the author's success wipes no guesses";

    // One client holds a whole IPv6 /64, and an IPv4 address mapped into IPv6 is itself.
    EXPECT_EQ(CAbuseGuard::ClientBlockOf("2001:db8:1:2:aaaa::1"), CAbuseGuard::ClientBlockOf("2001:db8:1:2::ffff"));
    EXPECT_NE(CAbuseGuard::ClientBlockOf("2001:db8:1:2::1"), CAbuseGuard::ClientBlockOf("2001:db8:1:3::1"));
    EXPECT_EQ(CAbuseGuard::ClientBlockOf("::ffff:10.1.2.3"), "10.1.2.3");
}

// Checks made at once, as guesses sent in parallel, are counted one by one: no more
// run than the limit lets through, in either store.
class AbuseGuardOnStore : public testing::TestWithParam<StoreKind> {};

TEST_P(AbuseGuardOnStore, CountsEachCheckBeforeItRunsEvenWhenManyComeAtOnce)
{
    if (const std::string why = WhyNoStore(GetParam()); !why.empty())
        GTEST_SKIP() << why;
    CTestStore store;
    std::string error;
    ASSERT_TRUE(store.Open(GetParam(), error)) << error;
    const CAbuseLimits limits;
    CAbuseGuard guard(*store, limits);
    constexpr std::int64_t kNow = 1765180800;
    std::atomic<int> allowed{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> guessers;
    for (int i = 0; i < 16; ++i)
        guessers.emplace_back([&] {
            std::int64_t wait = 0;
            std::string why;
            if (!guard.BeginPasswordCheck("10.0.0.1", "victim", kNow, wait, why))
                ++failures;
            else if (wait == 0)
                ++allowed;
        });
    for (std::thread& guesser : guessers)
        guesser.join();
    EXPECT_EQ(failures.load(), 0);
    // The free checks, and the one after them that starts the waiting.
    EXPECT_EQ(allowed.load(), limits.m_nFreeFailuresPerAuthor + 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, AbuseGuardOnStore, testing::Values(StoreKind::Sqlite, StoreKind::Postgres),
                         [](const testing::TestParamInfo<StoreKind>& info) { return NameOfStore(info.param); });

} // namespace
