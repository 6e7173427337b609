#include <gtest/gtest.h>

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
    EXPECT_TRUE(std::filesystem::exists(m_dir / "gallery.db-wal"));

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
