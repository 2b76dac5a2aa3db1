#include "batch.h"

#include "wavbuilder.h"

#include "report.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPair>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <sys/resource.h>

namespace {

const int imageCount = 8;
const int rate = 44100;
const qint64 imageFrames = 4 * rate;
const qint64 trackBytes = 44 + imageFrames / 2 * 4;
const double ratioLimit = 1.2;

// User and system time of this process so far.
QPair<double, double> ownCpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return {
        u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6, u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6};
}

QString imageName(int i)
{
    return QStringLiteral("image-%1.wav").arg(i);
}

bool writeImages(const QDir &dir)
{
    QRandomGenerator noise(20240611);
    QByteArray bytes(44 + imageFrames * 4, Qt::Uninitialized);
    for (int i = 0; i < imageCount; ++i) {
        bytes.replace(0, 44, WavBuilder::canonicalHeader(2, rate, 16, imageFrames * 4));
        noise.fillRange(reinterpret_cast<quint32 *>(bytes.data() + 44), imageFrames);
        QFile file(dir.filePath(imageName(i)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

bool writeSheet(const QString &path, int index)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "PERFORMER \"Bench Ensemble\"\n"
        << QStringLiteral("TITLE \"Batch %1\"\n").arg(index, 5, 10, QLatin1Char('0')) << "FILE \""
        << imageName(index % imageCount) << "\" WAVE\n"
        << "  TRACK 01 AUDIO\n    TITLE \"Piece 1\"\n    INDEX 01 00:00:00\n"
        << "  TRACK 02 AUDIO\n    TITLE \"Piece 2\"\n    INDEX 01 00:02:00\n";
    out.flush();
    return file.error() == QFileDevice::NoError;
}

// Lets the window settle (repaints, layout) so that the run starts from rest.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Every track file below dest has the size of half an image.
QString checkTracks(const QString &dest, int sheets)
{
    int found = 0;
    QDirIterator it(dest, {QStringLiteral("*.wav")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().size() != trackBytes)
            return it.filePath() + QStringLiteral(" has the wrong size");
        ++found;
    }
    if (found != 2 * sheets)
        return QStringLiteral("%1 track files, not %2").arg(found).arg(2 * sheets);
    return QString();
}

} // namespace

QStringList makeBatchSheets(const QString &dir, int count)
{
    const QDir folder(dir);
    if (!folder.mkpath(QStringLiteral(".")) || !writeImages(folder))
        return {};
    QStringList sheets;
    for (int i = 0; i < count; ++i) {
        sheets << folder.filePath(QStringLiteral("sheet-%1.cue").arg(i, 5, 10, QLatin1Char('0')));
        if (!writeSheet(sheets.last(), i))
            return {};
    }
    std::shuffle(sheets.begin(), sheets.end(), QRandomGenerator(7));
    return sheets;
}

QString addFolderTree(BenchWindow &window, const QString &dir, int sheets)
{
    // Artist and album folders as a ripper leaves them: the sheet among a
    // log, a cover and a text file, all small.
    const QDir root(dir);
    for (int i = 0; i < sheets; ++i) {
        const QString album = QStringLiteral("Artist %1/Album %2").arg(i / 10).arg(i);
        if (!root.mkpath(album))
            return QStringLiteral("Cannot write the folder tree into %1").arg(dir);
        for (const char *name : {"disc.cue", "disc.log", "cover.jpg", "notes.txt"})
            writeSheet(root.filePath(album + QLatin1Char('/') + QLatin1String(name)), i);
    }
    window.btnClearLog->click();
    window.cuelist->clear();
    settle();
    LoopWatch watch(false);
    watch.start();
    QElapsedTimer clock;
    clock.start();
    window.addFileList({dir});
    const double seconds = clock.nsecsElapsed() / 1e9;
    watch.stop();
    const QString added = window.cuelist->count() == sheets
        ? QStringLiteral("added")
        : QStringLiteral("PROBLEM: listed %1 of").arg(window.cuelist->count());
    window.cuelist->clear();
    QDir(dir).removeRecursively();
    return QStringLiteral(
        "folder tree: %1 %2 sheets among %3 files in %4 s; longest event-loop gap %5 ms")
        .arg(added)
        .arg(sheets)
        .arg(4 * sheets)
        .arg(seconds, 0, 'f', 3)
        .arg(watch.longestGapNs() / 1e6, 0, 'f', 1);
}

BatchResult runBatch(BenchWindow &window, const QStringList &sheets, const QString &dest)
{
    BatchResult r;
    r.sheets = sheets.size();
    QDir().mkpath(dest);
    window.btnClearLog->click();
    window.cuelist->clear();
    window.destPath->setText(dest);
    window.subArtist->setChecked(false);
    window.subAlbum->setChecked(true);
    window.cbOverwrite->setChecked(false);
    window.trackFormat->setEditText(QStringLiteral("%1 %2 - %3"));
    settle();

    LoopWatch watch(false);
    window.logNs = 0;
    window.progressNs = 0;
    watch.start();
    const QPair<double, double> cpuBefore = ownCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    window.addFileList(sheets);
    const qint64 addedNs = clock.nsecsElapsed();
    const int listed = window.cuelist->count();
    window.actionStartExtraction->trigger();
    const qint64 endNs = clock.nsecsElapsed();
    const QPair<double, double> cpuAfter = ownCpuSeconds();
    r.cpuSeconds = cpuAfter.first - cpuBefore.first + cpuAfter.second - cpuBefore.second;
    r.systemSeconds = cpuAfter.second - cpuBefore.second;
    watch.stop();
    r.addSeconds = addedNs / 1e9;
    r.runSeconds = (endNs - addedNs) / 1e9;
    r.logMs = window.logNs / 1e6;
    r.progressMs = window.progressNs / 1e6;
    r.longestGapMs = watch.longestGapNs() / 1e6;

    const QListWidget *log = window.loglist;
    const QString last = log->count() ? log->item(log->count() - 1)->text() : QString();
    if (listed != r.sheets)
        r.problem = QStringLiteral("%1 of %2 sheets entered the list").arg(listed).arg(r.sheets);
    else if (window.cuelist->count() != 0 || !watch.boxes().isEmpty()
        || last != QStringLiteral("Extraction completed ----------------"))
        r.problem = QStringLiteral("the run did not complete: ") + last + QLatin1Char(' ')
            + watch.boxes().join(QLatin1Char(' '));
    else
        r.problem = checkTracks(dest, r.sheets);
    r.ok = r.problem.isEmpty();
    return r;
}

int printBatch(const QList<QList<BatchResult>> &bySize)
{
    say(QStringLiteral("batch: small sheets (4 s, 16-bit stereo 44.1 kHz, 2 tracks each), "
                       "added and split in one run through the window; medians per sheet"));
    say(QStringLiteral(
        "   sheets  runs  per sheet ms  of it add ms  of it log ms  of it bar ms  cpu ms  "
        "of it sys ms  longest gap ms  batch s"));
    QList<double> perSheet;
    for (const QList<BatchResult> &runs : bySize) {
        QList<double> total, add, log, bar, cpu, system, gap, seconds;
        for (const BatchResult &r : runs) {
            if (!r.ok) {
                say(QStringLiteral("  %1 sheets: PROBLEM: %2").arg(r.sheets).arg(r.problem));
                continue;
            }
            total << r.perSheetMs();
            add << r.addSeconds * 1000 / r.sheets;
            log << r.logMs / r.sheets;
            bar << r.progressMs / r.sheets;
            cpu << r.cpuSeconds * 1000 / r.sheets;
            system << r.systemSeconds * 1000 / r.sheets;
            gap << r.longestGapMs;
            seconds << r.addSeconds + r.runSeconds;
        }
        perSheet << Stats::median(total);
        if (total.isEmpty())
            continue;
        say(QStringLiteral("  %1  %2  %3  %4  %5  %10  %6  %7  %8  %9")
                .arg(runs.first().sheets, 7)
                .arg(total.size(), 4)
                .arg(Stats::median(total), 12, 'f', 2)
                .arg(Stats::median(add), 12, 'f', 3)
                .arg(Stats::median(log), 12, 'f', 2)
                .arg(Stats::median(cpu), 6, 'f', 2)
                .arg(Stats::median(system), 12, 'f', 2)
                .arg(Stats::maximum(gap), 14, 'f', 1)
                .arg(Stats::median(seconds), 7, 'f', 1)
                .arg(Stats::median(bar), 12, 'f', 3));
    }
    if (bySize.size() < 2)
        return 0;
    const int smallest = bySize.first().first().sheets;
    const int largest = bySize.last().first().sheets;
    const double ratio = perSheet.first() > 0 ? perSheet.last() / perSheet.first() : 0;
    const bool met = ratio > 0 && ratio <= ratioLimit;
    say(QStringLiteral("Target batch: per sheet at %1 sheets / at %2 = %3 <= %4: %5")
            .arg(largest)
            .arg(smallest)
            .arg(ratio, 0, 'f', 2)
            .arg(ratioLimit)
            .arg(met ? QStringLiteral("met") : QStringLiteral("MISSED")));
    return met ? 0 : 1;
}
