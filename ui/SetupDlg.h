#pragma once
// The Setup dialog ("Zorvat Zavi Setup"): the user's identity and the system paths.
//
// Construction loads the six profile entries (the password into both password
// fields). On a first run an empty Path gets the system temporary directory and an
// empty Media Player the project's own player; opened from the menu, nothing is
// pre-filled. OK checks the fields in a fixed order and writes each one to the
// profile as soon as its own check passes; an empty password writes nothing, so
// the stored one stays. A profile that cannot be written stops OK with the stop
// message naming the file and why, and the dialog stays open. Cancel writes nothing.
//
// Below them, the sound: the output Play uses (first the entry for the first
// synthesizer found, stored as empty, then each output offered by name; a stored
// output no longer offered stays as an entry of its own) and the built-in
// synthesizer's SoundFont (empty: the system's). OK checks them last: a SoundFont
// field that names no SoundFont file stops OK with a message and writes neither;
// otherwise each is written when it differs from the stored value.
//
// Controls carry the object names "control<id>" of ControlId::Setup (ui/ControlIds.h);
// OK and Cancel are ControlId::kOk and ControlId::kCancel.

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class CFileChooser;
class CPrompt;
class CSettingsStore;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The home site that the home-site message cites as its example.
inline constexpr char kDefaultHomeSite[] = "gallery.zorvat.example";
// The first entry of the sound outputs: the engine's own rule.
inline constexpr char kFirstSynthesizerEntry[] = "First synthesizer found";

class CSetupDlg final : public QDialog {
    Q_OBJECT

public:
    // Input limits of the edits, in characters.
    static constexpr int kMaxNickname = 32;
    static constexpr int kMaxEmail = 96;
    static constexpr int kMaxHomeSite = 80;
    static constexpr int kMaxPassword = 8;

    // outputs: the names of the sound outputs to offer; none given: the system's
    // (ListSystemOutputs).
    CSetupDlg(CSettingsStore& settings, CPrompt& prompt, CFileChooser& files, bool bFirstRun,
              QWidget* pParent = nullptr, std::optional<std::vector<std::string>> outputs = std::nullopt);
    ~CSetupDlg() override;

    // bSaveAndValidate true: the controls into the fields, false when a field is longer
    // than its limit (after the framework's message); false: the fields into the controls.
    bool UpdateData(bool bSaveAndValidate);

    bool m_bFirstRun = false;
    std::string m_strTempDir;
    std::string m_strMediaPlayer;
    std::string m_strNickname;
    std::string m_strEmail;
    std::string m_strHomeSite;
    std::string m_strPassword;
    std::string m_strConfirm;
    std::string m_strSoundOutput; // empty: the first synthesizer found
    std::string m_strSoundFont;   // empty: the system's

public slots:
    void OnOK();
    void OnBrowse();
    void OnBrowseSoundFont();

private:
    void LoadProfile();
    void BuildControls();
    // Each group of the dialog, its labels `labelWidth` wide.
    QGroupBox* BuildIdentityGroup(int labelWidth);
    QGroupBox* BuildSystemGroup(int labelWidth);
    QGroupBox* BuildSoundGroup(int labelWidth);
    // Every control's text into its field, without checks.
    void TakeTypedText();
    // The output entry that stands for `name`, added when it is not offered.
    [[nodiscard]] int OutputIndexOf(const std::string& name);
    // Writes one entry; false after the message naming the file that could not be
    // written.
    [[nodiscard]] bool Store(const char* section, const char* key, const std::string& value);
    // Writes an entry of the sound section unless it holds `value` already; false as
    // Store.
    [[nodiscard]] bool StoreSoundOption(const char* key, const std::string& value);
    [[nodiscard]] bool CheckLength(QLineEdit* pEdit, const std::string& value, int nMax);
    // Shows the message of a failed check and keeps the dialog open.
    void Refuse(const std::string& text, const std::string& caption);

    CSettingsStore& m_settings;
    CPrompt& m_prompt;
    CFileChooser& m_files;

    QLineEdit* m_pTempDir = nullptr;
    QLineEdit* m_pMediaPlayer = nullptr;
    QLineEdit* m_pNickname = nullptr;
    QLineEdit* m_pEmail = nullptr;
    QLineEdit* m_pHomeSite = nullptr;
    QLineEdit* m_pPassword = nullptr;
    QLineEdit* m_pConfirm = nullptr;
    QPushButton* m_pBrowse = nullptr;
    std::vector<std::string> m_outputs;
    QComboBox* m_pSoundOutput = nullptr;
    QLineEdit* m_pSoundFont = nullptr;
    QPushButton* m_pBrowseSoundFont = nullptr;
};
