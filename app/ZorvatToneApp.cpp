#include "app/ZorvatToneApp.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include "app/MainFrame.h"
#include "prompt/Prompt.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "ui/Captions.h"
#include "ui/ModalRunner.h"
#include "ui/SetupDlg.h"
#include "ui/ZorvatToneView.h"

CZorvatToneApp::CZorvatToneApp(CUiServices& services) : m_services(services), m_recent(services.m_settings) {}

CZorvatToneApp::~CZorvatToneApp() = default;

bool CZorvatToneApp::NeedsSetup(const CSettingsStore& settings)
{
    return settings.GetString(kProfileIdentity, kProfileNickname).empty() ||
           settings.GetString(kProfileIdentity, kProfileEmail).empty() ||
           settings.GetString(kProfileSystem, kProfileHomeSite).empty() ||
           settings.GetString(kProfileSystem, kProfileTempDir).empty() ||
           settings.GetString(kProfileSystem, kProfileMediaPlayer).empty();
}

void CZorvatToneApp::RunFirstRunSetup()
{
    CSetupDlg dlg(m_services.m_settings, m_services.m_prompt, m_services.m_files, true);
    (void)m_services.m_modal.Run(dlg);
}

bool CZorvatToneApp::InitInstance(const QStringList& arguments)
{
    // --help answers before anything is shown.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Makes ringtones from Standard MIDI Files."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The MIDI file to open."),
                                 QStringLiteral("[file]"));
    parser.process(arguments);

    m_recent.Load();
    if (NeedsSetup(m_services.m_settings))
        RunFirstRunSetup();

    m_pMainFrame = std::make_unique<CMainFrame>(m_services, m_doc, m_recent);
    (void)m_doc.OnNewDocument();
    m_pMainFrame->GetView().OnInitialUpdate();
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty() && !OpenCommandLineFile(files.constFirst())) {
        m_pMainFrame.reset();
        return false;
    }
    m_pMainFrame->show();
    m_pMainFrame->update();
    return true;
}

bool CZorvatToneApp::OpenCommandLineFile(const QString& path)
{
    if (m_pMainFrame->GetView().OpenMidiFile(path.toStdString(), false))
        return true;
    const std::string file = path.toStdString();
    const std::string reason = m_doc.GetOpenFailure() == CZorvatToneDoc::OpenFailure::kNotMidi
                                   ? file + " is not a MIDI file."
                                   : file + " cannot be read.";
    m_services.m_prompt.Show("Failed to open document.\r\n" + reason, kAppTitle, PromptIcon::Stop, PromptButtons::Ok,
                             m_doc.GetFailureReason());
    return false;
}
