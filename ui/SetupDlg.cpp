#include "ui/SetupDlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "engine/devices/SoundFontPath.h"
#include "engine/devices/SystemMidiOutput.h"
#include "prompt/Prompt.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "ui/Captions.h"
#include "ui/FileChooser.h"
#include "ui/SetupDefaults.h"
#include "upload/HostAddress.h"

namespace {

std::string TextOf(const QLineEdit* pEdit)
{
    return pEdit->text().toStdString();
}

// The limit applies to typing. A stored value that is already longer is shown whole
// (a limited edit would cut it, and OK would then store the cut value) and refused
// by the length check of OK instead.
void ShowLimited(QLineEdit* pEdit, const std::string& value, int nMax)
{
    QString text = QString::fromStdString(value);
    pEdit->setMaxLength(nMax > 0 && text.size() <= nMax ? nMax : 32767);
    pEdit->setText(text);
}

} // namespace

CSetupDlg::CSetupDlg(CSettingsStore& settings, CPrompt& prompt, CFileChooser& files, bool bFirstRun,
                     QWidget* pParent, std::optional<std::vector<std::string>> outputs)
    : QDialog(pParent), m_bFirstRun(bFirstRun), m_settings(settings), m_prompt(prompt), m_files(files),
      m_outputs(outputs ? std::move(*outputs) : ListSystemOutputs())
{
    LoadProfile();
    BuildControls();
    UpdateData(false);
}

CSetupDlg::~CSetupDlg() = default;

void CSetupDlg::LoadProfile()
{
    m_strNickname = m_settings.GetString(kProfileIdentity, kProfileNickname);
    m_strEmail = m_settings.GetString(kProfileIdentity, kProfileEmail);
    m_strPassword = m_settings.GetString(kProfileIdentity, kProfilePassword);
    m_strConfirm = m_strPassword;
    m_strHomeSite = m_settings.GetString(kProfileSystem, kProfileHomeSite);
    m_strTempDir = m_settings.GetString(kProfileSystem, kProfileTempDir);
    m_strMediaPlayer = m_settings.GetString(kProfileSystem, kProfileMediaPlayer);
    m_strSoundOutput = m_settings.GetString(kProfileOptions, kProfileSoundOutput);
    m_strSoundFont = m_settings.GetString(kProfileOptions, kProfileSoundFont);
    if (!m_bFirstRun)
        return;
    if (m_strTempDir.empty())
        m_strTempDir = DefaultTempDirectory();
    if (m_strMediaPlayer.empty())
        m_strMediaPlayer = DefaultMediaPlayer();
}

bool CSetupDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate) {
        ShowLimited(m_pTempDir, m_strTempDir, 0);
        ShowLimited(m_pMediaPlayer, m_strMediaPlayer, 0);
        ShowLimited(m_pNickname, m_strNickname, kMaxNickname);
        ShowLimited(m_pEmail, m_strEmail, kMaxEmail);
        ShowLimited(m_pHomeSite, m_strHomeSite, kMaxHomeSite);
        ShowLimited(m_pPassword, m_strPassword, kMaxPassword);
        ShowLimited(m_pConfirm, m_strConfirm, kMaxPassword);
        m_pSoundOutput->setCurrentIndex(OutputIndexOf(m_strSoundOutput));
        ShowLimited(m_pSoundFont, m_strSoundFont, 0);
        return true;
    }
    // Field by field as the framework exchanges them: a field that is too long stops
    // the exchange, the fields before it already taken.
    m_strTempDir = TextOf(m_pTempDir);
    m_strMediaPlayer = TextOf(m_pMediaPlayer);
    m_strNickname = TextOf(m_pNickname);
    if (!CheckLength(m_pNickname, m_strNickname, kMaxNickname))
        return false;
    m_strEmail = TextOf(m_pEmail);
    if (!CheckLength(m_pEmail, m_strEmail, kMaxEmail))
        return false;
    m_strHomeSite = TextOf(m_pHomeSite);
    if (!CheckLength(m_pHomeSite, m_strHomeSite, kMaxHomeSite))
        return false;
    m_strPassword = TextOf(m_pPassword);
    if (!CheckLength(m_pPassword, m_strPassword, kMaxPassword))
        return false;
    m_strConfirm = TextOf(m_pConfirm);
    if (!CheckLength(m_pConfirm, m_strConfirm, kMaxPassword))
        return false;
    m_strSoundOutput = m_pSoundOutput->currentData().toString().toStdString();
    m_strSoundFont = TextOf(m_pSoundFont);
    return true;
}

int CSetupDlg::OutputIndexOf(const std::string& name)
{
    const int index = m_pSoundOutput->findData(QString::fromStdString(name));
    if (index >= 0)
        return index;
    // A port that has gone away keeps its entry, so that OK does not quietly forget it.
    m_pSoundOutput->addItem(QString::fromStdString(name + " (not found)"), QString::fromStdString(name));
    return m_pSoundOutput->count() - 1;
}

bool CSetupDlg::Store(const char* section, const char* key, const std::string& value)
{
    if (m_settings.SetString(section, key, value))
        return true;
    ShowFileError(m_prompt, "write", m_settings.FilePath(), m_settings.WriteError());
    return false;
}

bool CSetupDlg::StoreSoundOption(const char* key, const std::string& value)
{
    return m_settings.GetString(kProfileOptions, key) == value || Store(kProfileOptions, key, value);
}

bool CSetupDlg::CheckLength(QLineEdit* pEdit, const std::string& value, int nMax)
{
    if (QString::fromStdString(value).size() <= nMax)
        return true;
    m_prompt.Show("Please enter no more than " + std::to_string(nMax) + " characters.", kAppTitle,
                  PromptIcon::Exclamation);
    pEdit->setFocus();
    pEdit->selectAll();
    return false;
}

void CSetupDlg::Refuse(const std::string& text, const std::string& caption)
{
    m_prompt.Show(text, caption, PromptIcon::Exclamation);
}

void CSetupDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    if (m_strNickname.empty())
        return Refuse("Please key your nickname.", "Nickname Require");
    if (!Store(kProfileIdentity, kProfileNickname, m_strNickname))
        return;
    if (m_strEmail.empty())
        return Refuse("Please key your email address.", "Email Require");
    if (!Store(kProfileIdentity, kProfileEmail, m_strEmail))
        return;
    if (m_strHomeSite.empty())
        return Refuse(std::string("Please key Zorvat home site.\r\n(Example: ") + kDefaultHomeSite + ")",
                      "Zorvat Home Site Require");
    std::string host;
    std::optional<std::uint16_t> port;
    if (!ParseHostAddress(m_strHomeSite, host, port))
        return Refuse(std::string("Please key Zorvat home site as a host name or HOST:PORT (a port from 1 to "
                                  "65535).\r\n(Example: ") +
                          kDefaultHomeSite + ")",
                      "Zorvat Home Site Require");
    if (!Store(kProfileSystem, kProfileHomeSite, m_strHomeSite))
        return;
    if (m_strTempDir.empty())
        return Refuse("Please key temporary working path.", "Path Require");
    if (!Store(kProfileSystem, kProfileTempDir, m_strTempDir))
        return;
    if (m_strMediaPlayer.empty())
        return Refuse("Please key your media player.", "Media Player Require");
    if (!Store(kProfileSystem, kProfileMediaPlayer, m_strMediaPlayer))
        return;
    if (m_strPassword != m_strConfirm)
        return Refuse("Password confirm error.", "Password Error");
    if (!m_strPassword.empty() && !Store(kProfileIdentity, kProfilePassword, m_strPassword))
        return;
    if (!m_strSoundFont.empty() && !IsSoundFontFile(m_strSoundFont)) {
        Refuse("Please choose a SoundFont file (.sf2 or .sf3).\r\n(Not a SoundFont: " + m_strSoundFont + ")",
               "SoundFont Error");
        m_pSoundFont->setFocus();
        m_pSoundFont->selectAll();
        return;
    }
    if (StoreSoundOption(kProfileSoundOutput, m_strSoundOutput) && StoreSoundOption(kProfileSoundFont, m_strSoundFont))
        accept();
}

void CSetupDlg::TakeTypedText()
{
    m_strTempDir = TextOf(m_pTempDir);
    m_strMediaPlayer = TextOf(m_pMediaPlayer);
    m_strNickname = TextOf(m_pNickname);
    m_strEmail = TextOf(m_pEmail);
    m_strHomeSite = TextOf(m_pHomeSite);
    m_strPassword = TextOf(m_pPassword);
    m_strConfirm = TextOf(m_pConfirm);
    m_strSoundOutput = m_pSoundOutput->currentData().toString().toStdString();
    m_strSoundFont = TextOf(m_pSoundFont);
}

void CSetupDlg::OnBrowse()
{
    // Typed text must survive the refresh below; lengths are checked by OK alone.
    TakeTypedText();
    QString path;
    if (!m_files.GetOpenFileName(this, QStringLiteral("Media Player"), QStringLiteral("Program Files (*)"),
                                 QString(), path))
        return;
    m_strMediaPlayer = path.toStdString();
    UpdateData(false);
}

void CSetupDlg::OnBrowseSoundFont()
{
    // As OnBrowse; whether the file is a SoundFont is OK's check.
    TakeTypedText();
    QString path;
    if (!m_files.GetOpenFileName(this, QStringLiteral("SoundFont"),
                                 QStringLiteral("SoundFont Files (*.sf2 *.sf3 *.SF2 *.SF3);;All Files (*)"),
                                 QString(), path))
        return;
    m_strSoundFont = path.toStdString();
    UpdateData(false);
}
