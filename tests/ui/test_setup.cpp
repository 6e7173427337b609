#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "prompt/Prompt.h"
#include "settings/IniSettingsStore.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "ui/ControlIds.h"
#include "tests/support/FakeFileChooser.h"
#include "ui/SetupDefaults.h"
#include "ui/SetupDlg.h"

namespace {

// The edits by their field.
enum Field { kTempDir, kPlayer, kNickname, kEmail, kHomeSite, kPassword, kConfirm };

QString EditName(Field f)
{
    switch (f) {
    case kTempDir:
        return ControlName(ControlId::Setup::kTempDir);
    case kPlayer:
        return ControlName(ControlId::Setup::kMediaPlayer);
    case kNickname:
        return ControlName(ControlId::Setup::kNickname);
    case kEmail:
        return ControlName(ControlId::Setup::kEmail);
    case kHomeSite:
        return ControlName(ControlId::Setup::kHomeSite);
    case kPassword:
        return ControlName(ControlId::Setup::kPassword);
    case kConfirm:
        return ControlName(ControlId::Setup::kConfirm);
    }
    return {};
}

class SetupDlgTest : public ::testing::Test {
protected:
    std::unique_ptr<CSetupDlg> Open(bool bFirstRun)
    {
        return std::make_unique<CSetupDlg>(m_settings, m_prompt, m_files, bFirstRun);
    }
    static QLineEdit* Edit(CSetupDlg& dlg, Field f) { return dlg.findChild<QLineEdit*>(EditName(f)); }
    static QString Text(CSetupDlg& dlg, Field f) { return Edit(dlg, f)->text(); }
    static void Type(CSetupDlg& dlg, Field f, const QString& text)
    {
        Edit(dlg, f)->clear();
        QTest::keyClicks(Edit(dlg, f), text);
    }
    static void Set(CSetupDlg& dlg, Field f, const QString& text) { Edit(dlg, f)->setText(text); }
    static void FillAll(CSetupDlg& dlg)
    {
        Set(dlg, kNickname, "zav");
        Set(dlg, kEmail, "zav@example.org");
        Set(dlg, kHomeSite, "127.0.0.1");
        Set(dlg, kTempDir, "/tmp");
        Set(dlg, kPlayer, "/usr/bin/zorvattone-play");
        Set(dlg, kPassword, "secret");
        Set(dlg, kConfirm, "secret");
    }
    static QPushButton* Button(CSetupDlg& dlg, int id) { return dlg.findChild<QPushButton*>(ControlName(id)); }
    static void Press(CSetupDlg& dlg, int id) { Button(dlg, id)->click(); }
    std::unique_ptr<CSetupDlg> OpenWithOutputs(std::vector<std::string> outputs)
    {
        return std::make_unique<CSetupDlg>(m_settings, m_prompt, m_files, false, nullptr, std::move(outputs));
    }
    static QComboBox* Output(CSetupDlg& dlg)
    {
        return dlg.findChild<QComboBox*>(ControlName(ControlId::Setup::kSoundOutput));
    }
    static QLineEdit* SoundFont(CSetupDlg& dlg)
    {
        return dlg.findChild<QLineEdit*>(ControlName(ControlId::Setup::kSoundFont));
    }
    QString WriteFile(const char* name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    std::string Stored(const char* section, const char* key) const { return m_settings.GetString(section, key); }
    bool Has(const char* section, const char* key) const { return m_settings.Has(section, key); }
    void StoreComplete()
    {
        m_settings.SetString(kProfileIdentity, kProfileNickname, "old nick");
        m_settings.SetString(kProfileIdentity, kProfileEmail, "old@example.org");
        m_settings.SetString(kProfileIdentity, kProfilePassword, "oldpass");
        m_settings.SetString(kProfileSystem, kProfileHomeSite, "old.example");
        m_settings.SetString(kProfileSystem, kProfileTempDir, "/old/tmp");
        m_settings.SetString(kProfileSystem, kProfileMediaPlayer, "/old/player");
    }

    QTemporaryDir m_dir;
    CMemorySettingsStore m_settings;
    CRecordingPrompt m_prompt;
    CFakeFileChooser m_files;
};

struct MissingField {
    const char* name;
    Field field;
    const char* text;
    const char* caption;
    // Entries already written when this check stops OK.
    std::vector<std::pair<const char*, const char*>> written;
    std::vector<std::pair<const char*, const char*>> notWritten;
};

} // namespace

TEST_F(SetupDlgTest, HasItsCaptionFieldsAndLinuxExamples)
{
    auto dlg = Open(false);
    EXPECT_EQ(dlg->windowTitle(), "Zorvat Zavi Setup");
    for (Field f : {kTempDir, kPlayer, kNickname, kEmail, kHomeSite, kPassword, kConfirm})
        EXPECT_NE(Edit(*dlg, f), nullptr) << EditName(f).toStdString();
    EXPECT_EQ(Edit(*dlg, kPassword)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Edit(*dlg, kConfirm)->echoMode(), QLineEdit::Password);
    QStringList texts;
    for (const QLabel* pLabel : dlg->findChildren<QLabel*>())
        texts << pLabel->text();
    for (const char* text : {"Nickname/email will be reflected in Zorvat Zavi Gallery as author.",
                             "Protect your ringtone from deleted by others in Zorvat Zavi Gallery.",
                             "Specify the IP address of Zorvat SMS service home site.",
                             "Temporary working directory for Zorvat Zavi. (ex. /tmp)",
                             "Media player of your system.  (ex: /usr/bin/zorvattone-play)", "Nickname", "Email",
                             "Password", "Confirm", "Zorvat Home Site", "Path", "Media Player"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(Button(*dlg, ControlId::Setup::kBrowseMediaPlayer)->text(), "...");
    // The two "..." buttons and the output list have names of their own for a screen reader.
    EXPECT_EQ(Button(*dlg, ControlId::Setup::kBrowseMediaPlayer)->accessibleName(), "Browse for the media player");
    EXPECT_EQ(Button(*dlg, ControlId::Setup::kBrowseSoundFont)->accessibleName(), "Browse for the SoundFont");
    EXPECT_EQ(dlg->findChild<QWidget*>(ControlName(ControlId::Setup::kSoundOutput))->accessibleName(), "Sound output");
    EXPECT_EQ(Button(*dlg, ControlId::kOk)->text(), "OK");
    EXPECT_EQ(Button(*dlg, ControlId::kCancel)->text(), "Cancel");
}

TEST_F(SetupDlgTest, AFirstRunOnAFreshProfileOffersTheTemporaryDirectoryAndThePlayer)
{
    auto dlg = Open(true);
    EXPECT_EQ(Text(*dlg, kTempDir).toStdString(), DefaultTempDirectory());
    EXPECT_EQ(Text(*dlg, kPlayer).toStdString(), DefaultMediaPlayer());
    for (Field f : {kNickname, kEmail, kHomeSite, kPassword, kConfirm})
        EXPECT_EQ(Text(*dlg, f), "") << EditName(f).toStdString();
}

TEST_F(SetupDlgTest, OpenedFromTheMenuOnAFreshProfileEveryFieldIsEmpty)
{
    auto dlg = Open(false);
    for (Field f : {kTempDir, kPlayer, kNickname, kEmail, kHomeSite, kPassword, kConfirm})
        EXPECT_EQ(Text(*dlg, f), "") << EditName(f).toStdString();
}

TEST_F(SetupDlgTest, StoredValuesAreShownAndNeverReplacedByTheFirstRunDefaults)
{
    StoreComplete();
    for (bool bFirstRun : {true, false}) {
        auto dlg = Open(bFirstRun);
        EXPECT_EQ(Text(*dlg, kTempDir), "/old/tmp");
        EXPECT_EQ(Text(*dlg, kPlayer), "/old/player");
        EXPECT_EQ(Text(*dlg, kNickname), "old nick");
        EXPECT_EQ(Text(*dlg, kEmail), "old@example.org");
        EXPECT_EQ(Text(*dlg, kHomeSite), "old.example");
        EXPECT_EQ(Text(*dlg, kPassword), "oldpass");
        EXPECT_EQ(Text(*dlg, kConfirm), "oldpass");
    }
}

TEST_F(SetupDlgTest, OkWithEverythingFilledStoresItAllAndCloses)
{
    auto dlg = Open(false);
    FillAll(*dlg);
    Press(*dlg, ControlId::kOk);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(m_prompt.Entries().empty());
    EXPECT_EQ(Stored(kProfileIdentity, kProfileNickname), "zav");
    EXPECT_EQ(Stored(kProfileIdentity, kProfileEmail), "zav@example.org");
    EXPECT_EQ(Stored(kProfileIdentity, kProfilePassword), "secret");
    EXPECT_EQ(Stored(kProfileSystem, kProfileHomeSite), "127.0.0.1");
    EXPECT_EQ(Stored(kProfileSystem, kProfileTempDir), "/tmp");
    EXPECT_EQ(Stored(kProfileSystem, kProfileMediaPlayer), "/usr/bin/zorvattone-play");
    // The sound left at its defaults adds nothing to the profile.
    EXPECT_FALSE(Has(kProfileOptions, kProfileSoundOutput));
    EXPECT_FALSE(Has(kProfileOptions, kProfileSoundFont));
}

TEST_F(SetupDlgTest, AChosenOutputAndABrowsedSoundFontAreStored)
{
    const QString font = WriteFile("piano.sf2", QByteArray("RIFF\x04\x10\x00\x00sfbkLIST", 16));
    auto dlg = OpenWithOutputs({"Midi Through Port-0", "USB MIDI"});
    QComboBox* pOutput = Output(*dlg);
    ASSERT_EQ(pOutput->count(), 3);
    EXPECT_EQ(pOutput->itemText(0), kFirstSynthesizerEntry);
    EXPECT_EQ(pOutput->itemText(1), "Midi Through Port-0");
    EXPECT_EQ(pOutput->currentIndex(), 0);
    EXPECT_EQ(SoundFont(*dlg)->text(), "");
    FillAll(*dlg);
    pOutput->setCurrentIndex(2);
    m_files.QueueAnswer(font);
    Press(*dlg, ControlId::Setup::kBrowseSoundFont);
    ASSERT_EQ(m_files.Requests().size(), 1u);
    EXPECT_EQ(m_files.Requests()[0].pOwner, dlg.get());
    EXPECT_EQ(SoundFont(*dlg)->text(), font);
    EXPECT_EQ(pOutput->currentIndex(), 2) << "the browse keeps the choice";
    Press(*dlg, ControlId::kOk);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(m_prompt.Entries().empty());
    EXPECT_EQ(Stored(kProfileOptions, kProfileSoundOutput), "USB MIDI");
    EXPECT_EQ(Stored(kProfileOptions, kProfileSoundFont), font.toStdString());
}

TEST_F(SetupDlgTest, AFileThatIsNotASoundFontStopsOkAndTheSoundStaysAsStored)
{
    const QString font = WriteFile("piano.sf3", QByteArray("RIFF\x04\x10\x00\x00sfbkLIST", 16));
    const QString song = WriteFile("song.sf2", QByteArray("MThd\x00\x00\x00\x06\x00\x01\x00\x02", 12));
    StoreComplete();
    m_settings.SetString(kProfileOptions, kProfileSoundOutput, "USB MIDI");
    m_settings.SetString(kProfileOptions, kProfileSoundFont, font.toStdString());
    auto dlg = OpenWithOutputs({"USB MIDI", "Other port"});
    EXPECT_EQ(Output(*dlg)->currentText(), "USB MIDI");
    EXPECT_EQ(SoundFont(*dlg)->text(), font);
    Output(*dlg)->setCurrentIndex(2);
    SoundFont(*dlg)->setText(song);
    Press(*dlg, ControlId::kOk);
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text,
              "Please choose a SoundFont file (.sf2 or .sf3).\r\n(Not a SoundFont: " + song.toStdString() + ")");
    EXPECT_EQ(m_prompt.Entries()[0].caption, "SoundFont Error");
    EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Exclamation);
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(SoundFont(*dlg)->text(), song) << "the input stays";
    EXPECT_EQ(Stored(kProfileOptions, kProfileSoundOutput), "USB MIDI");
    EXPECT_EQ(Stored(kProfileOptions, kProfileSoundFont), font.toStdString());
}

TEST_F(SetupDlgTest, AStoredOutputThatIsGoneKeepsItsOwnEntry)
{
    StoreComplete();
    m_settings.SetString(kProfileOptions, kProfileSoundOutput, "USB MIDI");
    auto dlg = OpenWithOutputs({"Midi Through Port-0"});
    ASSERT_EQ(Output(*dlg)->count(), 3);
    EXPECT_EQ(Output(*dlg)->currentText(), "USB MIDI (not found)");
    Press(*dlg, ControlId::kOk);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Stored(kProfileOptions, kProfileSoundOutput), "USB MIDI");
}

TEST_F(SetupDlgTest, EachMissingValueStopsOkWithItsMessageAfterTheEarlierOnesAreStored)
{
    const std::vector<MissingField> cases = {
        {"no nickname", kNickname, "Please key your nickname.", "Nickname Require", {},
         {{kProfileIdentity, kProfileNickname}}},
        {"no email", kEmail, "Please key your email address.", "Email Require",
         {{kProfileIdentity, kProfileNickname}}, {{kProfileIdentity, kProfileEmail}}},
        {"no home site", kHomeSite, "Please key Zorvat home site.\r\n(Example: gallery.zorvat.example)",
         "Zorvat Home Site Require", {{kProfileIdentity, kProfileEmail}}, {{kProfileSystem, kProfileHomeSite}}},
        {"no path", kTempDir, "Please key temporary working path.", "Path Require",
         {{kProfileIdentity, kProfileNickname}, {kProfileIdentity, kProfileEmail}, {kProfileSystem, kProfileHomeSite}},
         {{kProfileSystem, kProfileTempDir}}},
        {"no media player", kPlayer, "Please key your media player.", "Media Player Require",
         {{kProfileSystem, kProfileTempDir}}, {{kProfileSystem, kProfileMediaPlayer}}},
    };
    for (const MissingField& c : cases) {
        SCOPED_TRACE(c.name);
        m_settings = CMemorySettingsStore();
        m_prompt.Clear();
        auto dlg = Open(false);
        FillAll(*dlg);
        Set(*dlg, c.field, "");
        Press(*dlg, ControlId::kOk);
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(m_prompt.Entries()[0].text, c.text);
        EXPECT_EQ(m_prompt.Entries()[0].caption, c.caption);
        EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Exclamation);
        EXPECT_EQ(m_prompt.Entries()[0].buttons, PromptButtons::Ok);
        EXPECT_NE(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(Text(*dlg, kNickname), c.field == kNickname ? "" : "zav") << "the input stays";
        for (const auto& [section, key] : c.written)
            EXPECT_TRUE(Has(section, key)) << section << "/" << key;
        for (const auto& [section, key] : c.notWritten)
            EXPECT_FALSE(Has(section, key)) << section << "/" << key;
        EXPECT_FALSE(Has(kProfileIdentity, kProfilePassword));
    }
}

TEST_F(SetupDlgTest, ADifferentConfirmationStopsOkAfterEverythingButThePasswordIsStored)
{
    StoreComplete();
    auto dlg = Open(false);
    FillAll(*dlg);
    Set(*dlg, kConfirm, "Secret");
    Press(*dlg, ControlId::kOk);
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text, "Password confirm error.");
    EXPECT_EQ(m_prompt.Entries()[0].caption, "Password Error");
    EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Exclamation);
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Stored(kProfileIdentity, kProfileNickname), "zav");
    EXPECT_EQ(Stored(kProfileSystem, kProfileMediaPlayer), "/usr/bin/zorvattone-play");
    EXPECT_EQ(Stored(kProfileIdentity, kProfilePassword), "oldpass");
}

TEST_F(SetupDlgTest, AProfileThatCannotBeWrittenStopsOkNamingTheFileAndWhy)
{
    // Permissions do not stop root; a file where a folder should be stops everyone.
    const std::string profile = WriteFile("not-a-folder", "x").toStdString() + "/Zorvat Zavi 1.0/ZorvatTone.ini";
    CIniSettingsStore store(profile);
    CSetupDlg dlg(store, m_prompt, m_files, true);
    dlg.show();
    FillAll(dlg);
    Press(dlg, ControlId::kOk);
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text, "Cannot write the file \"" + profile + "\": Not a directory.");
    EXPECT_EQ(m_prompt.Entries()[0].caption, "ERROR");
    EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Stop);
    EXPECT_EQ(m_prompt.Entries()[0].buttons, PromptButtons::Ok);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(Text(dlg, kNickname), "zav") << "the input stays";
}

TEST_F(SetupDlgTest, EmptyPasswordsKeepTheStoredPassword)
{
    StoreComplete();
    auto dlg = Open(false);
    Set(*dlg, kPassword, "");
    Set(*dlg, kConfirm, "");
    Press(*dlg, ControlId::kOk);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Stored(kProfileIdentity, kProfilePassword), "oldpass");
}

TEST_F(SetupDlgTest, ABlankIsAValueAndThePasswordIsStoredExactlyAsTyped)
{
    auto dlg = Open(false);
    FillAll(*dlg);
    Set(*dlg, kNickname, " ");
    Set(*dlg, kPassword, "a;b,c\\d");
    Set(*dlg, kConfirm, "a;b,c\\d");
    Press(*dlg, ControlId::kOk);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Stored(kProfileIdentity, kProfileNickname), " ");
    EXPECT_EQ(Stored(kProfileIdentity, kProfilePassword), "a;b,c\\d");
}

TEST_F(SetupDlgTest, CancelStoresNothing)
{
    auto dlg = Open(true);
    FillAll(*dlg);
    Press(*dlg, ControlId::kCancel);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    for (const char* key : {kProfileNickname, kProfileEmail, kProfilePassword})
        EXPECT_FALSE(Has(kProfileIdentity, key)) << key;
    for (const char* key : {kProfileHomeSite, kProfileTempDir, kProfileMediaPlayer})
        EXPECT_FALSE(Has(kProfileSystem, key)) << key;
}

TEST_F(SetupDlgTest, TypingStopsAtEachFieldsLimit)
{
    auto dlg = Open(false);
    const std::vector<std::pair<Field, int>> limits = {
        {kNickname, 32}, {kEmail, 96}, {kHomeSite, 80}, {kPassword, 8}, {kConfirm, 8}};
    for (const auto& [field, limit] : limits) {
        Type(*dlg, field, QString(limit + 5, QLatin1Char('x')));
        EXPECT_EQ(Text(*dlg, field).size(), limit) << EditName(field).toStdString();
    }
    Type(*dlg, kTempDir, QString(200, QLatin1Char('t')));
    EXPECT_EQ(Text(*dlg, kTempDir).size(), 200);
}

TEST_F(SetupDlgTest, AStoredValueBeyondItsLimitIsShownWholeAndRefusedByOk)
{
    StoreComplete();
    m_settings.SetString(kProfileIdentity, kProfilePassword, "ninechars");
    auto dlg = Open(false);
    EXPECT_EQ(Text(*dlg, kPassword), "ninechars");
    Press(*dlg, ControlId::kOk);
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(m_prompt.Entries()[0].text, "Please enter no more than 8 characters.");
    EXPECT_EQ(m_prompt.Entries()[0].icon, PromptIcon::Exclamation);
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Stored(kProfileIdentity, kProfilePassword), "ninechars");
    EXPECT_EQ(Stored(kProfileIdentity, kProfileNickname), "old nick");
}

TEST_F(SetupDlgTest, BrowseTakesTheChosenProgramAndKeepsWhatWasTyped)
{
    auto dlg = Open(false);
    Set(*dlg, kNickname, "typed");
    m_files.QueueAnswer("/opt/player/bin/play");
    Press(*dlg, ControlId::Setup::kBrowseMediaPlayer);
    ASSERT_EQ(m_files.Requests().size(), 1u);
    EXPECT_FALSE(m_files.Requests()[0].bSave);
    EXPECT_EQ(m_files.Requests()[0].pOwner, dlg.get());
    EXPECT_EQ(Text(*dlg, kPlayer), "/opt/player/bin/play");
    EXPECT_EQ(Text(*dlg, kNickname), "typed");

    Press(*dlg, ControlId::Setup::kBrowseMediaPlayer); // cancelled
    EXPECT_EQ(Text(*dlg, kPlayer), "/opt/player/bin/play");
    EXPECT_FALSE(Has(kProfileSystem, kProfileMediaPlayer));
}

TEST(SetupDefaults, TheTemporaryDirectoryHasNoTrailingSeparator)
{
    const std::string dir = DefaultTempDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(dir == "/" || dir.back() != '/');
    EXPECT_TRUE(QDir(QString::fromStdString(dir)).exists());
}

TEST(SetupDefaults, ThePlayerBesideTheProgramComesBeforeThePath)
{
    QTemporaryDir beside;
    QTemporaryDir onPath;
    auto makeProgram = [](const QString& dir) {
        QFile file(QDir(dir).filePath(QString::fromUtf8(kPlayerProgram)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return QFileInfo(file).absoluteFilePath().toStdString();
    };
    const std::string onPathPlayer = makeProgram(onPath.path());
    EXPECT_EQ(FindMediaPlayer(beside.path(), {onPath.path()}), onPathPlayer);
    const std::string besidePlayer = makeProgram(beside.path());
    EXPECT_EQ(FindMediaPlayer(beside.path(), {onPath.path()}), besidePlayer);
    QTemporaryDir empty;
    EXPECT_EQ(FindMediaPlayer(empty.path(), {empty.path()}), "");
}
