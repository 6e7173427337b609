#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/IniSettingsStore.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileReader.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The profile of these tests lives in a fresh directory, set before QSettings first
// looks at the environment and removed when the tests end; the real home is never
// touched.
const std::string& ConfigHome()
{
    static const CTempDir s_dir;
    [[maybe_unused]] static const bool s_bSet = ::setenv("XDG_CONFIG_HOME", s_dir.File("config").c_str(), 1) == 0 &&
                                                ::setenv("HOME", s_dir.File("home").c_str(), 1) == 0;
    return s_dir.Path();
}
const bool s_bConfigHomeSet = !ConfigHome().empty();

class IniSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strFile = ConfigHome() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        fs::remove(m_strFile);
    }
    std::string m_strFile;
};

TEST_F(IniSettingsStoreTest, TheUserProfileLivesUnderXdgConfigHome)
{
    ASSERT_TRUE(s_bConfigHomeSet);
    CIniSettingsStore store;
    EXPECT_EQ(store.FilePath(), ConfigHome() + "/config/Zorvat Zavi 1.0/ZorvatTone.ini");
    EXPECT_EQ(UserProfilePath(), store.FilePath()) << "the tool's reader finds the same file";
    EXPECT_EQ(store.GetString(kProfileSystem, kProfileTempDir), "");
    ASSERT_TRUE(store.SetString(kProfileSystem, kProfileTempDir, "/tmp/zt"));
    EXPECT_EQ(CIniSettingsStore().GetString(kProfileSystem, kProfileTempDir), "/tmp/zt");
    EXPECT_FALSE(fs::exists(ConfigHome() + "/home"));
}

TEST_F(IniSettingsStoreTest, ValuesRoundTripAsWrittenOneByOne)
{
    const std::pair<const char*, const char*> values[] = {
        {"NICKNAME", " "},
        {"EMAIL", "a,b@example.org"},
        {"PASSWD", "p;ss\\w=rd\"#"},
        {"TEMP", "C:\\Windows\\Temp"},
        {"MPLAYER", "/usr/bin/my player, the one;"},
        {"LIST", "a, b, c"},
        {"UTF8", "Zorvát Tône"},
        {"BLANKS", "  two  "},
        {"EMPTY", ""},
        {"AT", "@ByteArray(x)"},
        {"CONTROL", "tab\tnew\nline\x01"},
    };
    {
        CIniSettingsStore store(m_strFile);
        for (auto [key, value] : values)
            ASSERT_TRUE(store.SetString(kProfileIdentity, key, value)) << key;
    }
    CIniSettingsStore reread(m_strFile);
    for (auto [key, value] : values) {
        EXPECT_EQ(reread.GetString(kProfileIdentity, key), value) << key;
        EXPECT_EQ(ReadProfileString(m_strFile, kProfileIdentity, key), value) << key << ", read without Qt";
    }
    EXPECT_EQ(ReadProfileString(m_strFile, kProfileSystem, kProfileNickname), "");
    EXPECT_EQ(reread.GetString(kProfileSystem, kProfileNickname), "") << "sections are apart";
    EXPECT_EQ(reread.GetString(kProfileIdentity, "nickname"), "") << "keys are case-sensitive";
}

TEST_F(IniSettingsStoreTest, TheFileIsReadableByItsOwnerOnly)
{
    CIniSettingsStore store(m_strFile);
    ASSERT_TRUE(store.SetString(kProfileIdentity, kProfilePassword, "secret"));
    EXPECT_EQ(fs::status(m_strFile).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    // A file left readable by an older version is made private on the next write.
    fs::permissions(m_strFile, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                   fs::perms::others_read);
    ASSERT_TRUE(store.SetString(kProfileIdentity, kProfilePassword, "other"));
    EXPECT_EQ(fs::status(m_strFile).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniSettingsStoreTest, HandWrittenEntriesReadAsStrings)
{
    std::ofstream(m_strFile) << "[SYSTEM]\nTEMP=/tmp/a,b\nMPLAYER=/usr/bin/vlc\n[IDENTITY]\nEMAIL=me@example.org\n";
    CIniSettingsStore store(m_strFile);
    EXPECT_EQ(store.GetString(kProfileSystem, kProfileTempDir), "/tmp/a,b");
    EXPECT_EQ(store.GetString(kProfileSystem, kProfileMediaPlayer), "/usr/bin/vlc");
    EXPECT_EQ(store.GetString(kProfileIdentity, kProfileEmail), "me@example.org");
    EXPECT_EQ(ReadProfileString(m_strFile, kProfileSystem, kProfileTempDir), "/tmp/a,b");
    ASSERT_TRUE(store.SetString(kProfileSystem, kProfileHomeSite, "gallery.example.org"));
    std::string text = ReadFile(m_strFile);
    EXPECT_NE(text.find("[SYSTEM]"), std::string::npos);
    EXPECT_NE(text.find("EMAIL=gallery.example.org"), std::string::npos);
}

TEST_F(IniSettingsStoreTest, AnUnwritableProfileReportsFailureAndWhy)
{
    fs::create_directories(m_strFile); // a directory where the file should be
    CIniSettingsStore store(m_strFile);
    EXPECT_FALSE(store.SetString(kProfileSystem, kProfileTempDir, "/tmp"));
    EXPECT_EQ(store.FilePath(), m_strFile);
    EXPECT_EQ(store.WriteError(), "Is a directory");
    fs::remove(m_strFile);
}

TEST_F(IniSettingsStoreTest, AProfileUnderARegularFileReportsFailureAndWhy)
{
    // Permissions do not stop root; a file where a folder should be stops everyone.
    std::ofstream(m_strFile) << "not a folder\n";
    for (const std::string& path : {m_strFile + "/ZorvatTone.ini", m_strFile + "/Zorvat Zavi 1.0/ZorvatTone.ini"}) {
        CIniSettingsStore store(path);
        EXPECT_FALSE(store.SetString(kProfileSystem, kProfileTempDir, "/tmp")) << path;
        EXPECT_EQ(store.FilePath(), path);
        EXPECT_EQ(store.WriteError(), "Not a directory") << path;
    }
}

TEST_F(IniSettingsStoreTest, AWriteSucceedsOnceTheProfileCanBeWrittenAgain)
{
    fs::create_directories(m_strFile);
    CIniSettingsStore store(m_strFile);
    ASSERT_FALSE(store.SetString(kProfileSystem, kProfileTempDir, "/tmp"));
    fs::remove(m_strFile);
    ASSERT_TRUE(store.SetString(kProfileSystem, kProfileMediaPlayer, "/usr/bin/player")) << store.WriteError();
    EXPECT_EQ(store.WriteError(), "");
    EXPECT_EQ(CIniSettingsStore(m_strFile).GetString(kProfileSystem, kProfileMediaPlayer), "/usr/bin/player");
}

TEST_F(IniSettingsStoreTest, AMalformedProfileIsWrittenWithoutAFalseFailure)
{
    std::ofstream(m_strFile) << "[SYSTEM\nTEMP=/tmp/a\n\x01\n";
    CIniSettingsStore store(m_strFile);
    ASSERT_TRUE(store.SetString(kProfileSystem, kProfileMediaPlayer, "/usr/bin/player")) << store.WriteError();
    EXPECT_EQ(CIniSettingsStore(m_strFile).GetString(kProfileSystem, kProfileMediaPlayer), "/usr/bin/player");
}

} // namespace
