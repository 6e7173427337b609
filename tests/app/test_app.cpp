#include <QPushButton>
#include <gtest/gtest.h>

#include "tests/app/AppFixture.h"
#include "ui/SetupDlg.h"

namespace {

struct FirstRunEntry {
    const char* section;
    const char* key;
};

} // namespace

TEST_F(AppTest, ACompleteProfileOpensTheMainWindowWithoutSetup)
{
    CompleteProfile();
    ASSERT_TRUE(Start());
    EXPECT_EQ(m_modal.RunCount(), 0);
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta)");
    EXPECT_FALSE(AppView().HasSong());
    EXPECT_EQ(m_pApp->GetDocument().GetPathName(), "");
    EXPECT_TRUE(m_prompt.Entries().empty());
}

TEST_F(AppTest, AnyEmptyFirstRunEntryShowsSetupBeforeTheWindowAndCancelStillOpensIt)
{
    const std::vector<FirstRunEntry> entries = {{kProfileIdentity, kProfileNickname},
                                                {kProfileIdentity, kProfileEmail},
                                                {kProfileSystem, kProfileHomeSite},
                                                {kProfileSystem, kProfileTempDir},
                                                {kProfileSystem, kProfileMediaPlayer}};
    for (const FirstRunEntry& e : entries) {
        SCOPED_TRACE(std::string(e.section) + "/" + e.key);
        m_pApp.reset();
        m_settings = CMemorySettingsStore();
        CompleteProfile();
        m_settings.SetString(e.section, e.key, "");
        bool bBeforeWindow = false;
        bool bFirstRun = false;
        m_modal.SetHandler([&](QDialog& dlg) {
            bBeforeWindow = m_pApp->GetMainFrame() == nullptr;
            auto* pSetup = qobject_cast<CSetupDlg*>(&dlg);
            ASSERT_NE(pSetup, nullptr);
            bFirstRun = pSetup->m_bFirstRun;
            EXPECT_EQ(dlg.windowTitle(), "Zorvat Zavi Setup");
            dlg.findChild<QPushButton*>(ControlName(ControlId::kCancel))->click();
        });
        const int runs = m_modal.RunCount();
        ASSERT_TRUE(Start());
        EXPECT_EQ(m_modal.RunCount(), runs + 1);
        EXPECT_TRUE(bBeforeWindow);
        EXPECT_TRUE(bFirstRun);
        EXPECT_TRUE(Frame().isVisible());
        EXPECT_EQ(m_settings.GetString(e.section, e.key), "") << "Cancel stores nothing";
    }
}

TEST_F(AppTest, TheFirstRunSetupStoresWhatItsOkAccepts)
{
    m_modal.SetHandler([](QDialog& dlg) {
        for (int id : {ControlId::Setup::kNickname, ControlId::Setup::kEmail, ControlId::Setup::kHomeSite})
            dlg.findChild<QLineEdit*>(ControlName(id))->setText("value");
        dlg.findChild<QPushButton*>(ControlName(ControlId::kOk))->click();
    });
    ASSERT_TRUE(Start());
    EXPECT_EQ(m_settings.GetString(kProfileIdentity, kProfileNickname), "value");
    EXPECT_FALSE(m_settings.GetString(kProfileSystem, kProfileTempDir).empty()) << "the pre-filled directory";
    EXPECT_TRUE(Frame().isVisible());
}

TEST_F(AppTest, AFileOnTheCommandLineOpensAsTheDocument)
{
    CompleteProfile();
    ASSERT_TRUE(Start({Write("tune.mid", TuneBytes())}));
    EXPECT_EQ(Frame().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
    EXPECT_TRUE(AppView().HasSong());
    EXPECT_TRUE(AppView().findChild<QPushButton*>(ControlName(ControlId::Form::kPlay))->isEnabled());
    EXPECT_EQ(AppView().GetEngine().GetToneName(), "tune");
    EXPECT_TRUE(Frame().isVisible());
}

TEST_F(AppTest, ACommandLineFileThatCannotBeOpenedEndsStartUpWithAMessage)
{
    CompleteProfile();
    const QString notMidi = Write("notes.mid", QByteArray("just text"));
    const QString missing = m_dir.filePath("missing.mid");
    const std::vector<std::pair<QString, std::string>> cases = {
        {notMidi, notMidi.toStdString() + " is not a MIDI file."},
        {missing, missing.toStdString() + " cannot be read."}};
    for (const auto& [path, reason] : cases) {
        m_prompt.Clear();
        EXPECT_FALSE(Start({path}));
        EXPECT_EQ(m_pApp->GetMainFrame(), nullptr);
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(m_prompt.Entries()[0].text, "Failed to open document.\r\n" + reason);
        EXPECT_EQ(m_prompt.Entries()[0].caption, "ZorvatTone");
        EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Stop);
    }
}
