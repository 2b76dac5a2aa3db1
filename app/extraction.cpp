#include "wmain.h"

#include "sheetencodings.h"
#include "unpackcue.h"
#include "windowhost.h"

#include <QDir>
#include <QIcon>
#include <QListWidgetItem>
#include <QMessageBox>

namespace {

// A fixed decoration of the run's summary lines, never translated.
const QString hyphenTail = QStringLiteral(" ----------------");

} // namespace

void WMain::on_actionStartExtraction_triggered()
{
    const QString dest = destPath->text();
    if (dest.trimmed().isEmpty() || !QDir(dest).exists()) {
        QMessageBox::information(this, tr("Information"),
            tr("Destination path is not valid (does not exist).\n"
               "Please select the existing directory."));
        return;
    }
    if (cuelist->count() == 0) {
        QMessageBox::information(
            this, tr("Information"), tr("CUE list is empty - nothing to extract."));
        return;
    }
    setRunControlsEnabled(false);
    btnStop->setEnabled(true);
    actionStop->setEnabled(true);
    stopRequested = false;
    doExtract();
    actionStop->setEnabled(false);
    btnStop->setEnabled(false);
    setRunControlsEnabled(true);
    stopRequested = false;
}

void WMain::setRunControlsEnabled(bool enabled)
{
    const QList<QWidget *> widgets = {destPath, subArtist, subAlbum, cbOverwrite, outputFormat,
        trackFormat, gapMode, btnExtract, cuelist, btnBrowse};
    for (QWidget *w : widgets)
        w->setEnabled(enabled);
    for (QAction *a : {actionAdd, actionRemove, actionStartExtraction, actionQuit})
        a->setEnabled(enabled);
}

void WMain::doExtract()
{
    cuelist->sortItems(Qt::AscendingOrder);
    cuelist->clearSelection();
    lognormal(tr("Extraction started") + hyphenTail);
    lognormal(tr("Checking CUE files..."));
    const QIcon neutral(QStringLiteral(":/block.png"));
    for (int row = 0; row < cuelist->count(); ++row) {
        cuelist->item(row)->setIcon(neutral);
        cuelist->item(row)->setSelected(false);
    }

    // Every sheet is checked, even after a failure, so that every bad one is marked.
    bool failed = false;
    for (int row = 0; row < cuelist->count(); ++row) {
        if (unpackCue(cuelist->item(row)->text(), true) <= 0)
            failed = true;
    }
    if (failed) {
        logerror(tr("Extraction failed") + hyphenTail);
        QMessageBox::information(this, tr("Information"),
            tr("CUE files contained errors or incompatible lines.\n"
               "Review CUE entries marked with the error icon.\n\n"
               "(We currently do not support all kind of CUE\n"
               "files, but only a subset of CUE/WAV format)"));
        return;
    }
    if (runExtractionPass())
        lognormal(tr("Extraction completed") + hyphenTail);
}

// Splits the sheets in list order; a split sheet leaves the list, the first
// failure or a stop ends the pass.
bool WMain::runExtractionPass()
{
    lognormal(tr("Extracting files..."));
    m_writtenThisRun.clear();
    QList<QListWidgetItem *> snapshot;
    for (int row = 0; row < cuelist->count(); ++row)
        snapshot << cuelist->item(row);

    for (QListWidgetItem *item : std::as_const(snapshot)) {
        if (unpackCue(item->text(), false) > 0) {
            delete item;
            continue;
        }
        if (!stopRequested) {
            logerror(tr("Extraction failed") + hyphenTail);
            QMessageBox::information(this, tr("Information"),
                tr("An error occured during extraction.\n"
                   "Review CUE entry marked with the error icon.\n\n"
                   "(We currently do not support all kind of CUE\n"
                   "files, but only a subset of CUE/WAV format)"));
        }
        return false;
    }
    return true;
}

int WMain::unpackCue(const QString &fname, bool checkOnly)
{
    WindowHost host(*this);
    return ::unpackCue(
        host, currentSettings(), fname, checkOnly, checkOnly ? nullptr : &m_writtenThisRun);
}

ExtractionSettings WMain::currentSettings() const
{
    ExtractionSettings settings;
    settings.destPath = destPath->text();
    settings.subArtist = subArtist->isChecked();
    settings.subAlbum = subAlbum->isChecked();
    settings.overwrite = cbOverwrite->isChecked();
    settings.trackFormat = trackFormat->currentText();
    // The Gaps choice lists the modes in their enum's order.
    settings.gaps = GapMode(gapMode->currentIndex());
    settings.sheetEncodings = m_sheetEncodings->chosen();
    settings.outputFormat = chosenOutput();
    return settings;
}

void WMain::on_actionStop_triggered()
{
    stopRequested = true;
    appendLogLine(QStringLiteral(":/stopme.png"), QStringLiteral("Stop!"));
}

void WMain::on_btnStop_clicked()
{
    actionStop->trigger();
}

void WMain::on_btnExtract_clicked()
{
    actionStartExtraction->trigger();
}
