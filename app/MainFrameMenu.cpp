#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "ui/ControlIds.h"
#include "ui/ZorvatToneView.h"

QAction* CMainFrame::MakeAction(const char* caption, int id, const char* statusTip, const char* toolTip)
{
    auto* pAction = new QAction(QString::fromUtf8(caption), this);
    pAction->setObjectName(CommandName(id));
    if (statusTip)
        pAction->setStatusTip(QString::fromUtf8(statusTip));
    if (toolTip)
        pAction->setToolTip(QString::fromUtf8(toolTip));
    return pAction;
}

void CMainFrame::CreateMenu()
{
    m_pFileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    // The accelerators' own commands: a second action on the same keys would make
    // them ambiguous, and one press must run its command once.
    m_pFileMenu->addActions({m_pOpen, m_pSave, m_pNew});
    m_pFileMenu->addSeparator();
    m_pImport = MakeAction("&Import Ringtone...", CommandId::kImportRingtone,
                           "Read an .rtttl, .ott or .imy ringtone file into the RTTTL box");
    connect(m_pImport, &QAction::triggered, m_pView, &CZorvatToneView::OnImportRingtone);
    m_pExport = MakeAction("&Export Ringtone...", CommandId::kExportRingtone,
                           "Save the RTTTL box's ringtone as an .rtttl, .ott, .imy, .ogg or .m4r file");
    connect(m_pExport, &QAction::triggered, m_pView, &CZorvatToneView::OnExportRingtone);
    m_pExportSong = MakeAction("Export &Song Ringtone...", CommandId::kExportSongRingtone,
                               "Save the overview's range of the song as an iPhone or Android ringtone");
    connect(m_pExportSong, &QAction::triggered, m_pView, &CZorvatToneView::OnExportSongRingtone);
    m_pFileMenu->addActions({m_pImport, m_pExport, m_pExportSong});
    m_pFileMenu->addSeparator();
    m_pExit = MakeAction("E&xit", CommandId::kExit, "Quit the application; prompts to save documents", "Exit");
    m_pFileMenu->addAction(m_pExit);
    connect(m_pExit, &QAction::triggered, this, &CMainFrame::close);

    QAction* pSetup = MakeAction("&Setup", CommandId::kSetup, "Setup your Zorvat Musician");
    menuBar()->addAction(pSetup);
    connect(pSetup, &QAction::triggered, m_pView, &CZorvatToneView::OnSetup);

    QMenu* pHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* pAbout = MakeAction("&About Zorvat Zavi...", CommandId::kAbout,
                                 "Display program information, version number and copyright", "About");
    pHelp->addAction(pAbout);
    connect(pAbout, &QAction::triggered, this, &CMainFrame::OnAppAbout);
    QAction* pHowTo = MakeAction("How &to...", CommandId::kHowTo, "Simple step by step instructions...");
    pHelp->addAction(pHowTo);
    connect(pHowTo, &QAction::triggered, m_pView, &CZorvatToneView::OnHowTo);
    QAction* pRtttl =
        MakeAction("&RTTTL format...", CommandId::kRtttlFormat, "Open the guide to the RTTTL text format");
    pHelp->addAction(pRtttl);
    connect(pRtttl, &QAction::triggered, this, &CMainFrame::OnHelpRtttl);

    RebuildRecentFiles();
}

void CMainFrame::CreateAccelerators()
{
    m_pNew = MakeAction("&New", CommandId::kNew, "Create a new document", "New");
    m_pNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(m_pNew, &QAction::triggered, this, &CMainFrame::OnFileNew);
    m_pOpen = MakeAction("&Open MIDI...", CommandId::kOpen, "Open an existing document", "Open");
    m_pOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_pOpen, &QAction::triggered, this, &CMainFrame::OnFileOpen);
    m_pSave = MakeAction("Save &As...", CommandId::kSaveAs, "Save the song as a MIDI file", "Save");
    m_pSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(m_pSave, &QAction::triggered, m_pView, &CZorvatToneView::OnFileSave);
    // Held by the window as well as by the File menu: the keys work anywhere in it.
    for (QAction* pAction : {m_pNew, m_pOpen, m_pSave}) {
        pAction->setShortcutContext(Qt::WindowShortcut);
        addAction(pAction);
    }
}

void CMainFrame::RebuildRecentFiles()
{
    for (QAction* pAction : m_recentActions) {
        m_pFileMenu->removeAction(pAction);
        pAction->deleteLater();
    }
    m_recentActions.clear();
    const auto& entries = m_recent.Entries();
    if (entries.empty())
        return;
    const bool bEnabled = !m_pView->IsPlaying();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QString path = QString::fromStdString(entries[i]);
        QString shown = path;
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto* pAction = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), this);
        pAction->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        pAction->setStatusTip(QStringLiteral("Open this document"));
        pAction->setEnabled(bEnabled);
        connect(pAction, &QAction::triggered, this, [this, path] { OnRecentFile(path); });
        m_pFileMenu->insertAction(m_pImport, pAction);
        m_recentActions.append(pAction);
    }
    // The last files follow New, as they always have; the ringtone files come after them.
    m_recentActions.append(m_pFileMenu->insertSeparator(m_pImport));
}
