#pragma once
// The main window (no minimise or maximise box) that holds the form: at the
// form's size where the screen has room, otherwise as large as the screen allows
// with the form scrolling in it; never larger than the form. It holds with the menu "&File" ("&Open MIDI...", "Save &As..."
// and "&New", the recent files, "E&xit"), "&Setup" on the menu bar itself, and
// "&Help" (About, How To, "&RTTTL format..."); and the accelerators Ctrl+N (new
// document), Ctrl+O (open a MIDI file) and Ctrl+S (save the song as a MIDI file
// through a save dialog), which are the File menu's own commands. Dropping a .mid
// file on the window opens it. While the form plays, nothing can replace or save
// the song.
//
// Actions carry the object name "command<id>" of their CommandId (ui/ControlIds.h).

#include <QMainWindow>

#include "ui/UiServices.h"

class CRecentFileList;
class CZorvatToneDoc;
class CZorvatToneView;
class QAction;
class QMenu;

class CMainFrame final : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(CUiServices& services, CZorvatToneDoc& doc, CRecentFileList& recent, QWidget* pParent = nullptr);
    ~CMainFrame() override;

    [[nodiscard]] CZorvatToneView& GetView() { return *m_pView; }

    // The first local file among `urls` whose name ends in ".mid" in any letter
    // case; empty when there is none.
    [[nodiscard]] static QString MidiFileOf(const QList<QUrl>& urls);

    // The window's size for a form and menu of `whole` on a screen whose free area
    // is `available`: the whole where it fits, otherwise what the screen leaves
    // after the window manager's title bar and borders, widened by a scroll bar
    // of `scrollBarWidth` where the form scrolls up and down.
    [[nodiscard]] static QSize WindowSizeOnScreen(const QSize& whole, const QSize& available, int scrollBarWidth);

    // The folder the program runs from, where Help looks for the installed RTTTL
    // format guide: the running program's unless set.
    void SetProgramDir(const QString& dir) { m_strProgramDir = dir; }

public slots:
    // Runs the About box.
    void OnAppAbout();
    void OnFileOpen();
    void OnFileNew();
    void OnRecentFile(const QString& path);
    // Opens the RTTTL format guide in the desktop's viewer (xdg-open); a guide that
    // is in none of its places gets a stop message naming them.
    void OnHelpRtttl();

protected:
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private slots:
    void OnDocumentOpened(const QString& path);
    void OnPlayingChanged(bool bPlaying);

private:
    static constexpr int kTitleAllowance = 40;
    static constexpr int kBorderAllowance = 8;
    static constexpr int kSmallestWidth = 480;
    static constexpr int kSmallestHeight = 320;

    void FitToScreen();
    void CreateMenu();
    void CreateAccelerators();
    void RebuildRecentFiles();
    QAction* MakeAction(const char* caption, int id, const char* statusTip, const char* toolTip = nullptr);

    CUiServices& m_services;
    CZorvatToneView* m_pView = nullptr;
    CRecentFileList& m_recent;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pExit = nullptr;
    QAction* m_pNew = nullptr;
    QAction* m_pOpen = nullptr;
    QAction* m_pSave = nullptr;
    QAction* m_pImport = nullptr;
    QAction* m_pExport = nullptr;
    QAction* m_pExportSong = nullptr;
    QList<QAction*> m_recentActions;
    QString m_strProgramDir;
};
