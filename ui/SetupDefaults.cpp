#include "ui/SetupDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

std::string DefaultTempDirectory()
{
    QString dir = QDir::cleanPath(QDir::tempPath());
    // cleanPath keeps the root's own separator only.
    return QDir::toNativeSeparators(dir).toStdString();
}

std::string FindMediaPlayer(const QString& programDir, const QStringList& searchPaths)
{
    // Beside the program first: a build tree and an installation both keep the
    // player next to the desktop program, and that one belongs to this version.
    if (!programDir.isEmpty()) {
        QFileInfo beside(QDir(programDir).filePath(QString::fromUtf8(kPlayerProgram)));
        if (beside.isFile() && beside.isExecutable())
            return beside.absoluteFilePath().toStdString();
    }
    return QStandardPaths::findExecutable(QString::fromUtf8(kPlayerProgram), searchPaths).toStdString();
}

std::string DefaultMediaPlayer()
{
    return FindMediaPlayer(QCoreApplication::applicationDirPath());
}
