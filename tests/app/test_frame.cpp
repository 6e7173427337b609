#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <cerrno>
#include <gtest/gtest.h>

#include "tests/app/AppFixture.h"
#include "tests/support/RunProgram.h"
#include "ui/SetupDlg.h"

namespace {

class MainFrameTest : public AppTest {
protected:
    void SetUp() override
    {
        CompleteProfile();
        ASSERT_TRUE(Start());
    }
    QStringList Captions(const QList<QAction*>& actions)
    {
        QStringList out;
        for (const QAction* pAction : actions)
            out << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
        return out;
    }
    QMenu* FileMenu() { return Frame().menuBar()->actions().at(0)->menu(); }
    // Sends a drag entering the window and, when it is accepted, the drop.
    bool Drop(const QString& path)
    {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&Frame(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &drop);
        return true;
    }
};

} // namespace

TEST_F(MainFrameTest, TheWindowFitsTheScreenAndTheFormScrollsToEveryControl)
{
    const Qt::WindowFlags flags = Frame().windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    // The test screen (800x600) is smaller than the form.
    const QSize available = Frame().screen()->availableGeometry().size();
    EXPECT_LE(Frame().width(), available.width());
    EXPECT_LE(Frame().height(), available.height());
    const QSize before = Frame().size();
    ASSERT_TRUE(AppView().OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    EXPECT_EQ(Frame().size(), before) << "a song's longer labels fit the same window";

    auto* pScroll = Frame().findChild<QScrollArea*>(QStringLiteral("formScroll"));
    ASSERT_NE(pScroll, nullptr);
    for (int id : {ControlId::Form::kPost, ControlId::Form::kListen, ControlId::Form::kInstrument,
                   ControlId::Form::ChannelCheckId(15)}) {
        auto* pControl = AppView().findChild<QWidget*>(ControlName(id));
        ASSERT_NE(pControl, nullptr) << id;
        pScroll->ensureWidgetVisible(pControl);
        const QRect shown(pControl->mapTo(pScroll->viewport(), QPoint(0, 0)), pControl->size());
        EXPECT_TRUE(pScroll->viewport()->rect().contains(shown)) << qPrintable(ControlName(id));
    }
}

// As a screen reader's user works the form on a screen smaller than it: every
// control has a name and scrolls into view, the octet line is read, and the range
// recording pressed through the accessibility actions is the command line's.
TEST_F(MainFrameTest, ThroughTheAccessibilityTreeEveryControlIsReachedAndTheRecordingIsTheCommandLines)
{
    const std::string demo = ZT_SOURCE_DIR "/data/demo.mid";
    ASSERT_TRUE(AppView().OpenMidiFile(demo));
    auto* pScroll = Frame().findChild<QScrollArea*>(QStringLiteral("formScroll"));
    ASSERT_NE(pScroll, nullptr);
    const auto press = [&](const char* objectName) {
        auto* pWidget = AppView().findChild<QWidget*>(QString::fromUtf8(objectName));
        ASSERT_NE(pWidget, nullptr) << objectName;
        QAccessibleInterface* pAccessible = QAccessible::queryAccessibleInterface(pWidget);
        ASSERT_TRUE(pAccessible && pAccessible->actionInterface()) << objectName;
        const QStringList actions = pAccessible->actionInterface()->actionNames();
        if (actions.contains(QAccessibleActionInterface::toggleAction())) {
            pAccessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            return;
        }
        // Press animates a click that lands after a moment of the event loop, which
        // this test does not spin (Qt's painting threads would run): the click it
        // ends in, at once.
        ASSERT_TRUE(actions.contains(QAccessibleActionInterface::pressAction())) << objectName;
        auto* pButton = qobject_cast<QAbstractButton*>(pWidget);
        ASSERT_NE(pButton, nullptr) << objectName;
        pButton->click();
    };
    for (QWidget* pWidget : AppView().findChildren<QWidget*>()) {
        QAccessibleInterface* pAccessible = QAccessible::queryAccessibleInterface(pWidget);
        if (!pWidget->isVisibleTo(&AppView()) || !(pWidget->focusPolicy() & Qt::TabFocus) || !pAccessible)
            continue;
        EXPECT_FALSE(pAccessible->text(QAccessible::Name).isEmpty()) << qPrintable(pWidget->objectName());
        pScroll->ensureWidgetVisible(pWidget);
        const QRect shown(pWidget->mapTo(pScroll->viewport(), QPoint(0, 0)), pWidget->size());
        EXPECT_TRUE(pScroll->viewport()->rect().intersects(shown)) << qPrintable(pWidget->objectName());
    }
    press("takeSuggestion");
    press("startAtTune");
    press("keepRhythm");
    press("fitOneMessage");
    press("recordWithoutPlaying");
    const ProgramResult cli =
        RunCli({"record", demo, "--channel", "auto", "--from", "auto", "--faithful", "--fit"});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    auto* pRtttl = AppView().findChild<QWidget*>(ControlName(ControlId::Form::kRtttl));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(pRtttl)->text(QAccessible::Value).toStdString() + "\n", cli.out);
    auto* pOctets = AppView().findChild<QWidget*>(QStringLiteral("ringtoneOctets"));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(pOctets)->text(QAccessible::Name).contains("of 130 octets"));
}

TEST(MainFrameSize, TheFormsOwnSizeWhereItFitsTheScreenAndTheScreensWhereNot)
{
    const QSize form(983, 760);
    EXPECT_EQ(CMainFrame::WindowSizeOnScreen(form, QSize(1400, 1000), 14), form);
    // Title bar and borders left free; the scroll bar beside the form's full width.
    EXPECT_EQ(CMainFrame::WindowSizeOnScreen(form, QSize(1024, 600), 14), QSize(997, 560));
    EXPECT_EQ(CMainFrame::WindowSizeOnScreen(form, QSize(800, 600), 14), QSize(792, 560));
    EXPECT_EQ(CMainFrame::WindowSizeOnScreen(QSize(1200, 500), QSize(1024, 600), 14), QSize(1016, 500));
}

TEST_F(MainFrameTest, TheMenuHasItsCommandsInOrderWithTheirPrompts)
{
    EXPECT_EQ(Captions(Frame().menuBar()->actions()), QStringList({"&File", "&Setup", "&Help"}));
    EXPECT_EQ(Frame().menuBar()->actions().at(1)->menu(), nullptr) << "Setup is a command on the bar";
    EXPECT_EQ(Captions(FileMenu()->actions()),
              QStringList({"&Open MIDI...", "Save &As...", "&New", "-", "&Import Ringtone...", "&Export Ringtone...",
                           "Export &Song Ringtone...", "-", "E&xit"}));
    QMenu* pHelp = Frame().menuBar()->actions().at(2)->menu();
    EXPECT_EQ(Captions(pHelp->actions()), QStringList({"&About Zorvat Zavi...", "How &to...", "&RTTTL format..."}));

    const std::vector<std::pair<int, const char*>> tips = {
        {CommandId::kExit, "Quit the application; prompts to save documents"},
        {CommandId::kSetup, "Setup your Zorvat Musician"},
        {CommandId::kAbout, "Display program information, version number and copyright"},
        {CommandId::kHowTo, "Simple step by step instructions..."},
        {CommandId::kRtttlFormat, "Open the guide to the RTTTL text format"},
        {CommandId::kOpen, "Open an existing document"},
        {CommandId::kSaveAs, "Save the song as a MIDI file"},
        {CommandId::kNew, "Create a new document"}};
    for (const auto& [id, tip] : tips) {
        ASSERT_NE(Command(id), nullptr) << id;
        EXPECT_EQ(Command(id)->statusTip(), tip) << id;
    }
    EXPECT_EQ(Command(CommandId::kExit)->toolTip(), "Exit");
    EXPECT_EQ(Command(CommandId::kAbout)->toolTip(), "About");
    EXPECT_EQ(Frame().findChild<QStatusBar*>(), nullptr);
    EXPECT_EQ(Frame().findChild<QToolBar*>(), nullptr);
}

TEST_F(MainFrameTest, TheAcceleratorsAreCtrlNCtrlOAndCtrlS)
{
    EXPECT_EQ(Command(CommandId::kNew)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(Command(CommandId::kOpen)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(Command(CommandId::kSaveAs)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    // Made active directly: waiting for the platform to activate it would spin the
    // event loop, which lets Qt start worker threads that the test does not need.
    QApplication::setActiveWindow(&Frame());
    QTest::keyClick(&Frame(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(m_files.Requests().size(), 1u);
    EXPECT_FALSE(m_files.Requests()[0].bSave);
    EXPECT_TRUE(m_files.Requests()[0].strFilter.contains("*.MID"));
}

TEST_F(MainFrameTest, TheFileMenuHoldsTheAcceleratorsOwnCommandsSoAKeyRunsItsCommandOnce)
{
    const QList<QAction*> items = FileMenu()->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items[0], Command(CommandId::kOpen));
    EXPECT_EQ(items[1], Command(CommandId::kSaveAs));
    EXPECT_EQ(items[2], Command(CommandId::kNew));
    // One action per key: a second one would make the key ambiguous, or run twice.
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::CTRL | Qt::Key_S),
                                     QKeySequence(Qt::CTRL | Qt::Key_N)}) {
        int bound = 0;
        for (const QAction* pAction : Frame().findChildren<QAction*>())
            bound += pAction->shortcuts().contains(keys) ? 1 : 0;
        EXPECT_EQ(bound, 1) << keys.toString().toStdString();
    }

    ASSERT_TRUE(AppView().OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    QApplication::setActiveWindow(&Frame());
    QTest::keyClick(&Frame(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&Frame(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(m_files.Requests().size(), 2u) << "each key opens its dialog once";
    EXPECT_FALSE(m_files.Requests()[0].bSave);
    EXPECT_TRUE(m_files.Requests()[1].bSave);
    QTest::keyClick(&Frame(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta)");
}

TEST_F(MainFrameTest, RtttlFormatOpensTheGuideOfTheBuildTreeInTheViewer)
{
    Command(CommandId::kRtttlFormat)->trigger();
    ASSERT_EQ(m_programs.Calls().size(), 1u);
    EXPECT_EQ(m_programs.Calls()[0].program, "xdg-open");
    EXPECT_EQ(m_programs.Calls()[0].arguments, std::vector<std::string>{ZT_SOURCE_DIR "/RTTTL.txt"});
    EXPECT_TRUE(m_programs.Stops().empty());
    EXPECT_TRUE(m_prompt.Entries().empty());

    // No viewer to start: the guide's place is said instead of nothing.
    m_programs.SetResult(ProgramStart::kInvalidProgram, ENOENT);
    Command(CommandId::kRtttlFormat)->trigger();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text, "No program to show the RTTTL format guide could be started (xdg-open). "
                                          "The guide is at:\r\n" ZT_SOURCE_DIR "/RTTTL.txt");
}

TEST_F(MainFrameTest, RtttlFormatOfAnInstalledProgramOpensTheInstalledGuideOrNamesWhereItLooked)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("prefix/bin"));
    Frame().SetProgramDir(m_dir.filePath("prefix/bin"));
    const QString installed = m_dir.filePath("prefix/share/doc/ZorvatTone/RTTTL.txt");

    Command(CommandId::kRtttlFormat)->trigger();
    EXPECT_TRUE(m_programs.Calls().empty());
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text,
              "The RTTTL format guide was not found. Looked for it at:\r\n" + installed.toStdString());
    EXPECT_EQ(m_prompt.Entries()[0].caption, "ZorvatTone");
    EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Stop);

    ASSERT_TRUE(QDir(m_dir.path()).mkpath("prefix/share/doc/ZorvatTone"));
    Write("prefix/share/doc/ZorvatTone/RTTTL.txt", "guide");
    Command(CommandId::kRtttlFormat)->trigger();
    ASSERT_EQ(m_programs.Calls().size(), 1u);
    EXPECT_EQ(m_programs.Calls()[0].arguments, std::vector<std::string>{installed.toStdString()});
    EXPECT_EQ(m_prompt.Entries().size(), 1u);
}

TEST_F(MainFrameTest, CtrlOOpensLikeOpenMidi)
{
    m_files.QueueAnswer(Write("tune.mid", TuneBytes()));
    Command(CommandId::kOpen)->trigger();
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
    EXPECT_TRUE(AppView().findChild<QPushButton*>(ControlName(ControlId::Form::kPlay))->isEnabled());
}

TEST_F(MainFrameTest, CtrlNMakesANewEmptyDocument)
{
    ASSERT_TRUE(AppView().OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    Command(CommandId::kNew)->trigger();
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta)");
    EXPECT_EQ(m_pApp->GetDocument().GetSong().GetTrackList().GetTrackCount(), 0);
    EXPECT_FALSE(AppView().findChild<QPushButton*>(ControlName(ControlId::Form::kPlay))->isEnabled());
}

TEST_F(MainFrameTest, CtrlSSavesTheSongThroughASaveDialog)
{
    const QByteArray original = TuneBytes();
    const QString opened = Write("tune.mid", original);
    ASSERT_TRUE(AppView().OpenMidiFile(opened.toStdString()));
    const QString copy = m_dir.filePath("copy.mid");
    m_files.QueueAnswer(copy);
    Command(CommandId::kSaveAs)->trigger();
    ASSERT_EQ(m_files.Requests().size(), 1u);
    EXPECT_TRUE(m_files.Requests()[0].bSave);
    EXPECT_EQ(m_files.Requests()[0].strInitialPath, opened);
    EXPECT_EQ(m_files.Requests()[0].strDefaultSuffix, "mid");
    EXPECT_EQ(ReadFile(copy), original);
    EXPECT_TRUE(m_prompt.Entries().empty());

    // Cancelled: nothing is written, not even over the opened file.
    Write("tune.mid", "MThd changed on disk");
    Command(CommandId::kSaveAs)->trigger();
    EXPECT_EQ(m_files.Requests().size(), 2u);
    EXPECT_EQ(ReadFile(opened), QByteArray("MThd changed on disk"));
}

TEST_F(MainFrameTest, AFailedSaveSaysSo)
{
    ASSERT_TRUE(AppView().OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    m_files.QueueAnswer(m_dir.filePath("no-such-folder/copy.mid"));
    Command(CommandId::kSaveAs)->trigger();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text, "Failed to save document.");
    EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Stop);
    EXPECT_EQ(m_prompt.Entries()[0].detail.rfind("cannot write " + m_dir.filePath("no-such-folder/copy.mid").toStdString() + ": ", 0), 0u)
        << m_prompt.Entries()[0].detail;
}

TEST_F(MainFrameTest, SetupFromTheMenuIsNotAFirstRun)
{
    bool bFirstRun = true;
    m_modal.SetHandler([&](QDialog& dlg) {
        bFirstRun = qobject_cast<CSetupDlg*>(&dlg)->m_bFirstRun;
        dlg.reject();
    });
    Command(CommandId::kSetup)->trigger();
    EXPECT_EQ(m_modal.RunCount(), 1);
    EXPECT_FALSE(bFirstRun);
}

TEST_F(MainFrameTest, WhilePlayingNothingCanReplaceOrSaveTheSong)
{
    ASSERT_TRUE(AppView().OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    AppView().OnPlay();
    for (int id : {CommandId::kNew, CommandId::kOpen, CommandId::kSaveAs})
        EXPECT_FALSE(Command(id)->isEnabled()) << id;
    EXPECT_FALSE(Drop(Write("other.mid", TuneBytes(5))));
    EXPECT_FALSE(AppView().OpenMidiFile(m_dir.filePath("other.mid").toStdString()));
    EXPECT_EQ(m_pApp->GetDocument().GetTitle(), "tune");
    AppView().OnStop();
    for (int id : {CommandId::kNew, CommandId::kOpen, CommandId::kSaveAs})
        EXPECT_TRUE(Command(id)->isEnabled()) << id;
}

TEST_F(MainFrameTest, DroppingAMidiFileOpensIt)
{
    EXPECT_TRUE(Drop(Write("dropped.MID", TuneBytes())));
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta) - dropped");
    EXPECT_FALSE(Drop(Write("notes.txt", TuneBytes())));
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta) - dropped");
}

TEST_F(MainFrameTest, ExitClosesTheWindow)
{
    Command(CommandId::kExit)->trigger();
    EXPECT_FALSE(Frame().isVisible());
}
