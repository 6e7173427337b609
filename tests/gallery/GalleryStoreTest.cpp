#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

#include "GalleryTestData.h"
#include "gallery/GalleryStore.h"

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

class GalleryStoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_store.Open(m_dir.Path(), m_error)) << m_error; }

    CGalleryStore::AddResult Add(CToneRecord tone, const std::string* hash = nullptr)
    {
        return m_store.AddTone(tone, hash, m_error);
    }

    CTempDir m_dir;
    CGalleryStore m_store;
    std::string m_error;
    const std::string m_hash = "$argon2id$hash";
};

TEST_F(GalleryStoreTest, RegistersANicknameWithItsFirstToneOnly)
{
    EXPECT_EQ(Add(Tone("nick", "a", 10)), CGalleryStore::AddResult::NicknameTaken) << "unknown without a hash";
    EXPECT_EQ(Add(Tone("nick", "a", 10), &m_hash), CGalleryStore::AddResult::Added);
    EXPECT_EQ(Add(Tone("NICK", "b", 11), &m_hash), CGalleryStore::AddResult::NicknameTaken)
        << "registered already, letter case aside";

    CToneRecord tone = Tone("Nick", "c", 12);
    ASSERT_EQ(m_store.AddTone(tone, nullptr, m_error), CGalleryStore::AddResult::Added);
    EXPECT_EQ(tone.m_strAuthor, "nick") << "stored under the nickname as registered";

    CAuthorRecord author;
    bool found = false;
    ASSERT_TRUE(m_store.FindAuthor("NiCk", author, found, m_error));
    EXPECT_TRUE(found);
    EXPECT_EQ(author.m_strPasswordHash, m_hash);
    std::int64_t count = 0;
    ASSERT_TRUE(m_store.CountTones(count, m_error));
    EXPECT_EQ(count, 2);
}

TEST_F(GalleryStoreTest, ListsNewestFirstWithoutTheMidi)
{
    ASSERT_EQ(Add(Tone("a", "old", 100), &m_hash), CGalleryStore::AddResult::Added);
    ASSERT_EQ(Add(Tone("a", "new", 300)), CGalleryStore::AddResult::Added);
    ASSERT_EQ(Add(Tone("a", "middle", 200, ToneCategory::Chinese)), CGalleryStore::AddResult::Added);
    ASSERT_EQ(Add(Tone("a", "new too", 300)), CGalleryStore::AddResult::Added);
    std::vector<CToneRecord> tones;
    ASSERT_TRUE(m_store.ListTones(tones, m_error));
    ASSERT_EQ(tones.size(), 4u);
    EXPECT_EQ(tones[0].m_strName, "new too");
    EXPECT_EQ(tones[1].m_strName, "new");
    EXPECT_EQ(tones[2].m_strName, "middle");
    EXPECT_EQ(tones[2].m_category, ToneCategory::Chinese);
    EXPECT_EQ(tones[3].m_strName, "old");
    EXPECT_TRUE(tones[0].m_midi.empty());
    EXPECT_EQ(tones[0].m_message, (std::vector<std::uint8_t>{0x02, 0x4A}));
}

TEST_F(GalleryStoreTest, DeletesAndNeverGivesAnIdAgain)
{
    CToneRecord first = Tone("a", "first", 1);
    ASSERT_EQ(m_store.AddTone(first, &m_hash, m_error), CGalleryStore::AddResult::Added);
    CToneRecord second = Tone("a", "second", 2);
    ASSERT_EQ(m_store.AddTone(second, nullptr, m_error), CGalleryStore::AddResult::Added);
    bool deleted = false;
    ASSERT_TRUE(m_store.DeleteTone(second.m_nId, deleted, m_error));
    EXPECT_TRUE(deleted);
    ASSERT_TRUE(m_store.DeleteTone(second.m_nId, deleted, m_error));
    EXPECT_FALSE(deleted);
    CToneRecord third = Tone("a", "third", 3);
    ASSERT_EQ(m_store.AddTone(third, nullptr, m_error), CGalleryStore::AddResult::Added);
    EXPECT_GT(third.m_nId, second.m_nId);

    CToneRecord got;
    bool found = true;
    ASSERT_TRUE(m_store.GetTone(second.m_nId, got, found, m_error));
    EXPECT_FALSE(found);
    ASSERT_TRUE(m_store.GetTone(first.m_nId, got, found, m_error));
    EXPECT_TRUE(found);
    EXPECT_EQ(got.m_midi, SmallPreviewMidi());
}

TEST_F(GalleryStoreTest, KeepsEverythingForTheNextOpenInWalMode)
{
    CToneRecord tone = Tone("a", "kept", 5, ToneCategory::English);
    ASSERT_EQ(m_store.AddTone(tone, &m_hash, m_error), CGalleryStore::AddResult::Added);
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("gallery.db-wal")));

    CGalleryStore again;
    ASSERT_TRUE(again.Open(m_dir.Path(), m_error)) << m_error;
    CToneRecord got;
    bool found = false;
    ASSERT_TRUE(again.GetTone(tone.m_nId, got, found, m_error));
    ASSERT_TRUE(found);
    EXPECT_EQ(got.m_strName, "kept");
    EXPECT_EQ(got.m_category, ToneCategory::English);
    EXPECT_EQ(got.m_nPosted, 5);
}

struct CLookAlike {
    const char* m_szName;
    friend void PrintTo(const CLookAlike& c, std::ostream* os) { *os << c.m_szName; }
    std::string m_strNickname;
    bool m_bSameAuthor;
};

class GalleryStoreLookAlikes : public GalleryStoreTest, public testing::WithParamInterface<CLookAlike> {};

// "victim" is registered; a nickname that looks the same must find it, so that a post
// under it needs victim's password and is stored under "victim".
TEST_P(GalleryStoreLookAlikes, AreTheRegisteredAuthor)
{
    ASSERT_EQ(Add(Tone("victim", "first", 1), &m_hash), CGalleryStore::AddResult::Added);
    CAuthorRecord author;
    bool found = false;
    ASSERT_TRUE(m_store.FindAuthor(GetParam().m_strNickname, author, found, m_error)) << m_error;
    EXPECT_EQ(found, GetParam().m_bSameAuthor);
    if (!GetParam().m_bSameAuthor)
        return;
    EXPECT_EQ(author.m_strNickname, "victim");
    EXPECT_EQ(Add(Tone(GetParam().m_strNickname, "again", 2), &m_hash), CGalleryStore::AddResult::NicknameTaken);
    CToneRecord tone = Tone(GetParam().m_strNickname, "second", 3);
    ASSERT_EQ(m_store.AddTone(tone, nullptr, m_error), CGalleryStore::AddResult::Added) << m_error;
    EXPECT_EQ(tone.m_strAuthor, "victim");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GalleryStoreLookAlikes,
    testing::Values(CLookAlike{"a_trailing_blank", "victim ", true},
                    CLookAlike{"a_trailing_no_break_space", "victim\u00A0", true},
                    CLookAlike{"a_cyrillic_i", "v\u0456ctim", true},
                    CLookAlike{"full_width_letters", "\uFF56\uFF49\uFF43\uFF54\uFF49\uFF4D", true},
                    CLookAlike{"full_width_capitals", "\uFF36\uFF29\uFF23\uFF34\uFF29\uFF2D", true},
                    CLookAlike{"a_dotted_capital_i", "v\u0130ctim", true},
                    CLookAlike{"a_dotless_i", "v\u0131ctim", true},
                    CLookAlike{"r_and_n_for_m", "victirn", true},
                    CLookAlike{"another_word", "victor", false},
                    CLookAlike{"a_dot_above_a_t", "vict\u0307im", false},
                    CLookAlike{"a_blank_inside", "vic tim", false}),
    [](const testing::TestParamInfo<CLookAlike>& info) { return std::string(info.param.m_szName); });

// gallery.db as the first release wrote it: schema version 1, no nickname keys.
void WriteVersion1Database(const std::string& dir)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(CGalleryStore::DatabasePathIn(dir).c_str(), &db), SQLITE_OK);
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
    CGalleryStore store;
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
    CGalleryStore store;
    std::string error;
    EXPECT_FALSE(store.Open("/nonexistent/zt-gallery", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    CToneRecord tone;
    EXPECT_EQ(store.AddTone(tone, nullptr, error), CGalleryStore::AddResult::Failed);
}

} // namespace
