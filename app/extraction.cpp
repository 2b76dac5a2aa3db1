#include "wmain.h"

#include "extractionrun.h"
#include "sheetencodings.h"
#include "windowhost.h"

#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QListWidgetItem>
#include <QMessageBox>

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
    showProgress(nullptr);
    // The window was closed during the run, which stopped it; now it may go.
    if (m_closeAfterRun)
        close();
}

// The control with the keyboard focus lets go of it while the controls are
// frozen and has it back afterwards, unless the user put it elsewhere. A
// frozen control would hand it on to the next one that takes it, the log
// panel, which would keep it and put a focus frame round every new line.
void WMain::setRunControlsEnabled(bool enabled)
{
    if (!enabled && focusWidget()) {
        m_focusBeforeFreeze = focusWidget();
        m_focusBeforeFreeze->clearFocus();
    }
    const QList<QWidget *> widgets = {destPath, subArtist, subAlbum, cbOverwrite, outputFormat,
        trackFormat, gapMode, btnExtract, cuelist, btnBrowse};
    for (QWidget *w : widgets)
        w->setEnabled(enabled);
    for (QAction *a : {actionAdd, actionAddFolder, actionRemove, actionStartExtraction, actionQuit})
        a->setEnabled(enabled);
    if (enabled && m_focusBeforeFreeze && !focusWidget())
        m_focusBeforeFreeze->setFocus();
}

void WMain::doExtract()
{
    cuelist->sortItems(Qt::AscendingOrder);
    cuelist->clearSelection();
    const QIcon neutral(QStringLiteral(":/block.png"));
    QStringList sheets;
    for (int row = 0; row < cuelist->count(); ++row) {
        cuelist->item(row)->setIcon(neutral);
        cuelist->item(row)->setSelected(false);
        sheets << cuelist->item(row)->text();
    }
    WindowHost host(*this);
    const ExtractionRun::Outcome outcome = ExtractionRun(host, currentSettings()).run(sheets);
    if (m_closeAfterRun)
        return; // the window goes; a box would hold it up
    switch (outcome) {
    case ExtractionRun::Outcome::CheckFailed:
        // The failed sheets are selected: Remove takes exactly them out.
        for (int row = 0; row < cuelist->count(); ++row) {
            if (cuelist->item(row)->isSelected()) {
                cuelist->scrollToItem(cuelist->item(row));
                break;
            }
        }
        QMessageBox::information(this, tr("Information"),
            tr("CUE files contained errors or incompatible lines.\n"
               "Review CUE entries marked with the error icon.\n\n"
               "(We currently do not support all kind of CUE\n"
               "files, but only a subset of CUE/WAV format)"));
        break;
    case ExtractionRun::Outcome::SplitFailed:
        QMessageBox::information(this, tr("Information"),
            tr("An error occured during extraction.\n"
               "Review CUE entry marked with the error icon.\n\n"
               "(We currently do not support all kind of CUE\n"
               "files, but only a subset of CUE/WAV format)"));
        break;
    case ExtractionRun::Outcome::Done:
    case ExtractionRun::Outcome::Stopped:
        break;
    }
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

// Closing the window during a run stops it first: the part file goes, and
// the window closes (saving the preferences) once the run has ended.
void WMain::closeEvent(QCloseEvent *e)
{
    if (!actionStop->isEnabled()) {
        e->accept();
        return;
    }
    m_closeAfterRun = true;
    actionStop->trigger();
    e->ignore();
}
