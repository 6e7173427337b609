#include "ui/QtFileChooser.h"

#include <QFileDialog>

namespace {

bool RunDialog(QFileDialog& dlg, QString& path)
{
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    path = dlg.selectedFiles().constFirst();
    return true;
}

} // namespace

bool CQtFileChooser::GetOpenFileName(QWidget* owner, const QString& caption, const QString& filter,
                                     const QString& defaultSuffix, QString& path)
{
    QFileDialog dlg(owner, caption, QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(defaultSuffix);
    return RunDialog(dlg, path);
}

bool CQtFileChooser::GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter,
                                     const QString& defaultSuffix, const QString& initialPath, QString& path)
{
    QFileDialog dlg(owner, caption, QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(defaultSuffix);
    if (!initialPath.isEmpty())
        dlg.selectFile(initialPath);
    return RunDialog(dlg, path);
}
