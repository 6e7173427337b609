#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <gtest/gtest.h>

#include "tests/support/ViewFixture.h"
#include "ui/ControlIds.h"
#include "ui/HowToDlg.h"

namespace {

const char kExpected[] =
    "\r\n1. Open a MIDI file by the \"Open MIDI\" function in [Midi Control].\r\n\r\n"
    "2. Drag the slider in [Midi Control] to the point where you wish to start the MIDI playback.\r\n\r\n"
    "3. Press \"Play\" in [Midi Control] to start recording.\r\n\r\n"
    "4. IMPORTANT: If this is a multi-channel MIDI, you must ONLY select 1 channel.\r\n\r\n"
    "5. Press \"Stop\" to halt recording.\r\n\r\n"
    "6. Press \"Listen\" to playback your recorded ringtone.\r\n\r\n"
    "7. Press \"Post to Zorvat Zavi Gallery\" to upload this ringtone to Zorvat SMS home site.\r\n\r\n"
    "8. Go to http://gallery.zorvat.example to send ringtone to your mobile phone.";

} // namespace

TEST(HowToDlgTest, TheTextIsTheStepsByteForByte)
{
    CHowToDlg dlg;
    EXPECT_EQ(dlg.m_strText, std::string(kExpected));
    EXPECT_EQ(dlg.m_strText.rfind("\r\n", 0), 0u) << "an empty first line";
    EXPECT_NE(dlg.m_strText.back(), '\n');
    EXPECT_NE(dlg.m_strText.back(), '\r');
}

TEST(HowToDlgTest, ShowsTheWholeTextReadOnlyWithoutScrollBars)
{
    CHowToDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Zorvat Zavi How To");
    auto* pText = dlg.findChild<QTextEdit*>(ControlName(ControlId::HowTo::kText));
    ASSERT_NE(pText, nullptr);
    EXPECT_TRUE(pText->isReadOnly());
    EXPECT_EQ(pText->toPlainText(), QString::fromUtf8(kExpected).replace("\r\n", "\n"));
    EXPECT_EQ(pText->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(pText->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_LE(pText->document()->size().height(), pText->viewport()->height()) << "nothing is cut off";
    QStringList labels;
    for (const QLabel* pLabel : dlg.findChildren<QLabel*>())
        labels << pLabel->text();
    EXPECT_EQ(labels, QStringList({"Steps to submit a Ringtone:", "What else the program does:"}));
    auto* pMore = dlg.findChild<QTextEdit*>(QStringLiteral("howToMore"));
    ASSERT_NE(pMore, nullptr);
    EXPECT_TRUE(pMore->toPlainText().contains("Export Song Ringtone"));
    EXPECT_LE(pMore->document()->size().height(), pMore->viewport()->height()) << "nothing is cut off";
    auto* pOk = dlg.findChild<QPushButton*>(ControlName(ControlId::kOk));
    ASSERT_NE(pOk, nullptr);
    EXPECT_EQ(pOk->text(), "OK");
    pOk->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(ViewTest, HowToRunsTheHowToBox)
{
    QString title;
    m_modal.SetHandler([&](QDialog& dlg) { title = dlg.windowTitle(); });
    View().OnHowTo();
    EXPECT_EQ(m_modal.RunCount(), 1);
    EXPECT_EQ(title, "Zorvat Zavi How To");
}
