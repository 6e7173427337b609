#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <thread>

#include "gallery/store/PostgresGalleryStore.h"
#include "gallery/store/SqliteGalleryStore.h"
#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestStore.h"

namespace {

CToneRecord Tone(const std::string& author, const std::string& name, std::int64_t posted,
                 ToneCategory category = ToneCategory::Others)
{
    CToneRecord tone;
    tone.m_strAuthor = author;
    tone.m_strName = name;
    tone.m_category = category;
    tone.m_nPosted = posted;
    tone.m_midi = SmallPreviewMidi();
    tone.m_message = {0x02, 0x4A};
    return tone;
}

// Every store test runs on each store.
class StoreTest : public CStoreTestBase {
protected:
    CGalleryStore::AddResult Add(CToneRecord tone, const std::string* hash = nullptr)
    {
        return m_store->AddTone(tone, hash, m_error);
    }

    const std::string m_hash = "$argon2id$hash";
};

class GalleryStoreTest : public StoreTest, public testing::WithParamInterface<StoreKind> {
protected:
    void SetUp() override { OpenStore(GetParam()); }
};

constexpr StoreKind kStoreKinds[] = {StoreKind::Sqlite, StoreKind::Postgres};

std::string StoreTestName(const testing::TestParamInfo<StoreKind>& info)
{
    return NameOfStore(info.param);
}

TEST_P(GalleryStoreTest, RegistersANicknameWithItsFirstToneOnly)
{
    EXPECT_EQ(Add(Tone("nick", "a", 10)), CGalleryStore::AddResult::NicknameTaken) << "unknown without a hash";
    EXPECT_EQ(Add(Tone("nick", "a", 10), &m_hash), CGalleryStore::AddResult::Added);
    EXPECT_EQ(Add(Tone("NICK", "b", 11), &m_hash), CGalleryStore::AddResult::NicknameTaken)
        << "registered already, letter case aside";

    CToneRecord tone = Tone("Nick", "c", 12);
    ASSERT_EQ(m_store->AddTone(tone, nullptr, m_error), CGalleryStore::AddResult::Added);
    EXPECT_EQ(tone.m_strAuthor, "nick") << "stored under the nickname as registered";

    CAuthorRecord author;
    bool found = false;
    ASSERT_TRUE(m_store->FindAuthor("NiCk", author, found, m_error));
    EXPECT_TRUE(found);
    EXPECT_EQ(author.m_strPasswordHash, m_hash);
    std::int64_t count = 0;
    ASSERT_TRUE(m_store->CountTones(count, m_error));
    EXPECT_EQ(count, 2);
}

TEST_P(GalleryStoreTest, ListsNewestFirstWithoutTheMidi)
{
    ASSERT_EQ(Add(Tone("a", "old", 100), &m_hash), CGalleryStore::AddResult::Added);
    ASSERT_EQ(Add(Tone("a", "new", 300)), CGalleryStore::AddResult::Added);
    ASSERT_EQ(Add(Tone("a", "middle", 200, ToneCategory::Chinese)), CGalleryStore::AddResult::Added);
    ASSERT_EQ(Add(Tone("a", "new too", 300)), CGalleryStore::AddResult::Added);
    std::vector<CToneRecord> tones;
    ASSERT_TRUE(m_store->ListTones(tones, m_error));
    ASSERT_EQ(tones.size(), 4u);
    EXPECT_EQ(tones[0].m_strName, "new too");
    EXPECT_EQ(tones[1].m_strName, "new");
    EXPECT_EQ(tones[2].m_strName, "middle");
    EXPECT_EQ(tones[2].m_category, ToneCategory::Chinese);
    EXPECT_EQ(tones[3].m_strName, "old");
    EXPECT_TRUE(tones[0].m_midi.empty());
    EXPECT_EQ(tones[0].m_message, (std::vector<std::uint8_t>{0x02, 0x4A}));
}

TEST_P(GalleryStoreTest, DeletesAndNeverGivesAnIdAgain)
{
    CToneRecord first = Tone("a", "first", 1);
    ASSERT_EQ(m_store->AddTone(first, &m_hash, m_error), CGalleryStore::AddResult::Added);
    CToneRecord second = Tone("a", "second", 2);
    ASSERT_EQ(m_store->AddTone(second, nullptr, m_error), CGalleryStore::AddResult::Added);
    bool deleted = false;
    ASSERT_TRUE(m_store->DeleteTone(second.m_nId, deleted, m_error));
    EXPECT_TRUE(deleted);
    ASSERT_TRUE(m_store->DeleteTone(second.m_nId, deleted, m_error));
    EXPECT_FALSE(deleted);
    CToneRecord third = Tone("a", "third", 3);
    ASSERT_EQ(m_store->AddTone(third, nullptr, m_error), CGalleryStore::AddResult::Added);
    EXPECT_GT(third.m_nId, second.m_nId);

    CToneRecord got;
    bool found = true;
    ASSERT_TRUE(m_store->GetTone(second.m_nId, got, found, m_error));
    EXPECT_FALSE(found);
    ASSERT_TRUE(m_store->GetTone(first.m_nId, got, found, m_error));
    EXPECT_TRUE(found);
    EXPECT_EQ(got.m_midi, SmallPreviewMidi());
}

TEST_P(GalleryStoreTest, KeepsEverythingForTheNextOpen)
{
    CToneRecord tone = Tone("a", "kept", 5, ToneCategory::English);
    ASSERT_EQ(m_store->AddTone(tone, &m_hash, m_error), CGalleryStore::AddResult::Added);
    if (GetParam() == StoreKind::Sqlite) {
        EXPECT_TRUE(std::filesystem::exists(m_store.Dir().File("gallery.db-wal"))) << "in WAL mode";
    }

    std::unique_ptr<CGalleryStore> again = m_store.OpenAnother(m_error);
    ASSERT_TRUE(again) << m_error;
    CToneRecord got;
    bool found = false;
    ASSERT_TRUE(again->GetTone(tone.m_nId, got, found, m_error));
    ASSERT_TRUE(found);
    EXPECT_EQ(got.m_strName, "kept");
    EXPECT_EQ(got.m_category, ToneCategory::English);
    EXPECT_EQ(got.m_nPosted, 5);
}

// What is never written reads as zero; a change is read, made and written whole while
// other threads and processes change the same counter; forgetting keeps what is recent
// or still blocking.
TEST_P(GalleryStoreTest, CountersChangeWholeAndAreForgottenWhenOld)
{
    CAbuseCounter counter{1, 2, 3};
    ASSERT_TRUE(m_store->ReadCounter("never", counter, m_error)) << m_error;
    EXPECT_EQ(counter.m_nCount + counter.m_nLast + counter.m_nBlockedUntil, 0);

    std::unique_ptr<CGalleryStore> other = m_store.OpenAnother(m_error);
    ASSERT_TRUE(other) << m_error;
    constexpr int kThreads = 4;
    constexpr int kChanges = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            CGalleryStore& store = t % 2 == 0 ? *m_store : *other;
            for (int i = 0; i < kChanges; ++i) {
                CAbuseCounter after;
                std::string error;
                if (!store.UpdateCounter("address", [&](CAbuseCounter& c) { ++c.m_nCount, c.m_nLast = 100; }, after,
                                         error))
                    ++failures;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    ASSERT_TRUE(other->ReadCounter("address", counter, m_error)) << m_error;
    EXPECT_EQ(counter.m_nCount, kThreads * kChanges) << "no change lost";

    CAbuseCounter after;
    ASSERT_TRUE(m_store->UpdateCounter("recent", [](CAbuseCounter& c) { c = {1, 300, 0}; }, after, m_error));
    ASSERT_TRUE(m_store->UpdateCounter("blocking", [](CAbuseCounter& c) { c = {9, 50, 500}; }, after, m_error));
    EXPECT_EQ(after.m_nBlockedUntil, 500);
    ASSERT_TRUE(m_store->ForgetCounters(200, m_error)) << m_error;
    for (const auto& [key, count] : {std::pair{"address", 0}, {"recent", 1}, {"blocking", 9}}) {
        ASSERT_TRUE(m_store->ReadCounter(key, counter, m_error)) << m_error;
        EXPECT_EQ(counter.m_nCount, count) << key;
    }
}

// Two processes registering look-alike nicknames at once: one registers it, the other
// is told it is taken.
TEST_P(GalleryStoreTest, RegistersANicknameTwoProcessesRaceForOnce)
{
    std::unique_ptr<CGalleryStore> other = m_store.OpenAnother(m_error);
    ASSERT_TRUE(other) << m_error;
    constexpr int kRounds = 10;
    for (int round = 0; round < kRounds; ++round) {
        const std::string nickname = "rose" + std::to_string(round);
        std::array<CGalleryStore::AddResult, 2> results{};
        std::array<std::string, 2> errors;
        auto post = [&](CGalleryStore& store, const std::string& asTyped, std::size_t i) {
            CToneRecord tone = Tone(asTyped, "tone", round);
            results[i] = store.AddTone(tone, &m_hash, errors[i]);
        };
        std::thread first(post, std::ref(*m_store), nickname, 0);
        std::thread second(post, std::ref(*other), "ROSE" + std::to_string(round), 1);
        first.join();
        second.join();
        EXPECT_EQ(std::count(results.begin(), results.end(), CGalleryStore::AddResult::Added), 1)
            << round << ": " << errors[0] << errors[1];
        EXPECT_EQ(std::count(results.begin(), results.end(), CGalleryStore::AddResult::NicknameTaken), 1) << round;
    }
    std::int64_t count = 0;
    ASSERT_TRUE(m_store->CountTones(count, m_error));
    EXPECT_EQ(count, kRounds);
}

INSTANTIATE_TEST_SUITE_P(Stores, GalleryStoreTest, testing::ValuesIn(kStoreKinds), StoreTestName);

struct CLookAlike {
    const char* m_szName;
    friend void PrintTo(const CLookAlike& c, std::ostream* os) { *os << c.m_szName; }
    std::string m_strNickname;
    bool m_bSameAuthor;
};

class GalleryStoreLookAlikes : public StoreTest,
                               public testing::WithParamInterface<std::tuple<StoreKind, CLookAlike>> {
protected:
    void SetUp() override { OpenStore(std::get<0>(GetParam())); }
    [[nodiscard]] const CLookAlike& Case() const { return std::get<1>(GetParam()); }
};

// "victim" is registered; a nickname that looks the same must find it, so that a post
// under it needs victim's password and is stored under "victim".
TEST_P(GalleryStoreLookAlikes, AreTheRegisteredAuthor)
{
    ASSERT_EQ(Add(Tone("victim", "first", 1), &m_hash), CGalleryStore::AddResult::Added);
    CAuthorRecord author;
    bool found = false;
    ASSERT_TRUE(m_store->FindAuthor(Case().m_strNickname, author, found, m_error)) << m_error;
    EXPECT_EQ(found, Case().m_bSameAuthor);
    if (!Case().m_bSameAuthor)
        return;
    EXPECT_EQ(author.m_strNickname, "victim");
    EXPECT_EQ(Add(Tone(Case().m_strNickname, "again", 2), &m_hash), CGalleryStore::AddResult::NicknameTaken);
    CToneRecord tone = Tone(Case().m_strNickname, "second", 3);
    ASSERT_EQ(m_store->AddTone(tone, nullptr, m_error), CGalleryStore::AddResult::Added) << m_error;
    EXPECT_EQ(tone.m_strAuthor, "victim");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GalleryStoreLookAlikes,
    testing::Combine(testing::ValuesIn(kStoreKinds), testing::Values(CLookAlike{"a_trailing_blank", "victim ", true},
                    CLookAlike{"a_trailing_no_break_space", "victim\u00A0", true},
                    CLookAlike{"a_cyrillic_i", "v\u0456ctim", true},
                    CLookAlike{"full_width_letters", "\uFF56\uFF49\uFF43\uFF54\uFF49\uFF4D", true},
                    CLookAlike{"full_width_capitals", "\uFF36\uFF29\uFF23\uFF34\uFF29\uFF2D", true},
                    CLookAlike{"a_dotted_capital_i", "v\u0130ctim", true},
                    CLookAlike{"a_dotless_i", "v\u0131ctim", true},
                    CLookAlike{"r_and_n_for_m", "victirn", true},
                    CLookAlike{"a_capital_i_for_an_l", "victlm", true},
                    CLookAlike{"capitals_with_a_capital_i", "VICTIM", true},
                    CLookAlike{"another_word", "victor", false},
                    CLookAlike{"a_dot_above_a_t", "vict\u0307im", false},
                    CLookAlike{"a_blank_inside", "vic tim", false})),
    [](const testing::TestParamInfo<std::tuple<StoreKind, CLookAlike>>& info) {
        return std::string(std::get<1>(info.param).m_szName) + "_" + NameOfStore(std::get<0>(info.param));
    });

// gallery.db as the first release wrote it: schema version 1, no nickname keys.
void WriteVersion1Database(const std::string& dir)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(CSqliteGalleryStore::DatabasePathIn(dir).c_str(), &db), SQLITE_OK);
    const char* sql = R"(
CREATE TABLE authors (
    nickname      TEXT PRIMARY KEY COLLATE NOCASE,
    password_hash TEXT NOT NULL,
    registered    INTEGER NOT NULL
);
CREATE TABLE tones (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    author   TEXT NOT NULL REFERENCES authors(nickname),
    name     TEXT NOT NULL,
    category TEXT NOT NULL CHECK (category IN ('ENGLISH', 'CHINESE', 'CLASSICAL', 'OTHERS')),
    posted   INTEGER NOT NULL,
    midi     BLOB NOT NULL,
    message  BLOB NOT NULL
);
CREATE INDEX tones_by_time ON tones (posted DESC, id DESC);
INSERT INTO authors VALUES ('victim ', 'hash of victim-blank', 10);
INSERT INTO authors VALUES ('Victim', 'hash of Victim', 20);
INSERT INTO authors VALUES ('ｒｏｓｅ', 'hash of rose', 30);
INSERT INTO tones (author, name, category, posted, midi, message) VALUES ('Victim', 'old', 'OTHERS', 20, x'00', x'024A');
PRAGMA user_version = 1;
)";
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

TEST(GalleryStoreUpgrade, FindsTheAuthorsOfAVersion1Database)
{
    CTempDir dir;
    ASSERT_NO_FATAL_FAILURE(WriteVersion1Database(dir.Path()));
    CSqliteGalleryStore store;
    std::string error;
    ASSERT_TRUE(store.Open(dir.Path(), error)) << error;

    auto registeredFor = [&](const std::string& nickname) {
        CAuthorRecord author;
        bool found = false;
        EXPECT_TRUE(store.FindAuthor(nickname, author, found, error)) << error;
        return found ? author.m_strNickname : std::string("(none)");
    };
    // Two old authors share a key: the nickname itself wins, letter case aside, and a
    // mere look-alike gets the first registered.
    EXPECT_EQ(registeredFor("Victim"), "Victim");
    EXPECT_EQ(registeredFor("VICTIM"), "Victim");
    EXPECT_EQ(registeredFor("victim "), "victim ");
    EXPECT_EQ(registeredFor("v\u0456ctim"), "victim ");
    EXPECT_EQ(registeredFor("rose"), "\uFF52\uFF4F\uFF53\uFF45");
    EXPECT_EQ(registeredFor("lily"), "(none)");

    CToneRecord tone = Tone("ROSE", "new", 40);
    ASSERT_EQ(store.AddTone(tone, nullptr, error), CGalleryStore::AddResult::Added) << error;
    EXPECT_EQ(tone.m_strAuthor, "\uFF52\uFF4F\uFF53\uFF45");
    std::int64_t count = 0;
    ASSERT_TRUE(store.CountTones(count, error));
    EXPECT_EQ(count, 2);
}

TEST(GalleryStore, RefusesADirectoryThatDoesNotExist)
{
    CSqliteGalleryStore store;
    std::string error;
    EXPECT_FALSE(store.Open("/nonexistent/zt-gallery", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    CToneRecord tone;
    EXPECT_EQ(store.AddTone(tone, nullptr, error), CGalleryStore::AddResult::Failed);
}

// A fresh database that several processes open at once: each opens it, and its schema
// is made once.
TEST(PostgresGalleryStore, OpenedByManyAtOnceMakesTheSchemaOnce)
{
    if (const std::string why = WhyNoStore(StoreKind::Postgres); !why.empty())
        GTEST_SKIP() << why;
    CTestDatabase database;
    std::string error;
    ASSERT_TRUE(database.Create(error)) << error;
    constexpr std::size_t kStores = 4;
    std::array<CPostgresGalleryStore, kStores> stores;
    std::array<std::string, kStores> errors;
    std::array<bool, kStores> opened{};
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < kStores; ++i)
        threads.emplace_back([&, i] { opened[i] = stores[i].Open(database.Url(), errors[i]); });
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < kStores; ++i)
        EXPECT_TRUE(opened[i]) << errors[i];
    std::string once;
    ASSERT_TRUE(database.Server().Query(
        database.Name(), "SELECT COUNT(*) = COUNT(DISTINCT version) AND COUNT(*) = MAX(version) FROM gallery_schema",
        once, error))
        << error;
    EXPECT_EQ(once, "t") << "each version applied once";

    const std::string hash = "$argon2id$hash";
    CToneRecord tone = Tone("nick", "shared", 1);
    ASSERT_EQ(stores[0].AddTone(tone, &hash, error), CGalleryStore::AddResult::Added) << error;
    bool found = false;
    CToneRecord got;
    ASSERT_TRUE(stores[kStores - 1].GetTone(tone.m_nId, got, found, error)) << error;
    EXPECT_TRUE(found);
}

// The database is restarted while the gallery runs: calls meanwhile fail saying why,
// and once it is back every connection of the store works again.
TEST(PostgresGalleryStore, WorksAgainOnceTheServerIsBack)
{
    if (const std::string why = WhyNoStore(StoreKind::Postgres); !why.empty())
        GTEST_SKIP() << why;
    CTestStore store;
    std::string error;
    ASSERT_TRUE(store.Open(StoreKind::Postgres, error)) << error;
    const std::string hash = "$argon2id$hash";
    CToneRecord before = Tone("nick", "before", 1);
    ASSERT_EQ(store->AddTone(before, &hash, error), CGalleryStore::AddResult::Added) << error;
    // Calls on several threads, so that the store holds several connections to lose.
    auto callsFromThreads = [&] {
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 3; ++i) {
                    std::int64_t count = 0;
                    std::string why;
                    if (!store->CountTones(count, why))
                        ++failures;
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        return failures.load();
    };
    ASSERT_EQ(callsFromThreads(), 0);

    CPostgresTestServer& server = *SharedPostgresServer(error);
    // The server is shared with the tests after this one: up again whatever happens here.
    struct CBackUp {
        CPostgresTestServer& m_server;
        ~CBackUp()
        {
            std::string ignored;
            (void)m_server.Resume(ignored); // refused when it runs already
        }
    } backUp{server};
    ASSERT_TRUE(server.Halt(error)) << error;
    CToneRecord during = Tone("nick", "during", 2);
    EXPECT_EQ(store->AddTone(during, nullptr, error), CGalleryStore::AddResult::Failed);
    EXPECT_NE(error.find("PostgreSQL"), std::string::npos) << error;
    std::int64_t count = 0;
    EXPECT_FALSE(store->CountTones(count, error));
    ASSERT_TRUE(server.Resume(error)) << error;

    (void)store->CountTones(count, error); // the first call after the restart may fail
    EXPECT_EQ(callsFromThreads(), 0);
    CToneRecord after = Tone("nick", "after", 3);
    ASSERT_EQ(store->AddTone(after, nullptr, error), CGalleryStore::AddResult::Added) << error;
    std::vector<CToneRecord> tones;
    ASSERT_TRUE(store->ListTones(tones, error)) << error;
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].m_strName, "after");
    EXPECT_EQ(tones[1].m_strName, "before");
}

TEST(PostgresGalleryStore, SaysWhyItCannotReachTheDatabase)
{
    CPostgresGalleryStore store;
    std::string error;
    EXPECT_FALSE(store.Open("postgresql://postgres@127.0.0.1:1/gallery", error));
    EXPECT_NE(error.find("cannot connect to the PostgreSQL database"), std::string::npos) << error;
    CToneRecord tone;
    EXPECT_EQ(store.AddTone(tone, nullptr, error), CGalleryStore::AddResult::Failed);
}

} // namespace
