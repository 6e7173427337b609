#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ViewFixture.h"

namespace {

class ExportTest : public ViewTest {
protected:
    std::string Path(const char* name) { return m_dir.filePath(QString::fromUtf8(name)).toStdString(); }
    QString LineUnderTheBox() { return View().findChild<QLabel*>(QStringLiteral("droppedTokens"))->text(); }
};

constexpr char kTone[] = "Tone:d=4,o=5,b=120:8c5,4p,8d#5,2g..6,";

TEST_F(ExportTest, EachFormatIsTheFileTheCommandLineWrites)
{
    ASSERT_TRUE(WriteFile(Path("tone.rtttl"), kTone));
    for (const char* name : {"out.rtttl", "out.ott", "out.imy"}) {
        Rtttl()->setPlainText(QString::fromUtf8(kTone));
        m_files.QueueAnswer(QString::fromStdString(Path(name)));
        View().OnExportRingtone();
        const std::string cli = Path((std::string("cli-") + name).c_str());
        const ProgramResult r = RunCli({"export", Path("tone.rtttl"), "-o", cli});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadFile(Path(name)), ReadFile(cli)) << name;
        EXPECT_TRUE(LineUnderTheBox().startsWith(QStringLiteral("Exported to "))) << name;
        // RTTTL and an .ott every reader takes alike say one dot (iMelody two): the
        // change is said, as the command line warns of it.
        EXPECT_EQ(LineUnderTheBox().contains(QStringLiteral("2g..6")), std::string(name) != "out.imy") << name;
    }
    // A name that says no format is refused with the reason.
    m_files.QueueAnswer(QString::fromStdString(Path("out.wav")));
    View().OnExportRingtone();
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_NE(LastMessage()->text.find("end its name in .rtttl, .ott, .imy, .ogg or .m4r"), std::string::npos);
}

TEST_F(ExportTest, ImportFillsTheBoxAsTheCommandLineReadsTheFile)
{
    ASSERT_TRUE(WriteFile(Path("two.rtttl"), "One:d=4,o=5,b=100:c,e,g\nTwo:d=8,o=6,b=200:c,d\n"));
    m_files.QueueAnswer(QString::fromStdString(Path("two.rtttl")));
    View().OnImportRingtone();
    const ProgramResult first = RunCli({"import", "--index", "1", Path("two.rtttl")});
    EXPECT_EQ(Rtttl()->toPlainText().toStdString() + "\n", first.out);
    EXPECT_EQ(LineUnderTheBox(), "The file holds 2 ringtones; this is the first");

    ASSERT_TRUE(WriteFile(Path("bad.ott"), std::string("\x02\x4A\x3A", 3)));
    m_files.QueueAnswer(QString::fromStdString(Path("bad.ott")));
    View().OnImportRingtone();
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text.rfind("Cannot import \"" + Path("bad.ott") + "\": ", 0), 0u) << LastMessage()->text;
    EXPECT_EQ(Rtttl()->toPlainText().toStdString() + "\n", first.out) << "a damaged file leaves the box";
}

} // namespace
