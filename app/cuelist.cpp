#include "wmain.h"

#include "sheetlist.h"
#include "windowhost.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QListWidgetItem>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace {

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

// Files that are no sheets are passed over in silence, as before; each
// folder says in the log what it gave.
void WMain::addFileList(QStringList lst)
{
    const QIcon neutral(QStringLiteral(":/block.png"));
    WindowHost host(*this);
    SheetCollector collector(host);
    for (int row = 0; row < cuelist->count(); ++row)
        collector.know(cuelist->item(row)->text());
    // A folder walk turns the event loop; nothing may start meanwhile.
    const bool walking = std::any_of(
        lst.cbegin(), lst.cend(), [](const QString &path) { return QFileInfo(path).isDir(); });
    if (walking)
        setRunControlsEnabled(false);
    cuelist->setSortingEnabled(false);
    for (const QString &path : std::as_const(lst)) {
        for (const QString &name : collector.add(path))
            new QListWidgetItem(neutral, name, cuelist);
    }
    cuelist->setSortingEnabled(true);
    cuelist->sortItems(Qt::AscendingOrder);
    if (walking)
        setRunControlsEnabled(true);
}

void WMain::removeSheet(const QString &fname)
{
    const int row = firstRowNotBefore(cuelist, fname);
    if (row < cuelist->count() && cuelist->item(row)->text() == fname)
        delete cuelist->item(row);
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

void WMain::on_actionAddFolder_triggered()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Add Folder"), QString(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty())
        addFileList({chosen});
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
    QStringList paths;
    for (const QUrl &url : e->mimeData()->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty())
            paths << path;
    }
    addFileList(paths);
    e->acceptProposedAction();
}
