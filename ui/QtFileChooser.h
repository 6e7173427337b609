#pragma once
// The file dialogs of Qt.

#include "ui/FileChooser.h"

class CQtFileChooser final : public CFileChooser {
public:
    bool GetOpenFileName(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& defaultSuffix, QString& path) override;
    bool GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& defaultSuffix, const QString& initialPath, QString& path,
                         QString* pChosenFilter = nullptr) override;
};
