#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ControlIds.h"
#include "ui/SetupDlg.h"

namespace {

QLineEdit* MakeEdit(QWidget* parent, int id, bool bPassword = false)
{
    auto* pEdit = new QLineEdit(parent);
    pEdit->setObjectName(ControlName(id));
    if (bPassword)
        pEdit->setEchoMode(QLineEdit::Password);
    return pEdit;
}

QLabel* MakeNote(const char* text, QWidget* parent)
{
    auto* pLabel = new QLabel(QString::fromUtf8(text), parent);
    pLabel->setWordWrap(true);
    return pLabel;
}

QLabel* MakeLabel(const char* text, QWidget* buddy, QWidget* parent)
{
    auto* pLabel = new QLabel(QString::fromUtf8(text), parent);
    pLabel->setBuddy(buddy);
    return pLabel;
}

} // namespace

void CSetupDlg::BuildControls()
{
    setWindowTitle(QStringLiteral("Zorvat Zavi Setup"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    // The edits of every group start in one column.
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("Zorvat Home Site")) + 8;
    QGroupBox* pIdentity = BuildIdentityGroup(labelWidth);
    QGroupBox* pSystem = BuildSystemGroup(labelWidth);
    QGroupBox* pSound = BuildSoundGroup(labelWidth);

    auto* pOk = new QPushButton(QStringLiteral("OK"), this);
    pOk->setObjectName(ControlName(ControlId::kOk));
    pOk->setDefault(true);
    auto* pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pCancel->setObjectName(ControlName(ControlId::kCancel));
    pCancel->setAutoDefault(false);
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(pOk);
    pButtons->addWidget(pCancel);

    auto* pMain = new QVBoxLayout(this);
    pMain->addWidget(pIdentity);
    pMain->addWidget(pSystem);
    pMain->addWidget(pSound);
    pMain->addLayout(pButtons);
    pMain->setSizeConstraint(QLayout::SetFixedSize);
    // The notes wrap within a width that suits the longest of them.
    pIdentity->setMinimumWidth(fontMetrics().horizontalAdvance(QString(60, QLatin1Char('n'))));

    connect(pOk, &QPushButton::clicked, this, &CSetupDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &CSetupDlg::reject);
    connect(m_pBrowse, &QPushButton::clicked, this, &CSetupDlg::OnBrowse);
    connect(m_pBrowseSoundFont, &QPushButton::clicked, this, &CSetupDlg::OnBrowseSoundFont);
}

QGroupBox* CSetupDlg::BuildIdentityGroup(int labelWidth)
{
    auto* pIdentity = new QGroupBox(QStringLiteral("Identity"), this);
    m_pNickname = MakeEdit(pIdentity, ControlId::Setup::kNickname);
    m_pEmail = MakeEdit(pIdentity, ControlId::Setup::kEmail);
    m_pPassword = MakeEdit(pIdentity, ControlId::Setup::kPassword, true);
    m_pConfirm = MakeEdit(pIdentity, ControlId::Setup::kConfirm, true);
    auto* pIdGrid = new QGridLayout(pIdentity);
    pIdGrid->addWidget(MakeNote("Nickname/email will be reflected in Zorvat Zavi Gallery as author.", pIdentity), 0,
                       0, 1, 4);
    pIdGrid->addWidget(MakeLabel("Nickname", m_pNickname, pIdentity), 1, 0);
    pIdGrid->addWidget(m_pNickname, 1, 1, 1, 3);
    pIdGrid->addWidget(MakeLabel("Email", m_pEmail, pIdentity), 2, 0);
    pIdGrid->addWidget(m_pEmail, 2, 1, 1, 3);
    pIdGrid->addWidget(MakeNote("Protect your ringtone from deleted by others in Zorvat Zavi Gallery.", pIdentity),
                       3, 0, 1, 4);
    pIdGrid->addWidget(MakeLabel("Password", m_pPassword, pIdentity), 4, 0);
    pIdGrid->addWidget(m_pPassword, 4, 1);
    pIdGrid->addWidget(MakeLabel("Confirm", m_pConfirm, pIdentity), 4, 2);
    pIdGrid->addWidget(m_pConfirm, 4, 3);
    pIdGrid->setColumnStretch(1, 1);
    pIdGrid->setColumnStretch(3, 1);
    pIdGrid->setColumnMinimumWidth(0, labelWidth);
    return pIdentity;
}

QGroupBox* CSetupDlg::BuildSystemGroup(int labelWidth)
{
    auto* pSystem = new QGroupBox(QStringLiteral("System Settings"), this);
    m_pHomeSite = MakeEdit(pSystem, ControlId::Setup::kHomeSite);
    m_pTempDir = MakeEdit(pSystem, ControlId::Setup::kTempDir);
    m_pMediaPlayer = MakeEdit(pSystem, ControlId::Setup::kMediaPlayer);
    m_pBrowse = new QPushButton(QStringLiteral("..."), pSystem);
    m_pBrowse->setAccessibleName(QStringLiteral("Browse for the media player"));
    m_pBrowse->setObjectName(ControlName(ControlId::Setup::kBrowseMediaPlayer));
    m_pBrowse->setAutoDefault(false);
    m_pBrowse->setFixedWidth(m_pBrowse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto* pSysGrid = new QGridLayout(pSystem);
    pSysGrid->addWidget(MakeNote("Specify the IP address of Zorvat SMS service home site.", pSystem), 0, 0, 1, 3);
    pSysGrid->addWidget(MakeLabel("Zorvat Home Site", m_pHomeSite, pSystem), 1, 0);
    pSysGrid->addWidget(m_pHomeSite, 1, 1, 1, 2);
    pSysGrid->addWidget(MakeNote("Temporary working directory for Zorvat Zavi. (ex. /tmp)", pSystem), 2, 0, 1, 3);
    pSysGrid->addWidget(MakeLabel("Path", m_pTempDir, pSystem), 3, 0);
    pSysGrid->addWidget(m_pTempDir, 3, 1, 1, 2);
    pSysGrid->addWidget(MakeNote("Media player of your system.  (ex: /usr/bin/zorvattone-play)", pSystem), 4, 0, 1,
                        3);
    pSysGrid->addWidget(MakeLabel("Media Player", m_pMediaPlayer, pSystem), 5, 0);
    pSysGrid->addWidget(m_pMediaPlayer, 5, 1);
    pSysGrid->addWidget(m_pBrowse, 5, 2);
    pSysGrid->setColumnStretch(1, 1);
    pSysGrid->setColumnMinimumWidth(0, labelWidth);
    return pSystem;
}

QGroupBox* CSetupDlg::BuildSoundGroup(int labelWidth)
{
    auto* pSound = new QGroupBox(QStringLiteral("Sound"), this);
    m_pSoundOutput = new QComboBox(pSound);
    m_pSoundOutput->setObjectName(ControlName(ControlId::Setup::kSoundOutput));
    m_pSoundOutput->setAccessibleName(QStringLiteral("Sound output"));
    // A long port name must not widen the fixed-size dialog.
    m_pSoundOutput->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pSoundOutput->setMinimumContentsLength(24);
    m_pSoundOutput->addItem(QString::fromUtf8(kFirstSynthesizerEntry), QString());
    for (const std::string& name : m_outputs)
        m_pSoundOutput->addItem(QString::fromStdString(name), QString::fromStdString(name));
    m_pSoundFont = MakeEdit(pSound, ControlId::Setup::kSoundFont);
    m_pBrowseSoundFont = new QPushButton(QStringLiteral("..."), pSound);
    m_pBrowseSoundFont->setAccessibleName(QStringLiteral("Browse for the SoundFont"));
    m_pBrowseSoundFont->setObjectName(ControlName(ControlId::Setup::kBrowseSoundFont));
    m_pBrowseSoundFont->setAutoDefault(false);
    m_pBrowseSoundFont->setFixedWidth(m_pBrowse->width());
    auto* pSoundGrid = new QGridLayout(pSound);
    pSoundGrid->addWidget(MakeNote("Where Play sounds: the built-in synthesizer or a MIDI port.", pSound), 0, 0, 1,
                          3);
    pSoundGrid->addWidget(MakeLabel("Sound output", m_pSoundOutput, pSound), 1, 0);
    pSoundGrid->addWidget(m_pSoundOutput, 1, 1, 1, 2);
    pSoundGrid->addWidget(
        MakeNote("SoundFont of the built-in synthesizer; leave it empty for the system's. (ex: "
                 "/usr/share/sounds/sf2/FluidR3_GM.sf2)",
                 pSound),
        2, 0, 1, 3);
    pSoundGrid->addWidget(MakeLabel("SoundFont", m_pSoundFont, pSound), 3, 0);
    pSoundGrid->addWidget(m_pSoundFont, 3, 1);
    pSoundGrid->addWidget(m_pBrowseSoundFont, 3, 2);
    pSoundGrid->setColumnStretch(1, 1);
    pSoundGrid->setColumnMinimumWidth(0, labelWidth);
    return pSound;
}
