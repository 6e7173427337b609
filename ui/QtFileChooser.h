#pragma once
// The file dialogs of Qt. Each starts in the folder of the file chosen last, in
// the user's home folder before any, never in the program's working directory.

#include <QString>

#include "ui/FileChooser.h"

class QFileDialog;

class CQtFileChooser final : public CFileChooser {
public:
    // The folder a dialog starts in.
    [[nodiscard]] QString StartFolder() const;
    // A file was chosen: the next dialog starts in its folder.
    void RememberChosen(const QString& path);

    bool GetOpenFileName(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& defaultSuffix, QString& path) override;
    bool GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& defaultSuffix, const QString& initialPath, QString& path,
                         QString* pChosenFilter = nullptr) override;

private:
    bool Run(QFileDialog& dlg, QString& path);

    QString m_strLastFolder;
};
