#include "cover.h"

#include "enginetext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace {

// A picture this large is no cover but a scan; every track would carry it.
constexpr qint64 maxCoverBytes = 16 * 1024 * 1024;

// The first of the names and suffixes, in this order, whatever their case.
QString coverPath(const QDir &dir)
{
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    for (const char *name : {"cover", "folder", "front"}) {
        for (const char *suffix : {"jpg", "jpeg", "png"}) {
            const QString wanted = QLatin1String(name) + QLatin1Char('.') + QLatin1String(suffix);
            for (const QString &file : files) {
                if (file.compare(wanted, Qt::CaseInsensitive) == 0)
                    return dir.filePath(file);
            }
        }
    }
    return QString();
}

} // namespace

Cover findCover(const QString &sheetPath, QString &reason)
{
    reason.clear();
    const QString path = coverPath(QFileInfo(sheetPath).absoluteDir());
    if (path.isEmpty())
        return {};
    const QString native = QDir::toNativeSeparators(path);
    if (QFileInfo(path).size() > maxCoverBytes) {
        reason = EngineText::tr("Cover %1 not embedded: it is larger than 16 MiB").arg(native);
        return {};
    }
    QFile file(path);
    Cover cover;
    if (file.open(QIODevice::ReadOnly))
        cover.data = file.readAll();
    QImageReader reader(path);
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    if (cover.data.isEmpty() || image.isNull()) {
        reason
            = EngineText::tr("Cover %1 not embedded: it cannot be read as a picture").arg(native);
        return {};
    }
    cover.mimeType = "image/" + format;
    cover.width = image.width();
    cover.height = image.height();
    cover.depth = image.depth();
    cover.colors = image.colorCount();
    return cover;
}
