#include "wmain.h"

#include "extractionsettings.h"
#include "naming.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QSplitter>

namespace {

// The stored words of the gap modes, in the order of the Gaps choice.
const QStringList gapWords {
    QStringLiteral("leave"), QStringLiteral("append"), QStringLiteral("prepend")};

} // namespace

// The widgets are the preferences while the program runs; the store is read
// once here and written once when the window goes away.
void WMain::loadPreferences()
{
    QSettings settings;
    destPath->setText(settings.value(QStringLiteral("destPath"), QString()).toString());
    subArtist->setChecked(settings.value(QStringLiteral("subfolderArtists"), true).toBool());
    subAlbum->setChecked(settings.value(QStringLiteral("subfolderAlbums"), true).toBool());
    cbOverwrite->setChecked(settings.value(QStringLiteral("overwriteExisting"), false).toBool());
    trackFormat->setEditText(
        settings.value(QStringLiteral("trackFormat"), QString(defaultTrackFormat)).toString());
    // A missing or unknown word leaves gaps out, as every earlier version did.
    gapMode->setCurrentIndex(
        qMax(0, gapWords.indexOf(settings.value(QStringLiteral("gaps")).toString())));
    // A missing or unknown value is today's output.
    const bool flac
        = settings.value(QStringLiteral("outputFormat")).toString() == QLatin1String("flac");
    outputFormat->setCurrentIndex(flac ? 1 : 0);
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    splitter->restoreState(settings.value(QStringLiteral("splitter")).toByteArray());
}

void WMain::savePreferences()
{
    QSettings settings;
    settings.setValue(QStringLiteral("destPath"), destPath->text());
    settings.setValue(QStringLiteral("subfolderArtists"), subArtist->isChecked());
    settings.setValue(QStringLiteral("subfolderAlbums"), subAlbum->isChecked());
    settings.setValue(QStringLiteral("overwriteExisting"), cbOverwrite->isChecked());
    settings.setValue(QStringLiteral("trackFormat"), trackFormat->currentText());
    settings.setValue(QStringLiteral("gaps"), gapWords.value(gapMode->currentIndex()));
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("splitter"), splitter->saveState());
    settings.setValue(QStringLiteral("outputFormat"),
        chosenOutput() == OutputFormat::Flac ? QStringLiteral("flac") : QStringLiteral("wav"));
}

OutputFormat WMain::chosenOutput() const
{
    return outputFormat->currentIndex() == 1 ? OutputFormat::Flac : OutputFormat::Wav;
}

void WMain::on_trackFormat_textChanged(const QString &)
{
    const QString preview = expandTrackFormat(trackFormat->currentText(), QStringLiteral("01"),
        tr("Artist"), tr("Track Name"), tr("Album"), QStringLiteral("1"));
    const bool flac = chosenOutput() == OutputFormat::Flac;
    trackFormatLabel->setText(preview + (flac ? flacFileSuffix : trackFileSuffix));
}

void WMain::on_btnBrowse_clicked()
{
    const QString chosen
        = QFileDialog::getExistingDirectory(this, tr("Select a destination path for extraction"),
            destPath->text(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return;
    destPath->setText(QDir::toNativeSeparators(QDir(chosen).absolutePath()));
}

void WMain::on_destPath_editingFinished()
{
    const QString typed = destPath->text().trimmed();
    if (typed.isEmpty())
        destPath->clear();
    const QDir dir(typed);
    if (dir.exists())
        destPath->setText(QDir::toNativeSeparators(QDir::cleanPath(dir.absolutePath())));
}
