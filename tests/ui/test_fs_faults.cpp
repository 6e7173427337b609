// File-system fault drills for the form's commands that write: Listen and Post in a
// temporary directory that is missing, read-only or full, and Show RTTL and Show PDU
// in such a working directory. Each ends with the stop message naming the file,
// starts nothing, and leaves the directory as it was.

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tests/support/DrillSong.h"
#include "tests/support/FaultyDir.h"
#include "tests/ui/RingtoneFixture.h"

namespace {

class FormFaultTest : public RingtoneTest {
protected:
    // The profile as Setup leaves it, but with `dir` as the temporary directory.
    void UseTemp(const CFaultyDir& dir)
    {
        SetProfile();
        m_settings.SetString(kProfileSystem, kProfileTempDir, dir.Path());
    }
    void ExpectOneStop(const std::string& text)
    {
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(LastMessage()->text, text);
        EXPECT_EQ(LastMessage()->caption, "ERROR");
        EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    }
    // Listen and Post started nothing and kept what the user typed.
    void ExpectNothingStarted()
    {
        EXPECT_TRUE(m_programs.Calls().empty());
        EXPECT_EQ(m_modal.RunCount(), 0) << "no Post dialog";
        EXPECT_EQ(Rtttl()->toPlainText().toStdString(), DrillSong());
    }
    // "Cannot write the file "<dir>/<seconds>": <reason>.", the package's message.
    static bool NamesAPackageIn(const std::string& text, const std::string& dir, const std::string& reason)
    {
        const QRegularExpression pattern(
            QStringLiteral("^Cannot write the file \"%1/[0-9]+\": %2\\.$")
                .arg(QRegularExpression::escape(QString::fromStdString(dir)),
                     QRegularExpression::escape(QString::fromStdString(reason))));
        return pattern.match(QString::fromStdString(text)).hasMatch();
    }
};

class BrokenTempFormTest : public FormFaultTest, public ::testing::WithParamInterface<DirFault> {};

// The hidden Show buttons write into the working directory.
class BrokenWorkingDirTest : public FormFaultTest, public ::testing::WithParamInterface<DirFault> {
protected:
    BrokenWorkingDirTest() : m_oldDir(QDir::currentPath()) {}
    ~BrokenWorkingDirTest() override { QDir::setCurrent(m_oldDir); }

    // Records three seconds of the tune, then makes `dir` the working directory. A
    // missing one is a working directory that was deleted.
    void RecordThenEnter(const CFaultyDir& dir)
    {
        OpenTune();
        View().OnPlay();
        Steps(300);
        View().OnStop();
        m_prompt.Clear();
        if (GetParam() == DirFault::kMissing) {
            std::filesystem::create_directory(dir.Path());
            ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.Path())));
            std::filesystem::remove(dir.Path());
        } else {
            ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.Path())));
        }
    }

    QString m_oldDir;
};

} // namespace

TEST_P(BrokenTempFormTest, ListenAndPostNameThePreviewAndStartNothing)
{
    CFaultyDir dir(GetParam(), GetParam() == DirFault::kMissing ? FileMap{} : kEarlierFiles);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    UseTemp(dir);
    const FileMap before = dir.Files();
    Type(QString::fromStdString(DrillSong()));
    {
        const auto armed = dir.Arm();
        View().OnListen();
    }
    ExpectOneStop("Cannot write the file \"" + dir.File("zorvat.mid") + "\": " + dir.Reason() + ".");
    ExpectNothingStarted();
    EXPECT_EQ(dir.Files(), before);

    m_prompt.Clear();
    {
        const auto armed = dir.Arm();
        View().OnPostRingtone();
    }
    ExpectOneStop("Cannot write the file \"" + dir.File("zorvat.mid") + "\": " + dir.Reason() + ".");
    ExpectNothingStarted();
    EXPECT_EQ(dir.Files(), before);
}

INSTANTIATE_TEST_SUITE_P(Faults, BrokenTempFormTest, kEveryDirFault, DirFaultCaseName);

TEST_F(FormFaultTest, APostWhosePackageDoesNotFitLeavesOnlyTheEarlierFiles)
{
    const DrillSizes sizes = MeasureDrill();
    // Room for the preview and the hex text, none for the package.
    CFaultyDir dir(DirFault::kFull, kEarlierFiles, 2, sizes.Package() - 1);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    UseTemp(dir);
    Type(QString::fromStdString(DrillSong()));
    {
        const auto armed = dir.Arm();
        View().OnPostRingtone();
    }
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_TRUE(NamesAPackageIn(LastMessage()->text, dir.Path(), dir.Reason())) << LastMessage()->text;
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    ExpectNothingStarted();
    EXPECT_EQ(dir.Files(), kEarlierFiles);
}

TEST_F(FormFaultTest, APostCutShortPartWayIsAFailureAndLeavesNoShortPackage)
{
    const DrillSizes sizes = MeasureDrill();
    SetProfile();
    for (const auto& [name, bytes] : kEarlierFiles)
        ASSERT_TRUE(WriteFile(TempFile(name.c_str()).toStdString(), bytes));
    Type(QString::fromStdString(DrillSong()));
    {
        CFileSizeLimit limit(sizes.midi + 1);
        ASSERT_TRUE(limit.IsSet());
        View().OnPostRingtone();
    }
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_TRUE(NamesAPackageIn(LastMessage()->text, TempDir().toStdString(), std::strerror(EFBIG)))
        << LastMessage()->text;
    ExpectNothingStarted();
    EXPECT_EQ(FilesIn(TempDir().toStdString()), kEarlierFiles);
}

TEST_P(BrokenWorkingDirTest, ShowRttlAndShowPduNameTheFileAndKeepTheOldOne)
{
    const FileMap old = {{"ZvTone.nok", "Old:d=4,o=5,b=63:c,"}, {"zorvat.pdu", "024A3A"}};
    CFaultyDir dir(GetParam(), GetParam() == DirFault::kMissing ? FileMap{} : old);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    RecordThenEnter(dir);
    ASSERT_FALSE(View().GetEngine().GetRtttl().empty());
    // A deleted working directory has no name left to give.
    const std::string where = GetParam() == DirFault::kMissing ? "" : dir.Path() + "/";
    {
        const auto armed = dir.Arm();
        View().OnShowRttl();
    }
    ExpectOneStop("Cannot write the file \"" + where + "ZvTone.nok\": " + dir.Reason() + ".");
    m_prompt.Clear();
    {
        const auto armed = dir.Arm();
        View().OnShowPdu();
    }
    ExpectOneStop("Cannot write the file \"" + where + "zorvat.pdu\": " + dir.Reason() + ".");
    EXPECT_TRUE(m_programs.Calls().empty()) << "no viewer on a file that was not written";
    EXPECT_EQ(dir.Files(), GetParam() == DirFault::kMissing ? FileMap{} : old);
}

INSTANTIATE_TEST_SUITE_P(Faults, BrokenWorkingDirTest, kEveryDirFault, DirFaultCaseName);
