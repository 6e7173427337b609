#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include "ui/QtFileChooser.h"
#include "ui/QtPrompt.h"

namespace {

struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QWidget* pParent = nullptr;
    QString informative;
};

// Waits for the next message box, notes what it shows and presses `answer`. The
// poll gives up after a few seconds and then closes whatever modal dialog is open,
// so a test cannot hang on a box.
void AnswerNextBox(QMessageBox::StandardButton answer, SeenBox& seen)
{
    auto* pTimer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(pTimer, &QTimer::timeout, pTimer, [pTimer, answer, &seen, tries] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox && ++*tries < 300)
            return;
        pTimer->stop();
        pTimer->deleteLater();
        if (!pBox) {
            if (QWidget* pModal = QApplication::activeModalWidget())
                pModal->close();
            return;
        }
        seen = {pBox->icon(),           pBox->windowTitle(),  pBox->text(),
                pBox->standardButtons(), pBox->parentWidget(), pBox->informativeText()};
        pBox->button(answer)->click();
    });
    pTimer->start(10);
}

} // namespace

TEST(QtPrompt, MapsEachIconToItsMessageBoxIcon)
{
    EXPECT_EQ(CQtPrompt::IconOf(PromptIcon::Stop), QMessageBox::Critical);
    EXPECT_EQ(CQtPrompt::IconOf(PromptIcon::Exclamation), QMessageBox::Warning);
    EXPECT_EQ(CQtPrompt::IconOf(PromptIcon::Information), QMessageBox::Information);
    EXPECT_EQ(CQtPrompt::IconOf(PromptIcon::Question), QMessageBox::Question);
}

TEST(QtPrompt, ShowsLineBreaksWithoutTheCarriageReturn)
{
    EXPECT_EQ(CQtPrompt::DisplayText("Ringtone's RTTTL generated.\r\nRecord Time: from 00:00 to 00:03"),
              "Ringtone's RTTTL generated.\nRecord Time: from 00:00 to 00:03");
    EXPECT_EQ(CQtPrompt::DisplayText("<b>not markup</b>"), "<b>not markup</b>");
}

TEST(QtPrompt, AMessageHasOnlyAnOkButtonOwnedByTheGivenWindow)
{
    QWidget owner;
    CQtPrompt prompt(&owner);
    SeenBox seen;
    AnswerNextBox(QMessageBox::Ok, seen);
    EXPECT_EQ(prompt.Show("MIDI device busy !", "OPEN FAIL", PromptIcon::Stop), PromptAnswer::Ok);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.title, "OPEN FAIL");
    EXPECT_EQ(seen.text, "MIDI device busy !");
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.pParent, &owner);
    EXPECT_EQ(seen.informative, "");
}

TEST(QtPrompt, ADetailIsTheInformativeTextBelowTheMessage)
{
    CQtPrompt prompt;
    SeenBox seen;
    AnswerNextBox(QMessageBox::Ok, seen);
    (void)prompt.Show("MIDI device busy !", "OPEN FAIL", PromptIcon::Stop, PromptButtons::Ok,
                      "No sound server answers.\r\nStart PipeWire or PulseAudio.");
    EXPECT_EQ(seen.text, "MIDI device busy !");
    EXPECT_EQ(seen.informative, "No sound server answers.\nStart PipeWire or PulseAudio.");
}

TEST(QtPrompt, AQuestionAnswersOkOrCancel)
{
    CQtPrompt prompt;
    for (QMessageBox::StandardButton answer : {QMessageBox::Ok, QMessageBox::Cancel}) {
        SeenBox seen;
        AnswerNextBox(answer, seen);
        const PromptAnswer got = prompt.Show("Trancate?", "Question", PromptIcon::Question, PromptButtons::OkCancel);
        EXPECT_EQ(got, answer == QMessageBox::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel);
        EXPECT_EQ(seen.icon, QMessageBox::Question);
        EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    }
}

// The file dialogs start in the home folder, then where the last file was chosen,
// never in the working directory.
TEST(QtFileChooser, StartsAtHomeThenWhereTheLastFileWasChosen)
{
    CQtFileChooser chooser;
    EXPECT_EQ(chooser.StartFolder(), QDir::homePath());
    chooser.RememberChosen(QStringLiteral("/music/songs/tune.mid"));
    EXPECT_EQ(chooser.StartFolder(), QStringLiteral("/music/songs"));
}
