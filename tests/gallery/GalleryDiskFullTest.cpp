#include <gtest/gtest.h>

#include "gallery/service/GalleryService.h"
#include "gallery/store/SqliteGalleryStore.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "tests/support/FakePreviewRenderer.h"
#include "tests/support/FaultyDir.h"
#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/TempDir.h"
#include "upload/UploadBody.h"

namespace {

// A MIDI file of one track the gallery takes, with a text event of `letters`
// letters: it packs small, so a post of it is no larger than any other, while its
// ringtone takes several database pages.
Bytes MidiWithText(std::size_t letters)
{
    Bytes track = {0x00, 0xFF, 0x01};
    AppendVarLen(track, static_cast<std::uint32_t>(letters));
    track.insert(track.end(), letters, 'a');
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    return Cat({Header(0, 1, 96), Chunk("MTrk", track)});
}

constexpr std::size_t kLargeMidiBytes = 14 * 1024;

// The body the program posts for that MIDI and a three-note ringtone.
std::string PostBodyOf(const std::string& nickname)
{
    const std::vector<RingtoneNote> notes = {{0x10, 0x60, 0, 0x40}, {0x30, 0x60, 0, 0x40}, {0x50, 0x60, 0, 0x40}};
    const std::vector<std::uint8_t> package =
        BuildRingtonePackage(MidiWithText(kLargeMidiBytes), HexOf(BuildRingtoneMessage("Tone", 120, 3, notes.data())));
    const std::vector<std::uint8_t> packed = LzwCompressBytes(package.data(), package.size());
    const std::vector<unsigned char> body = BuildUploadBody(nickname, "pw", "Tone", "OTHERS", packed);
    return {body.begin(), body.end()};
}

// The Content-Type the program sends with it.
constexpr std::string_view kContentType = kUploadHeaderLine.substr(kUploadHeaderLine.find(' ') + 1);

// A gallery.db made on a roomy disk: on the full one, opening it writes nothing.
std::string EmptyDatabase()
{
    CTempDir dir;
    {
        CSqliteGalleryStore store;
        std::string error;
        EXPECT_TRUE(store.Open(dir.Path(), error)) << error;
    } // the last connection folds the log into the database
    return ReadFile(CSqliteGalleryStore::DatabasePathIn(dir.Path()));
}

// The store on a disk with room for SQLite's shared memory (32 KiB) and four or five
// pages of its log: enough for a small write (a post's count in the abuse guard),
// too little for a ringtone of kLargeMidiBytes. Without mounts, a file-size limit of
// 32 KiB does the same.
class GalleryDiskFull : public testing::Test {
protected:
    static constexpr std::uint64_t kSharedMemoryBytes = 32 * 1024;
    static constexpr std::uint64_t kLogRoomBytes = 20 * 1024;

    void SetUp() override
    {
        const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        m_pDisk = std::make_unique<CFaultyDir>(DirFault::kFull, FileMap{{"gallery.db", EmptyDatabase()}},
                                               (kSharedMemoryBytes + kLogRoomBytes) / page, kSharedMemoryBytes);
        if (!m_pDisk->Ready())
            GTEST_SKIP() << m_pDisk->Why();
        m_armed.emplace(*m_pDisk);
        ASSERT_TRUE(m_store.Open(m_pDisk->Path(), m_error)) << m_error;
    }
    void TearDown() override { m_armed.reset(); }

    [[nodiscard]] std::int64_t CountTones()
    {
        std::int64_t count = -1;
        EXPECT_TRUE(m_store.CountTones(count, m_error)) << m_error;
        return count;
    }

    std::unique_ptr<CFaultyDir> m_pDisk;
    std::optional<CFaultyDir::CArmed> m_armed;
    CSqliteGalleryStore m_store;
    std::string m_error;
};

TEST_F(GalleryDiskFull, TheStoreSaysSoAndKeepsNothingOfTheRingtone)
{
    CToneRecord tone;
    tone.m_strAuthor = "nick";
    tone.m_strName = "Large";
    tone.m_nPosted = 1;
    tone.m_midi = MidiWithText(kLargeMidiBytes);
    tone.m_message = {0x02, 0x4A};
    const std::string hash = "$argon2id$hash";
    EXPECT_EQ(m_store.AddTone(tone, &hash, m_error), CGalleryStore::AddResult::DiskFull) << m_error;
    EXPECT_EQ(CountTones(), 0);
    CAuthorRecord author;
    bool found = true;
    ASSERT_TRUE(m_store.FindAuthor("nick", author, found, m_error)) << m_error;
    EXPECT_FALSE(found) << "nor the nickname it would have registered";
}

TEST_F(GalleryDiskFull, ThePostIsAnswered507AndNotStored)
{
    CPasswordHasher hasher(PasswordCost::Minimum);
    CFakePreviewRenderer renderer;
    CTempDir previewDir;
    CPreviewCache previews(previewDir.Path(), renderer);
    CGalleryService service(m_store, hasher, previews, [] { return std::int64_t{1765180800}; });
    const std::string body = PostBodyOf("nick");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
    CGalleryAnswer answer = service.Post(kContentType, {bytes, body.size()}, body.size(), true, "192.0.2.1");
    EXPECT_EQ(answer.m_nStatus, 507) << answer.m_strBody;
    EXPECT_NE(answer.m_strBody.find("The gallery's disk is full."), std::string::npos) << answer.m_strBody;
    EXPECT_EQ(CountTones(), 0);
}

} // namespace
