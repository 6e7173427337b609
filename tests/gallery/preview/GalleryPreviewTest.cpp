#include <gtest/gtest.h>

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "engine/devices/SoundFontPath.h"
#include "gallery/GalleryCommandLine.h"
#include "gallery/preview/EnginePreviewRenderer.h"
#include "gallery/preview/PreviewCache.h"
#include "gallery/service/GalleryRoutes.h"
#include "gallery/service/GalleryService.h"
#include "gallery/store/SqliteGalleryStore.h"
#include "tests/support/FakePreviewRenderer.h"
#include "tests/support/FaultyDir.h"
#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/TempDir.h"

namespace {

class PreviewCacheTest : public testing::Test {
protected:
    // The size of every preview the fake renders.
    static std::uint64_t PreviewBytes()
    {
        CFakePreviewRenderer renderer;
        std::string ogg;
        std::string error;
        EXPECT_TRUE(renderer.RenderPreview({}, ogg, error)) << error;
        return ogg.size();
    }

    void Get(CPreviewCache& cache, std::int64_t id)
    {
        std::string ogg;
        std::string error;
        ASSERT_TRUE(cache.Get(id, {}, ogg, error)) << error;
        EXPECT_EQ(ogg.size(), PreviewBytes());
        EXPECT_EQ(ogg.substr(0, 4), "OggS");
    }

    std::string Dir() const { return m_dir.File("previews"); }

    CTempDir m_dir;
    CFakePreviewRenderer m_renderer;
    std::string m_error;
};

// Many slow readers of one preview hold one copy of it between them, not one each.
TEST_F(PreviewCacheTest, AnswersBeingSentShareOneCopyOfAPreview)
{
    CPreviewCache cache(Dir(), m_renderer);
    ASSERT_TRUE(cache.Open(m_error)) << m_error;
    std::vector<std::shared_ptr<const std::string>> sending;
    for (int i = 0; i < 100; ++i) {
        sending.push_back(cache.GetShared(1, {}, m_error));
        ASSERT_TRUE(sending.back()) << m_error;
    }
    EXPECT_EQ(sending.front().use_count(), 100);
    EXPECT_EQ(sending.front()->substr(0, 4), "OggS");
    EXPECT_EQ(m_renderer.Calls(), 1);
    const std::shared_ptr<const std::string> other = cache.GetShared(2, {}, m_error);
    ASSERT_TRUE(other) << m_error;
    EXPECT_NE(other, sending.front());
    sending.clear();
    // Once sent, the next request reads the kept file again.
    ASSERT_TRUE(cache.GetShared(1, {}, m_error)) << m_error;
    EXPECT_EQ(m_renderer.Calls(), 2);
}

TEST_F(PreviewCacheTest, KeepsNoMoreThanItsLimitDroppingTheLeastRecentlyUsed)
{
    const std::uint64_t bytes = PreviewBytes();
    CPreviewCache cache(Dir(), m_renderer, 2 * bytes + bytes / 2); // room for two
    ASSERT_TRUE(cache.Open(m_error)) << m_error;

    Get(cache, 1);
    Get(cache, 2);
    Get(cache, 1); // kept: 1 is now the more recently used
    EXPECT_EQ(m_renderer.Calls(), 2);
    Get(cache, 3);
    EXPECT_EQ(Listing(Dir()), (std::vector<std::string>{"1.ogg", "3.ogg"})) << "2 was the least recently used";
    EXPECT_EQ(cache.KeptBytes(), 2 * bytes);
    EXPECT_EQ(ReadFile(cache.PathOf(3)).size(), bytes);

    Get(cache, 3);
    Get(cache, 2); // rendered again, in place of 1
    EXPECT_EQ(m_renderer.Calls(), 4);
    EXPECT_EQ(Listing(Dir()), (std::vector<std::string>{"2.ogg", "3.ogg"}));

    cache.Forget(3);
    EXPECT_EQ(Listing(Dir()), (std::vector<std::string>{"2.ogg"}));
    EXPECT_EQ(cache.KeptBytes(), bytes);
}

TEST_F(PreviewCacheTest, ServesButKeepsNothingLargerThanItsLimit)
{
    CPreviewCache cache(Dir(), m_renderer, 0);
    ASSERT_TRUE(cache.Open(m_error)) << m_error;
    Get(cache, 1);
    Get(cache, 1);
    EXPECT_EQ(m_renderer.Calls(), 2);
    EXPECT_TRUE(Listing(Dir()).empty());

    m_renderer.SetFail(true);
    std::string ogg;
    EXPECT_FALSE(cache.Get(1, {}, ogg, m_error));
    EXPECT_EQ(m_error, "the fake renderer was told to fail");
}

TEST_F(PreviewCacheTest, LearnsWhatIsOnDiskOldestFirstAndDeletesWhatOldVersionsLeft)
{
    std::filesystem::create_directories(Dir());
    const std::string kept(100, 'k');
    for (const char* name : {"1.ogg", "2.ogg", "3.wav", "4.ogg.part", "4.ogg.part-2", "notes.txt", "x.ogg"})
        ASSERT_TRUE(WriteFile(Dir() + "/" + name, kept));
    // 2 was made before 1: it goes first.
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(Dir() + "/2.ogg", now - std::chrono::hours(2));
    std::filesystem::last_write_time(Dir() + "/1.ogg", now - std::chrono::hours(1));

    CPreviewCache cache(Dir(), m_renderer, 150);
    ASSERT_TRUE(cache.Open(m_error)) << m_error;
    EXPECT_EQ(Listing(Dir()), (std::vector<std::string>{"1.ogg", "notes.txt", "x.ogg"}))
        << "old WAVs and cut renders deleted; what the cache never names stays";
    EXPECT_EQ(cache.KeptBytes(), 100u);

    std::string ogg;
    ASSERT_TRUE(cache.Get(1, {}, ogg, m_error)) << m_error;
    EXPECT_EQ(ogg, kept);
    EXPECT_EQ(m_renderer.Calls(), 0);
}

TEST_F(PreviewCacheTest, ServesFromMemoryWhatAFullDiskCannotKeep)
{
    CFaultyDir full(DirFault::kFull, {}, 0, 16);
    if (!full.Ready())
        GTEST_SKIP() << full.Why();
    CPreviewCache cache(full.Path(), m_renderer);
    ASSERT_TRUE(cache.Open(m_error)) << m_error;
    {
        auto armed = full.Arm();
        Get(cache, 1);
        Get(cache, 1);
    }
    EXPECT_EQ(m_renderer.Calls(), 2) << "nothing kept, so rendered each time";
    EXPECT_EQ(cache.KeptBytes(), 0u);
    EXPECT_TRUE(full.Files().empty()) << "no cut preview left behind";
}

// One note of ten minutes on an organ, which sounds as long as it is held.
Bytes TenMinuteNote()
{
    constexpr std::uint32_t kTicksPerQuarter = 96; // at 120 beats a minute: 192 ticks a second
    return SmfBytes(kTicksPerQuarter,
                    {CTrackBytes().Tempo(0, 500000).Program(0, 0, 16).On(0, 0, 69).Off(192 * 600, 0, 69).End()},
                    0);
}

double RmsOf(const std::vector<short>& samples, std::size_t from, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(count));
}

TEST(EnginePreviewRenderer, MakesAMinuteOfMonoOggOfATenMinuteNoteThatFadesOut)
{
    if (FindSoundFont().empty())
        GTEST_SKIP() << "no General MIDI SoundFont is installed (fluid-soundfont-gm)";
    CEnginePreviewRenderer renderer;
    std::string ogg;
    std::string error;
    ASSERT_TRUE(renderer.RenderPreview(TenMinuteNote(), ogg, error)) << error;
    EXPECT_LT(ogg.size(), 1024u * 1024) << "a minute of mono Vorbis";

    CTempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("preview.ogg"), ogg));
    SF_INFO info{};
    SNDFILE* file = sf_open(dir.File("preview.ogg").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    EXPECT_EQ(info.channels, 1);
    std::vector<short> samples(static_cast<std::size_t>(info.frames));
    EXPECT_EQ(sf_read_short(file, samples.data(), info.frames), info.frames);
    sf_close(file);

    const double seconds = static_cast<double>(info.frames) / info.samplerate;
    EXPECT_LE(seconds, 60.0);
    EXPECT_GE(seconds, 59.9);
    const auto tenth = static_cast<std::size_t>(info.samplerate / 10);
    const double held = RmsOf(samples, samples.size() / 2, tenth);
    EXPECT_GT(held, 500) << "the note still sounds half-way";
    EXPECT_LT(RmsOf(samples, samples.size() - tenth, tenth), held / 10) << "and fades out at the cut";
}

CGalleryRequest Request(const char* method, const char* path)
{
    CGalleryRequest request;
    request.m_strMethod = method;
    request.m_strPath = path;
    return request;
}

TEST(GalleryRoutes, SendsTheLinksOfWavPreviewsToTheOgg)
{
    CTempDir dir;
    CSqliteGalleryStore store;
    std::string error;
    ASSERT_TRUE(store.Open(dir.Path(), error)) << error;
    CPasswordHasher hasher(PasswordCost::Minimum);
    CFakePreviewRenderer renderer;
    CPreviewCache previews(CPreviewCache::DirectoryIn(dir.Path()), renderer);
    CGalleryService service(store, hasher, previews, [] { return std::int64_t{0}; });

    for (const char* method : {"GET", "HEAD"}) {
        CGalleryAnswer answer = RouteGalleryRequest(service, Request(method, "/tone/12.wav"));
        EXPECT_EQ(answer.m_nStatus, 301) << method;
        EXPECT_EQ(answer.m_headers, (decltype(answer.m_headers){{"Location", "/tone/12.ogg"}})) << method;
    }
    EXPECT_EQ(RouteGalleryRequest(service, Request("POST", "/tone/12.wav")).m_nStatus, 405);
    EXPECT_EQ(RouteGalleryRequest(service, Request("GET", "/tone/0.wav")).m_nStatus, 404);
    EXPECT_EQ(RouteGalleryRequest(service, Request("GET", "/tone/12.ogg")).m_nStatus, 404)
        << "no ringtone 12";
}

TEST(GalleryCommandLine, TakesThePreviewCacheSizeInMebibytes)
{
    const auto parse = [](std::vector<std::string> args, std::uint64_t& bytes, std::string& error) {
        args.push_back("data");
        CGalleryCommandLine commandLine;
        const bool ok = ParseGalleryCommandLine(args, commandLine, error);
        bytes = commandLine.m_options.m_nPreviewCacheBytes;
        return ok;
    };
    std::uint64_t bytes = 0;
    std::string error;
    ASSERT_TRUE(parse({}, bytes, error)) << error;
    EXPECT_EQ(bytes, 256u << 20);
    ASSERT_TRUE(parse({"--preview-cache-mb", "3"}, bytes, error)) << error;
    EXPECT_EQ(bytes, 3u << 20);
    ASSERT_TRUE(parse({"--preview-cache-mb=0"}, bytes, error)) << error;
    EXPECT_EQ(bytes, 0u);
    for (const char* bad : {"-1", "lots", "1048577", ""}) {
        EXPECT_FALSE(parse({"--preview-cache-mb", bad}, bytes, error)) << bad;
        EXPECT_EQ(error.rfind("--preview-cache-mb takes a number from 0 to 1048576", 0), 0u) << error;
    }
}

} // namespace
