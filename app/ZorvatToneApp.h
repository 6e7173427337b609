#pragma once
// The desktop program's start-up: the profile's recent files, the first-run rule
// (the Setup dialog before the main window whenever one of "IDENTITY"/"NICKNAME",
// "IDENTITY"/"EMAIL", "SYSTEM"/"EMAIL", "SYSTEM"/"TEMP", "SYSTEM"/"MPLAYER" is
// empty; its outcome does not matter), the main window with a new document, or the
// file named on the command line as the document, and the window shown.

#include <QStringList>
#include <memory>

#include "app/RecentFileList.h"
#include "ui/UiServices.h"
#include "ui/ZorvatToneDoc.h"

class CMainFrame;
class CSettingsStore;

class CZorvatToneApp {
public:
    explicit CZorvatToneApp(CUiServices& services);
    ~CZorvatToneApp();
    CZorvatToneApp(const CZorvatToneApp&) = delete;
    CZorvatToneApp& operator=(const CZorvatToneApp&) = delete;

    // arguments: the program's, its own name first (QCoreApplication::arguments()).
    // False when the file named there cannot be opened as the document: the user has
    // been told why and the program should end.
    [[nodiscard]] bool InitInstance(const QStringList& arguments);

    // Null before InitInstance and after a failed one.
    [[nodiscard]] CMainFrame* GetMainFrame() { return m_pMainFrame.get(); }
    [[nodiscard]] CZorvatToneDoc& GetDocument() { return m_doc; }
    [[nodiscard]] CRecentFileList& GetRecentFiles() { return m_recent; }

    // True when one of the five first-run entries is empty.
    [[nodiscard]] static bool NeedsSetup(const CSettingsStore& settings);

private:
    void RunFirstRunSetup();
    [[nodiscard]] bool OpenCommandLineFile(const QString& path);

    CUiServices& m_services;
    // The document outlives the window, whose form plays its song.
    CZorvatToneDoc m_doc;
    CRecentFileList m_recent;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
