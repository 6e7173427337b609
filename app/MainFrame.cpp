#include "app/MainFrame.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <algorithm>
#include <QUrl>

#include "app/AboutDlg.h"
#include "app/RecentFileList.h"
#include "app/RtttlGuide.h"
#include "prompt/Prompt.h"
#include "ui/Captions.h"
#include "ui/ModalRunner.h"
#include "ui/ProgramStarter.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"

CMainFrame::CMainFrame(CUiServices& services, CZorvatToneDoc& doc, CRecentFileList& recent, QWidget* pParent)
    : QMainWindow(pParent), m_services(services), m_recent(recent),
      m_strProgramDir(QCoreApplication::applicationDirPath())
{
    // Caption, system menu and close box only: the window opens at the form's size,
    // or at the screen's where the form is larger, and never grows past the form.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(kMainCaption));
    setAcceptDrops(true);

    m_pView = new CZorvatToneView(services, doc, this);
    // On a screen smaller than the form the form scrolls, so no control is out of reach.
    auto* pScroll = new QScrollArea(this);
    pScroll->setObjectName(QStringLiteral("formScroll"));
    pScroll->setFrameShape(QFrame::NoFrame);
    pScroll->setWidgetResizable(true);
    pScroll->setWidget(m_pView);
    setCentralWidget(pScroll);
    // The accelerators' commands first: the File menu holds them.
    CreateAccelerators();
    CreateMenu();
    FitToScreen();

    connect(m_pView, &CZorvatToneView::documentOpened, this, &CMainFrame::OnDocumentOpened);
    connect(m_pView, &CZorvatToneView::playingChanged, this, &CMainFrame::OnPlayingChanged);
}

CMainFrame::~CMainFrame() = default;

QSize CMainFrame::WindowSizeOnScreen(const QSize& whole, const QSize& available, int scrollBarWidth)
{
    if (whole.width() <= available.width() && whole.height() <= available.height())
        return whole;
    // Room for the window manager's title bar and borders, which Qt learns only
    // once the window is shown.
    const QSize room = available - QSize(kBorderAllowance, kTitleAllowance);
    QSize size = whole.boundedTo(room);
    // A form that scrolls up and down keeps its width beside the scroll bar.
    if (size.height() < whole.height())
        size.setWidth(std::min(whole.width() + scrollBarWidth, room.width()));
    return size;
}

void CMainFrame::FitToScreen()
{
    m_pView->adjustSize();
    const int chrome = menuBar()->sizeHint().height();
    const QSize whole = m_pView->sizeHint() + QSize(0, chrome);
    const int scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    setMaximumSize(whole + QSize(scrollBarWidth, 0));
    setMinimumSize(whole.boundedTo(QSize(kSmallestWidth, kSmallestHeight)));
    const QScreen* pScreen = screen();
    resize(pScreen ? WindowSizeOnScreen(whole, pScreen->availableGeometry().size(), scrollBarWidth) : whole);
}

QString CMainFrame::MidiFileOf(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        QString path = url.toLocalFile();
        if (QFileInfo(path).suffix().compare(QLatin1String("mid"), Qt::CaseInsensitive) == 0)
            return path;
    }
    return QString();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (!m_pView->IsPlaying() && pEvent->mimeData()->hasUrls() && !MidiFileOf(pEvent->mimeData()->urls()).isEmpty())
        pEvent->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* pEvent)
{
    QString path = MidiFileOf(pEvent->mimeData()->urls());
    if (path.isEmpty() || m_pView->IsPlaying())
        return;
    pEvent->acceptProposedAction();
    (void)m_pView->OpenMidiFile(path.toStdString());
}

void CMainFrame::OnFileOpen()
{
    m_pView->OnOpenMidi();
}

void CMainFrame::OnFileNew()
{
    m_pView->NewDocument();
}

void CMainFrame::OnRecentFile(const QString& path)
{
    if (m_pView->IsPlaying())
        return;
    if (m_pView->OpenMidiFile(path.toStdString()))
        return;
    // A listed file that no longer opens leaves the list.
    m_recent.Remove(path.toStdString());
    RebuildRecentFiles();
}

void CMainFrame::OnDocumentOpened(const QString& path)
{
    const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
    // A song the engine refuses (too many tracks, timing it cannot play, no tracks,
    // too long) is not worth offering again; one listed before leaves the list.
    if (m_pView->HasSong())
        m_recent.Add(file);
    else
        m_recent.Remove(file);
    RebuildRecentFiles();
}

void CMainFrame::OnPlayingChanged(bool bPlaying)
{
    for (QAction* pAction : {m_pNew, m_pOpen, m_pSave, m_pImport, m_pExport, m_pExportSong})
        pAction->setEnabled(!bPlaying);
    for (QAction* pAction : m_recentActions)
        pAction->setEnabled(!bPlaying);
}

void CMainFrame::OnHelpRtttl()
{
    const QStringList places = RtttlGuidePlaces(m_strProgramDir);
    for (const QString& place : places) {
        if (!QFileInfo(place).isFile())
            continue;
        // Without a viewer the user still learns where the guide is.
        if (m_services.m_programs.Start("xdg-open", {place.toStdString()}).m_result != ProgramStart::kStarted)
            m_services.m_prompt.Show("No program to show the RTTTL format guide could be started (xdg-open). "
                                     "The guide is at:\r\n" + place.toStdString(),
                                     kAppTitle, PromptIcon::Information);
        return;
    }
    m_services.m_prompt.Show("The RTTTL format guide was not found. Looked for it at:\r\n" +
                                 places.join(QStringLiteral("\r\n")).toStdString(),
                             kAppTitle, PromptIcon::Stop);
}

void CMainFrame::OnAppAbout()
{
    CAboutDlg dlg(this);
    (void)m_services.m_modal.Run(dlg);
}
