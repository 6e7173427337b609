#include "app/RtttlGuide.h"

#include <QDir>
#include <QFileInfo>

QStringList RtttlGuidePlaces(const QString& programDir)
{
    QStringList places{QDir::cleanPath(QDir(programDir).filePath(QStringLiteral(ZT_GUIDE_FROM_BIN)))};
    // Compared as real paths: the build tree may be reached through a symbolic link.
    const QString buildBin = QFileInfo(QStringLiteral(ZT_BUILD_BIN_DIR)).canonicalFilePath();
    if (!buildBin.isEmpty() && QFileInfo(programDir).canonicalFilePath() == buildBin)
        places << QDir::cleanPath(QStringLiteral(ZT_SOURCE_GUIDE));
    return places;
}
