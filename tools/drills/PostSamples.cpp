// gallery-post-samples PORT: posts a few sample ringtones to the gallery on
// 127.0.0.1:PORT through the program's own conversion and Post dialog code, and
// prints what the program would show for each. Exit 0 when all were stored.
//
// gallery-post-samples --fill DATA_DIR N: before the gallery starts, stores N more
// ringtones ("Bell 1" to "Bell N" by bell, under Others, older than any post) straight
// into the store in DATA_DIR, enough for a category of several pages. Posting them
// would run into the gallery's limit of posts from one address.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gallery/service/PasswordHasher.h"
#include "gallery/store/SqliteGalleryStore.h"
#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestServer.h"

namespace {

struct CSample {
    const char* m_szNickname;
    const char* m_szTone;
    int m_nCategory; // 0 English, 1 Chinese, 2 Classical, 3 Others
    const char* m_szRtttl;
};

constexpr CSample kSamples[] = {
    {"ludwig", "Ode to Joy", 2, "Ode:d=4,o=5,b=160:e,e,f,g,g,f,e,d,c,c,d,e,e.,8d,2d"},
    {"mei", "Jasmine Flower", 1, "Jasmine:d=8,o=5,b=100:e,e,g,a,c6,c6,a,g,4g,g,a,4g,4p"},
    {"sam", "Happy Birthday", 0, "Birthday:d=4,o=5,b=125:8g.,16g,a,g,c6,2b,8g.,16g,a,g,d6,2c6"},
    {"sam", "Alarm", 3, "Alarm:d=16,o=6,b=200:c,p,c,p,c,p,c,4p,c,p,c,p,c,p,c"},
};

int Fill(const std::string& dataDir, int count)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::int64_t hourAgo = std::chrono::duration_cast<std::chrono::seconds>(now).count() - 3600;
    std::vector<CToneRecord> tones;
    for (int i = 1; i <= count; ++i) {
        CToneRecord& tone = tones.emplace_back();
        tone.m_strAuthor = "bell";
        tone.m_strName = "Bell " + std::to_string(i);
        tone.m_category = ToneCategory::Others;
        tone.m_nPosted = hourAgo + i;
        tone.m_midi = SmallPreviewMidi();
        tone.m_message = MessageOf("Bell", 120, ScaleNotes(5));
    }
    std::error_code ec;
    std::filesystem::create_directories(dataDir, ec);
    CSqliteGalleryStore store;
    CPasswordHasher hasher(PasswordCost::Minimum);
    std::string hash;
    std::string error;
    bool bStored = store.Open(dataDir, error) && hasher.Hash("pw-bell", hash);
    bStored = bStored && store.AddTone(tones.front(), &hash, error) == CGalleryStore::AddResult::Added;
    tones.erase(tones.begin());
    if (!bStored || !store.AddTones(tones, error)) {
        std::fprintf(stderr, "cannot fill %s: %s\n", dataDir.c_str(), error.c_str());
        return 1;
    }
    std::printf("%d ringtones stored in %s\n", count, dataDir.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--fill")
        return Fill(argv[2], std::max(1, std::atoi(argv[3])));
    if (argc != 2) {
        std::fprintf(stderr, "usage: gallery-post-samples PORT\n       gallery-post-samples --fill DATA_DIR N\n");
        return 2;
    }
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    CTempDir temp;
    int failures = 0;
    for (const CSample& sample : kSamples) {
        std::vector<std::uint8_t> package = PackageFromRtttl(sample.m_szRtttl, temp.Path());
        CProgramPost post = PostLikeTheProgram(port, sample.m_szNickname, "pw-" + std::string(sample.m_szNickname),
                                               sample.m_szTone, sample.m_nCategory, package);
        std::printf("%s: %s\n", post.m_strCaption.c_str(), post.m_strShown.c_str());
        failures += post.m_bPosted ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}
