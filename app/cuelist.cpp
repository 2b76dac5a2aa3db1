#include "wmain.h"

#include "cueparser.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QListWidgetItem>
#include <QMap>
#include <QMimeData>
#include <QUrl>

namespace {

bool hasCueSuffix(const QString &path)
{
    return path.toLower().trimmed().endsWith(QLatin1String(".cue"));
}

// FLAC and WavPack images may carry their sheet inside; whether they do is
// the check pass's to say, where a missing one is explained in the log.
bool hasImageSuffix(const QString &path)
{
    const QString lower = path.toLower().trimmed();
    return lower.endsWith(QLatin1String(".flac")) || lower.endsWith(QLatin1String(".wv"));
}

bool isAcceptableSheet(const QFileInfo &info, const QString &name)
{
    if (hasImageSuffix(name))
        return info.isFile() && info.isReadable();
    return hasCueSuffix(name) && info.exists() && info.isReadable() && info.size() <= maxSheetBytes;
}

// The first row whose text does not sort before key, found by halving; the
// rows must be in ascending order.
int firstRowNotBefore(const QListWidget *list, const QString &key)
{
    int low = 0;
    int high = list->count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (list->item(mid)->text() < key)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

} // namespace

void WMain::addFileList(QStringList lst)
{
    const QIcon neutral(QStringLiteral(":/block.png"));
    cuelist->setSortingEnabled(false);
    QMap<QString, bool> known;
    for (int row = 0; row < cuelist->count(); ++row)
        known[cuelist->item(row)->text()] = true;

    for (const QString &path : std::as_const(lst)) {
        const QFileInfo info(path);
        const QString name = QDir::toNativeSeparators(info.absoluteFilePath());
        if (!isAcceptableSheet(info, name) || known.value(name))
            continue;
        auto *item = new QListWidgetItem(name, cuelist);
        item->setIcon(neutral);
        known[name] = true;
    }
    cuelist->setSortingEnabled(true);
    cuelist->sortItems(Qt::AscendingOrder);
}

void WMain::selectCue(const QString &s_)
{
    const QString key = QDir::toNativeSeparators(s_);
    const QIcon failed(QStringLiteral(":/logerror.png"));
    // Once sorting is on the list keeps its rows in ascending order (the
    // toolkit compares texts as QString's operator< does), so the rows with
    // the key sit together where halving finds them: marking a sheet costs
    // the same in a list of thousands. Before that, every row is looked at.
    const bool sorted = cuelist->isSortingEnabled();
    for (int row = sorted ? firstRowNotBefore(cuelist, key) : 0; row < cuelist->count(); ++row) {
        QListWidgetItem *item = cuelist->item(row);
        if (item->text() == key) {
            item->setIcon(failed);
            item->setSelected(true);
        } else if (sorted) {
            break;
        }
    }
    QApplication::processEvents();
}

void WMain::on_actionAdd_triggered()
{
    // The sheets are what is chosen; the filter's name says which images they
    // may point to. FLAC and WavPack images may carry their own sheet.
    const QStringList chosen = QFileDialog::getOpenFileNames(this, tr("Add CUE files"), QString(),
        tr("CUE files for WAV, FLAC, WavPack, Monkey's Audio, TTA, ALAC, AIFF or Wave64 images, "
           "or FLAC and WavPack images with a sheet inside (*.cue *.flac *.wv)"));
    if (!chosen.isEmpty())
        addFileList(chosen);
}

void WMain::on_actionRemove_triggered()
{
    QList<QListWidgetItem *> doomed;
    for (int row = 0; row < cuelist->count(); ++row) {
        if (cuelist->item(row)->isSelected())
            doomed << cuelist->item(row);
    }
    cuelist->clearSelection();
    qDeleteAll(doomed);
}

void WMain::on_removeSelected2_triggered()
{
    actionRemove->trigger();
}

// A run is in progress exactly while Stop is enabled; the list must not
// change under it.
void WMain::dragEnterEvent(QDragEnterEvent *e)
{
    if (actionStop->isEnabled())
        return;
    if (e->mimeData() && e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void WMain::dropEvent(QDropEvent *e)
{
    if (actionStop->isEnabled())
        return;
    if (!e->mimeData() || !e->mimeData()->hasUrls())
        return;
    QStringList sheets;
    for (const QUrl &url : e->mimeData()->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && (hasCueSuffix(path) || hasImageSuffix(path)))
            sheets << path;
    }
    addFileList(sheets);
    e->acceptProposedAction();
}
