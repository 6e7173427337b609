#pragma once
// The About box ("About Zorvat Zavi"): the program's icon when Qt can draw it, its
// name and version, the author and copyright lines, the Zorvat SMS Service with its
// address and services, a dedication, and "OK".
//
// Controls (object names): the icon "aboutIcon" (only when the icon could be
// loaded), OK "control1" (ControlId::kOk).

#include <QDialog>
#include <QStringList>

class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
    ~CAboutDlg() override;

    // The lines of text, top to bottom.
    [[nodiscard]] static QStringList Lines();
};
