#include "ui/QtFileChooser.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace {

bool RunDialog(QFileDialog& dlg, QString& path)
{
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    path = dlg.selectedFiles().constFirst();
    return true;
}

} // namespace

QString SuffixOfFilter(const QString& filter)
{
    const qsizetype star = filter.indexOf(QStringLiteral("(*."));
    if (star < 0)
        return QString();
    const qsizetype end = filter.indexOf(QRegularExpression(QStringLiteral("[ )]")), star + 3);
    return filter.mid(star + 3, end < 0 ? -1 : end - star - 3);
}

QString WithSuffixOfFilter(const QString& path, const QString& filter)
{
    const QString suffix = SuffixOfFilter(filter);
    const QString name = path.section(QLatin1Char('/'), -1);
    return name.contains(QLatin1Char('.')) || suffix.isEmpty() ? path : path + QLatin1Char('.') + suffix;
}

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
                                     const QString& defaultSuffix, const QString& initialPath, QString& path,
                                     QString* pChosenFilter)
{
    QFileDialog dlg(owner, caption, QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(defaultSuffix);
    if (!initialPath.isEmpty())
        dlg.selectFile(initialPath);
    // A name typed without an extension takes the chosen type's, not always the first.
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, defaultSuffix](const QString& chosen) {
        const QString suffix = SuffixOfFilter(chosen);
        dlg.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
    });
    if (!RunDialog(dlg, path))
        return false;
    if (pChosenFilter)
        *pChosenFilter = dlg.selectedNameFilter();
    return true;
}
