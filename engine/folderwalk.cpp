#include "folderwalk.h"

#include "embeddedsheet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

namespace {

// Half the promised 50 ms: one directory listing may take a while on its own.
const qint64 turnEveryMs = 20;

bool hasSuffix(const QString &name, QLatin1String suffix)
{
    return name.endsWith(suffix, Qt::CaseInsensitive);
}

class Walk
{
public:
    explicit Walk(const std::function<void()> &turn)
        : m_turn(turn)
    {
        m_clock.start();
    }

    void enter(const QString &dir);
    FolderSheets found;

private:
    void keepAlive();

    const std::function<void()> &m_turn;
    QElapsedTimer m_clock;
    QSet<QString> m_seen; // canonical paths of the folders entered
};

void Walk::keepAlive()
{
    if (m_clock.elapsed() < turnEveryMs)
        return;
    m_turn();
    m_clock.restart();
}

void Walk::enter(const QString &dir)
{
    // Links are not followed below the top, but a bind mount or a folder named
    // twice could still bring the walk back to where it was.
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    if (canonical.isEmpty() || m_seen.contains(canonical))
        return;
    m_seen.insert(canonical);
    QDir listing(dir);
    if (!listing.isReadable()) {
        found.unreadable << dir;
        return;
    }
    const QFileInfoList entries
        = listing.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    QStringList subfolders;
    QStringList images;
    bool hasCue = false;
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (entry.isDir()) {
            if (!entry.isSymLink() && !name.startsWith(QLatin1Char('.')))
                subfolders << entry.filePath();
        } else if (hasSuffix(name, QLatin1String(".cue"))) {
            found.sheets << entry.filePath();
            hasCue = true;
        } else if (hasSuffix(name, QLatin1String(".flac"))
            || hasSuffix(name, QLatin1String(".wv"))) {
            images << entry.filePath();
        }
    }
    // A .cue file beside the images is the sheet the ripper meant.
    for (const QString &image : std::as_const(images)) {
        if (!hasCue && hasEmbeddedSheet(image))
            found.sheets << image;
    }
    keepAlive();
    for (const QString &sub : std::as_const(subfolders))
        enter(sub);
}

} // namespace

FolderSheets walkFolder(const QString &folder, const std::function<void()> &turn)
{
    Walk walk(turn);
    walk.enter(folder);
    return walk.found;
}
