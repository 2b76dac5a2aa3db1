#include "sheetlist.h"

#include "cueparser.h"
#include "enginehost.h"
#include "enginetext.h"
#include "folderwalk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

QString sheetName(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool isAcceptableSheet(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isReadable())
        return false;
    const QString name = path.trimmed();
    if (name.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive))
        return info.size() <= maxSheetBytes;
    // An image named by the user may carry its sheet inside; whether it does
    // is the check pass's to say, where a missing one is explained. A folder
    // walk takes only those that do.
    return info.isFile()
        && (name.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive)
            || name.endsWith(QLatin1String(".wv"), Qt::CaseInsensitive));
}

QStringList SheetCollector::add(const QString &path)
{
    QStringList added;
    if (QFileInfo(path).isDir())
        return addFolder(path);
    take(path, added);
    return added;
}

QStringList SheetCollector::addFolder(const QString &folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    const FolderSheets found = walkFolder(folder, [this] { m_host.yieldAndCheckStop(); });
    for (const QString &dir : found.unreadable)
        m_host.error(EngineText::tr("Cannot read folder %1").arg(QDir::toNativeSeparators(dir)));
    QStringList added;
    QElapsedTimer clock;
    clock.start();
    // Thousands of sheets take a while to look at, too.
    for (const QString &sheet : found.sheets) {
        take(sheet, added);
        if (clock.elapsed() >= 20) {
            m_host.yieldAndCheckStop();
            clock.restart();
        }
    }
    if (found.sheets.isEmpty())
        m_host.information(EngineText::tr("No CUE sheets in %1").arg(native));
    else
        m_host.information(EngineText::tr("Added %1 sheets from %2").arg(added.size()).arg(native));
    return added;
}

bool SheetCollector::take(const QString &path, QStringList &added)
{
    const QString name = sheetName(path);
    if (m_known.contains(name) || !isAcceptableSheet(name))
        return false;
    m_known.insert(name);
    added << name;
    return true;
}
