#include "ui/QtFileChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

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

QString CQtFileChooser::StartFolder() const
{
    return m_strLastFolder.isEmpty() ? QDir::homePath() : m_strLastFolder;
}

bool CQtFileChooser::Run(QFileDialog& dlg, QString& path)
{
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    path = dlg.selectedFiles().constFirst();
    RememberChosen(path);
    return true;
}

void CQtFileChooser::RememberChosen(const QString& path)
{
    m_strLastFolder = QFileInfo(path).absolutePath();
}

bool CQtFileChooser::GetOpenFileName(QWidget* owner, const QString& caption, const QString& filter,
                                     const QString& defaultSuffix, QString& path)
{
    QFileDialog dlg(owner, caption, StartFolder(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(defaultSuffix);
    return Run(dlg, path);
}

bool CQtFileChooser::GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter,
                                     const QString& defaultSuffix, const QString& initialPath, QString& path,
                                     QString* pChosenFilter)
{
    QFileDialog dlg(owner, caption, StartFolder(), filter);
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
    if (!Run(dlg, path))
        return false;
    if (pChosenFilter)
        *pChosenFilter = dlg.selectedNameFilter();
    return true;
}
