#include <QAction>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include "app/AboutDlg.h"
#include "tests/app/AppFixture.h"

namespace {

class HelpMenuTest : public AppTest {
protected:
    void SetUp() override
    {
        CompleteProfile();
        ASSERT_TRUE(Start());
    }
    // Triggers the command and returns the caption of the dialog it ran.
    QString Run(int id)
    {
        QString title;
        m_modal.SetHandler([&](QDialog& dlg) { title = dlg.windowTitle(); });
        Command(id)->trigger();
        return title;
    }
};

} // namespace

TEST_F(HelpMenuTest, AboutAndHowToRunTheirBoxes)
{
    EXPECT_EQ(Run(CommandId::kAbout), "About Zorvat Zavi");
    EXPECT_EQ(Run(CommandId::kHowTo), "Zorvat Zavi How To");
    EXPECT_EQ(m_modal.RunCount(), 2);
}

TEST(AboutDlgTest, ShowsTheVersionTheMakerTheServiceAndADedication)
{
    CAboutDlg dlg;
    QStringList shown;
    for (const QLabel* pLabel : dlg.findChildren<QLabel*>())
        if (!pLabel->text().isEmpty())
            shown << pLabel->text();
    EXPECT_EQ(shown, CAboutDlg::Lines());
    ASSERT_EQ(shown.size(), 9);
    EXPECT_EQ(shown[0], "Zorvat Zavi Version 0.99 (Beta)");
    EXPECT_TRUE(shown[2].startsWith("Copyright (C) "));
    EXPECT_TRUE(shown[3].contains("Zorvat SMS Service") && shown[3].contains("http://gallery.zorvat.example"));
    for (int i = 4; i < 8; ++i)
        EXPECT_TRUE(shown[i].startsWith(QChar(0x2022))) << "a bulleted service line";
    auto* pOk = dlg.findChild<QPushButton*>(ControlName(ControlId::kOk));
    ASSERT_NE(pOk, nullptr);
    pOk->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(AboutDlgTest, ShowsTheIconExactlyWhenQtCanDrawSvg)
{
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/zorvattone.svg"))) << "the icon is built into the program";
    CAboutDlg dlg;
    const bool bSvg = QImageReader::supportedImageFormats().contains("svg");
    EXPECT_EQ(dlg.findChild<QLabel*>("aboutIcon") != nullptr, bSvg);
}
