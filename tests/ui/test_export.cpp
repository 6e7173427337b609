#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <regex>

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

// The devices' file types follow the plain ones; the one chosen fits the tune to its
// device, byte for byte as export --target does. A name typed without an extension
// takes the chosen type's.
TEST_F(ExportTest, TheChosenFileTypeWritesWhatTheCommandLineWritesForIt)
{
    ASSERT_TRUE(WriteFile(Path("tone.rtttl"), kTone));
    const struct {
        const char* name;
        const char* target;
        const char* filter;
    } cases[] = {
        {"out.fmf", "flipper", "Flipper Zero music player (*.fmf)"},
        {"esc.bin", "bluejay", "Bluejay ESC start-up melody, EEPROM block (*.bin)"},
        {"py.rtttl", "circuitpython", "CircuitPython adafruit_rtttl (*.rtttl)"},
        {"nokia.ott", "", "Nokia ringtone (*.ott)"}, // typed as "nokia", no extension
    };
    for (const auto& c : cases) {
        Rtttl()->setPlainText(QString::fromUtf8(kTone));
        const std::string typed = Path(c.name);
        m_files.QueueAnswer(QString::fromStdString(*c.target ? typed : typed.substr(0, typed.rfind('.'))),
                            QString::fromUtf8(c.filter));
        View().OnExportRingtone();
        EXPECT_TRUE(m_files.Requests().back().strFilter.contains(QString::fromUtf8(c.filter))) << c.name;
        const std::string cli = Path((std::string("cli-") + c.name).c_str());
        const ProgramResult r = *c.target ? RunCli({"export", "--target", c.target, Path("tone.rtttl"), "-o", cli})
                                          : RunCli({"export", Path("tone.rtttl"), "-o", cli});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadFile(Path(c.name)), ReadFile(cli)) << c.name;
        if (*c.target) {
            EXPECT_TRUE(LineUnderTheBox().contains(QStringLiteral(" for %1: ").arg(c.target))) << c.name;
        }
    }
}

// The overview's range of the song as a phone ringtone, byte for byte what the
// command line makes of the same range.
TEST_F(ExportTest, ASongRingtoneIsTheFileTheCommandLineRenders)
{
    const std::string demo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";
    ASSERT_TRUE(View().OpenMidiFile(demo));
    m_files.QueueAnswer(QString::fromStdString(Path("demo.m4r")));
    View().OnExportSongRingtone();
    EXPECT_TRUE(m_files.Requests().back().strFilter.startsWith(QStringLiteral("iPhone ringtone, up to 29.5 s (*.m4r)")));
    EXPECT_TRUE(LineUnderTheBox().startsWith(QStringLiteral("Exported the song ringtone to "))) << LineUnderTheBox().toStdString();
    const ProgramResult r = RunCli({"ringtone", demo, "--from", "0", "--seconds", "29.5", "-o", Path("cli.m4r")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(Path("demo.m4r")), ReadFile(Path("cli.m4r")));
}

// An .ott longer than one message: the question says how much is cut, and the line
// under the box names the cut before anything else.
TEST_F(ExportTest, ALongOttSaysWhatTheCutLeavesOut)
{
    std::string tone = "Long:d=8,o=5,b=130:"; // a tempo a phone does not play: one change
    for (int i = 0; i < 40; ++i)
        tone += "c5,d6,16e7,4f#5,";
    Rtttl()->setPlainText(QString::fromStdString(tone));
    m_files.QueueAnswer(QString::fromStdString(Path("long.ott")));
    View().OnExportRingtone();
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, "Ringtone is too long, trancate ?");
    std::smatch found;
    ASSERT_TRUE(std::regex_match(LastMessage()->detail, found,
                                 std::regex("One message holds all but the last (\\d+) notes; OK cuts them\\.")))
        << LastMessage()->detail;
    EXPECT_TRUE(LineUnderTheBox().contains(QString::fromStdString("; " + found[1].str() +
                                                                  " notes cut to fit one message, from ")))
        << LineUnderTheBox().toStdString();
    EXPECT_EQ(LineUnderTheBox().count(QStringLiteral("b=130 (")), 1) << "each loss said once";
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
