#include <QDir>
#include <QPushButton>
#include <cerrno>
#include <gtest/gtest.h>

#include "ringtone/SmartMessaging.h"
#include "tests/ui/RingtoneFixture.h"
#include "ui/SpawnProgramStarter.h"

namespace {

struct CheckCase {
    const char* name;
    bool bTemp;
    bool bPlayer;
    const char* rtttl;
    const char* text;
    const char* caption;
};

class ListenTest : public RingtoneTest {};

} // namespace

TEST_F(ListenTest, EachMissingPieceStopsListenWithItsMessageInOrder)
{
    const CheckCase cases[] = {
        {"neither directory nor player: only the directory", false, false, "",
         "Temporary working directory is not set. Please setup first.", "ERROR"},
        {"no directory", false, true, kTypedTone, "Temporary working directory is not set. Please setup first.",
         "ERROR"},
        {"no player", true, false, "", "Media player is not specified. Please setup first.", "ERROR"},
        {"an empty box", true, true, "", "No RTTL information.", "LISTEN ERROR"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompt.Clear();
        SetProfile(c.bTemp, c.bPlayer);
        Type(QString::fromUtf8(c.rtttl));
        View().OnListen();
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(LastMessage()->text, c.text);
        EXPECT_EQ(LastMessage()->caption, c.caption);
        EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
        EXPECT_TRUE(m_programs.Calls().empty());
        EXPECT_TRUE(TempFiles().isEmpty());
    }
}

TEST_F(ListenTest, ListenWritesThePreviewStartsThePlayerOnItAndShowsTheRebuiltText)
{
    SetProfile();
    Type(QStringLiteral("Tune:d=4,o=5,b=120:4c5,9x,8e5,2g5"));
    View().OnListen();
    EXPECT_TRUE(m_prompt.Entries().empty());
    EXPECT_EQ(Rtttl()->toPlainText(), "Tune:d=4,o=5,b=120:4c5,8e5,2g5,");
    ASSERT_EQ(m_programs.Calls().size(), 1u);
    EXPECT_EQ(m_programs.Calls()[0].program, kPlayerPath);
    EXPECT_EQ(m_programs.Calls()[0].arguments, std::vector<std::string>{TempFile("zorvat.mid").toStdString()});
    EXPECT_EQ(TempFiles(), QStringList{"zorvat.mid"});
    EXPECT_TRUE(ReadFile(TempFile("zorvat.mid")).startsWith("MThd"));
}

// Stop Listening is there while the preview plays: it ends the player, and goes
// grey when the player ends on its own.
TEST_F(ListenTest, StopListeningEndsThePlayerAndFollowsIt)
{
    SetProfile();
    auto* pStop = View().findChild<QPushButton*>(QStringLiteral("stopListening"));
    ASSERT_NE(pStop, nullptr);
    EXPECT_FALSE(pStop->isEnabled());
    Type(QString::fromUtf8(kTypedTone));
    View().OnListen();
    ASSERT_EQ(m_programs.Calls().size(), 1u);
    EXPECT_TRUE(pStop->isEnabled());
    pStop->click();
    EXPECT_EQ(m_programs.Stops(), std::vector<long>{m_programs.Calls()[0].nPid});
    EXPECT_FALSE(pStop->isEnabled());

    View().OnListen();
    ASSERT_TRUE(pStop->isEnabled());
    m_programs.End(m_programs.Calls().back().nPid);
    View().ShowListening(); // as its timer does
    EXPECT_FALSE(pStop->isEnabled());
}

TEST_F(ListenTest, TheChosenInstrumentIsThePreviewsProgram)
{
    const struct {
        const char* name;
        int position;
        int program;
    } cases[] = {{"the first entry, Acoustic Grand", 0, 0}, {"the last entry, Gunshot", 127, 127},
                 {"no choice: the trumpet", -1, 57}};
    SetProfile();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Type(QString::fromUtf8(kTypedTone));
        Find<QComboBox>(ControlId::Form::kInstrument)->setCurrentIndex(c.position);
        View().OnListen();
        const QByteArray midi = ReadFile(TempFile("zorvat.mid"));
        ASSERT_GT(midi.size(), 31);
        EXPECT_EQ(static_cast<unsigned char>(midi[30]), 0xC0) << "a program change on channel 1";
        EXPECT_EQ(static_cast<unsigned char>(midi[31]), c.program);
    }
}

TEST_F(ListenTest, AFailedConversionKeepsTheTypedTextAndStartsNoPlayer)
{
    SetProfile();
    Type(QStringLiteral("Tune;d=4"));
    View().OnListen();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->caption, "Format Error");
    EXPECT_EQ(Rtttl()->toPlainText(), "Tune;d=4");
    EXPECT_TRUE(m_programs.Calls().empty());
}

TEST_F(ListenTest, ATruncatedRingtoneShowsTheShortenedTextAndACancelledOneKeepsTheTypedText)
{
    SetProfile();
    QString tone = QStringLiteral("Long:d=4,o=5,b=120:");
    for (int i = 0; i < 150; ++i)
        tone += (i % 2 ? QStringLiteral("8c5,") : QStringLiteral("8d6,"));

    m_prompt.QueueAnswer(PromptAnswer::Cancel);
    Type(tone);
    View().OnListen();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->text, "Ringtone is too long, trancate ?");
    EXPECT_EQ(Rtttl()->toPlainText(), tone);
    EXPECT_TRUE(m_programs.Calls().empty());

    m_prompt.Clear();
    m_prompt.QueueAnswer(PromptAnswer::Ok);
    View().OnListen();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    const QString shown = Rtttl()->toPlainText();
    EXPECT_TRUE(shown.startsWith("Long:d=4,o=5,b=120:8d6,8c5,"));
    EXPECT_LT(shown.size(), tone.size());
    EXPECT_TRUE(tone.startsWith(shown));
    EXPECT_EQ(m_programs.Calls().size(), 1u);
}

TEST_F(ListenTest, APlayerThatDoesNotStartSaysWhy)
{
    const struct {
        const char* name;
        ProgramStart result;
        int nError;
        const char* text;
    } cases[] = {
        {"missing or not executable", ProgramStart::kInvalidProgram, ENOENT, "Invalid media player. Please setup."},
        {"no memory", ProgramStart::kOutOfMemory, ENOMEM, "Out of memory."},
        {"any other reason", ProgramStart::kFailed, EAGAIN,
         "Cannot start the media player: Resource temporarily unavailable."},
    };
    SetProfile();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompt.Clear();
        m_programs.SetResult(c.result, c.nError);
        Type(QString::fromUtf8(kTypedTone));
        View().OnListen();
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(LastMessage()->text, c.text);
        EXPECT_EQ(LastMessage()->caption, "ERROR");
        EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    }
}

TEST_F(ListenTest, APlayerPathThatDoesNotExistIsAnInvalidMediaPlayer)
{
    CSpawnProgramStarter programs;
    CUiServices services{m_settings, m_prompt, m_files, m_modal, m_output, m_clock, programs, m_http};
    CZorvatToneView view(services, m_doc);
    SetProfile();
    m_settings.SetString(kProfileSystem, kProfileMediaPlayer, m_dir.filePath("no-such-player").toStdString());
    view.findChild<QPlainTextEdit*>(ControlName(ControlId::Form::kRtttl))->setPlainText(QString::fromUtf8(kTypedTone));
    view.OnListen();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->text, "Invalid media player. Please setup.");
    EXPECT_EQ(LastMessage()->caption, "ERROR");
}

namespace {

// The hidden buttons write into the working directory: a temporary one here.
class ShowFileTest : public RingtoneTest {
protected:
    ShowFileTest() : m_oldDir(QDir::currentPath()) { QDir::setCurrent(TempDir()); }
    ~ShowFileTest() override { QDir::setCurrent(m_oldDir); }

    void Record()
    {
        OpenTune();
        View().OnPlay();
        Steps(400);
        View().OnStop();
        m_prompt.Clear();
    }
    void ExpectOpened(const char* file)
    {
        ASSERT_EQ(m_programs.Calls().size(), 1u);
        EXPECT_EQ(m_programs.Calls()[0].program, "xdg-open");
        EXPECT_EQ(m_programs.Calls()[0].arguments, std::vector<std::string>{TempFile(file).toStdString()});
    }

    QString m_oldDir;
};

} // namespace

TEST_F(ShowFileTest, ShowRttlWritesTheCapturedTextNotTheEditedBoxAndOpensIt)
{
    Record();
    const std::string captured = View().GetEngine().GetRtttl();
    ASSERT_FALSE(captured.empty());
    Rtttl()->setPlainText(QStringLiteral("edited:d=4,o=5,b=120:c5,"));
    View().OnShowRttl();
    EXPECT_EQ(ReadFile(TempFile("ZvTone.nok")).toStdString(), captured);
    ExpectOpened("ZvTone.nok");
    EXPECT_TRUE(m_prompt.Entries().empty());
}

TEST_F(ShowFileTest, ShowPduWritesTheCapturedRingtoneAsHexAndOpensIt)
{
    Record();
    const std::vector<RingtoneNote> notes = View().GetEngine().GetRingtoneNotes();
    ASSERT_FALSE(notes.empty());
    View().OnShowPdu();
    const std::string expected = HexOf(BuildRingtoneMessage("MyTone", View().GetEngine().GetRingtoneTempo(),
                                                            static_cast<std::int32_t>(notes.size()), notes.data()));
    EXPECT_EQ(ReadFile(TempFile("zorvat.pdu")).toStdString(), expected);
    ExpectOpened("zorvat.pdu");
    EXPECT_TRUE(m_prompt.Entries().empty());
}

TEST_F(ListenTest, TheTestUploadButtonPostsToTheTestServerAndSaysErrorWhenItFails)
{
    View().OnTestUpload();
    ASSERT_EQ(m_http.Requests().size(), 1u);
    EXPECT_EQ(m_http.Requests()[0].m_strHost, "localhost");
    EXPECT_EQ(m_http.Requests()[0].m_wPort, 9010);
    EXPECT_EQ(m_http.Requests()[0].m_strPath, "/servlet/zvtoneload");
    EXPECT_TRUE(m_prompt.Entries().empty());

    m_http.Queue(CFakeHttpTransport::Fail("Couldn't connect to server", {HttpStep::Resolving}));
    View().OnTestUpload();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->text, "error");
    EXPECT_EQ(LastMessage()->caption, "error");
}
