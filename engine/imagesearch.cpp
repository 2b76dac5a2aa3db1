#include "imagesearch.h"

#include <QDir>
#include <QFileInfo>

bool locateImage(const QString &sheetPath, QString &path, QString &namedPath)
{
    namedPath.clear();
    if (QFileInfo::exists(path))
        return true;
    const QDir folder = QFileInfo(sheetPath).absoluteDir();
    const QString base = QFileInfo(path).completeBaseName();
    const QStringList files = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const char *extension :
        {".flac", ".wv", ".wav", ".ape", ".tta", ".m4a", ".aiff", ".aif", ".w64"}) {
        const QString wanted = base + QLatin1String(extension);
        QStringList found;
        for (const QString &name : files) {
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                found << name;
        }
        // Two files that differ only in letter case leave the choice to the user.
        if (found.size() == 1) {
            namedPath = path;
            path = folder.filePath(found.first());
            return true;
        }
    }
    return false;
}
