#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/RecentFileList.h"
#include "settings/IniSettingsStore.h"
#include "tests/app/AppFixture.h"

namespace {

// Open MIDI, Save As, New, a separator and Exit.
constexpr qsizetype kFixedItems = 9;

class RecentFilesTest : public AppTest {
protected:
    QStringList FileMenu()
    {
        QStringList out;
        for (const QAction* pAction : Frame().menuBar()->actions().at(0)->menu()->actions())
            out << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
        return out;
    }
    std::string Entry(int n) { return m_settings.GetString(kRecentFileSection, "File" + std::to_string(n)); }
    void OpenNamed(const char* name) { ASSERT_TRUE(AppView().OpenMidiFile(Write(name, TuneBytes(2)).toStdString())); }
};

} // namespace

TEST_F(RecentFilesTest, EachOpenedFileGoesFirstInTheProfileAndTheFileMenu)
{
    CompleteProfile();
    ASSERT_TRUE(Start());
    OpenNamed("a.mid");
    OpenNamed("b.mid");
    EXPECT_EQ(Entry(1), m_dir.filePath("b.mid").toStdString());
    EXPECT_EQ(Entry(2), m_dir.filePath("a.mid").toStdString());
    EXPECT_EQ(Entry(3), "");
    EXPECT_EQ(FileMenu(), QStringList({"&Open MIDI...", "Save &As...", "&New", "-", "&1 " + m_dir.filePath("b.mid"),
                                       "&2 " + m_dir.filePath("a.mid"), "-",
                           "&Import Ringtone...", "&Export Ringtone...", "Export &Song Ringtone...", "-", "E&xit"}));
}

TEST_F(RecentFilesTest, KeepsFourEntriesAndMovesAReopenedFileUp)
{
    CompleteProfile();
    ASSERT_TRUE(Start());
    for (const char* name : {"a.mid", "b.mid", "c.mid", "d.mid", "e.mid"})
        OpenNamed(name);
    EXPECT_EQ(Entry(1), m_dir.filePath("e.mid").toStdString());
    EXPECT_EQ(Entry(4), m_dir.filePath("b.mid").toStdString());
    EXPECT_EQ(Entry(5), "");
    OpenNamed("c.mid");
    EXPECT_EQ(Entry(1), m_dir.filePath("c.mid").toStdString());
    EXPECT_EQ(Entry(2), m_dir.filePath("e.mid").toStdString());
    EXPECT_EQ(Entry(3), m_dir.filePath("d.mid").toStdString());
    EXPECT_EQ(Entry(4), m_dir.filePath("b.mid").toStdString());
    EXPECT_EQ(FileMenu().size(), kFixedItems + 5);
}

TEST_F(RecentFilesTest, TheListFromTheProfileIsOfferedAtStartUpAndOpens)
{
    CompleteProfile();
    const QString tune = Write("tune.mid", TuneBytes(2));
    m_settings.SetString(kRecentFileSection, "File1", tune.toStdString());
    ASSERT_TRUE(Start());
    ASSERT_EQ(FileMenu().size(), kFixedItems + 2);
    Frame().findChild<QAction*>("recentFile1")->trigger();
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
}

TEST_F(RecentFilesTest, AListedFileThatNoLongerOpensLeavesTheList)
{
    CompleteProfile();
    m_settings.SetString(kRecentFileSection, "File1", m_dir.filePath("gone.mid").toStdString());
    ASSERT_TRUE(Start());
    Frame().findChild<QAction*>("recentFile1")->trigger();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text, "Failed to open document.");
    EXPECT_EQ(Entry(1), "");
    EXPECT_EQ(FileMenu(), QStringList({"&Open MIDI...", "Save &As...", "&New", "-", "&Import Ringtone...",
                                       "&Export Ringtone...", "Export &Song Ringtone...", "-", "E&xit"}));
}

TEST_F(RecentFilesTest, ASongTheProgramRefusesToPlayIsNotListedAndLeavesTheListWhenOpenedFromIt)
{
    const char* const refused[] = {"300-tracks/300-tracks.mid", "division-0/division-0.mid",
                                   "length-beyond-file/track-length.mid", "varlen-0FFFFFFF/huge-deltas.mid"};
    CompleteProfile();
    ASSERT_TRUE(Start());
    OpenNamed("tune.mid");
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(AppView().OpenMidiFile(std::string(ZT_SOURCE_DIR "/tests/corpus/") + name));
        EXPECT_TRUE(AppView().HasSong()) << "the song open before stays";
        EXPECT_EQ(Entry(1), m_dir.filePath("tune.mid").toStdString());
        EXPECT_EQ(Entry(2), "");
    }
    EXPECT_EQ(FileMenu().size(), kFixedItems + 2);

    // Listed while it played; now it holds a song the program refuses.
    Write("tune.mid", ReadFile(QStringLiteral(ZT_SOURCE_DIR "/tests/corpus/300-tracks/300-tracks.mid")));
    Frame().findChild<QAction*>("recentFile1")->trigger();
    EXPECT_EQ(Entry(1), "");
    EXPECT_EQ(FileMenu().size(), kFixedItems);
}

TEST(RecentFileList, SurvivesTheIniProfile)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("profile.ini").toStdString();
    {
        CIniSettingsStore store(file);
        CRecentFileList list(store);
        list.Add("/music/a,b;c.mid");
        list.Add("/music/second.mid");
    }
    CIniSettingsStore store(file);
    CRecentFileList list(store);
    list.Load();
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/music/second.mid", "/music/a,b;c.mid"}));
}

TEST(RecentFileList, AProfileThatCannotBeWrittenKeepsTheListAndSaysSoOnStandardErrorOnly)
{
    QTemporaryDir dir;
    // Permissions do not stop root; a file where a folder should be stops everyone.
    QFile blocker(dir.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const std::string profile = blocker.fileName().toStdString() + "/profile.ini";
    CIniSettingsStore store(profile);
    CRecentFileList list(store);
    ::testing::internal::CaptureStderr();
    list.Add("/music/a.mid");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "zorvattone: cannot write the file \"" + profile + "\": Not a directory\n");
    EXPECT_EQ(list.Entries(), std::vector<std::string>{"/music/a.mid"});
}
