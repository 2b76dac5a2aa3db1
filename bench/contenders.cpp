#include "contenders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double cpuSeconds(const rusage &u)
{
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ownCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

const QString completedLine = QStringLiteral("Extraction completed ----------------");

// Lets the window settle (repaints, layout) so that the idle size is idle.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

} // namespace

void BenchWindow::lognormal(const QString &s)
{
    m_clock.start();
    WMain::lognormal(s);
    logNs += m_clock.nsecsElapsed();
    ++logLines;
}

void BenchWindow::logerror(const QString &s)
{
    m_clock.start();
    WMain::logerror(s);
    logNs += m_clock.nsecsElapsed();
    ++logLines;
}

void BenchWindow::showProgress(const RunProgress *figures)
{
    m_clock.start();
    WMain::showProgress(figures);
    progressNs += m_clock.nsecsElapsed();
    ++progressUpdates;
}

WindowContender::WindowContender(BenchWindow &window)
    : m_window(window)
    , m_peakResettable(Memory::resetPeak())
{
}

void WindowContender::prepare(const Image &image, const QString &dest)
{
    m_window.btnClearLog->click();
    m_window.cuelist->clear();
    m_window.addFileList({image.cuePath});
    m_window.destPath->setText(dest);
    m_window.subArtist->setChecked(false);
    m_window.subAlbum->setChecked(false);
    m_window.cbOverwrite->setChecked(false);
    m_window.trackFormat->setEditText(QStringLiteral("%1 %2 - %3"));
    m_window.outputFormat->setCurrentIndex(image.flacTracks ? 1 : 0);
    settle();
}

QStringList WindowContender::logLines() const
{
    QStringList lines;
    for (int i = 0; i < m_window.loglist->count(); ++i)
        lines << m_window.loglist->item(i)->text();
    return lines;
}

WindowRunResult WindowContender::run(const Image &image, const QString &dest, int stopAfterMs)
{
    prepare(image, dest);
    WindowRunResult result;
    if (m_window.cuelist->count() != 1) {
        result.problem = QStringLiteral("the sheet did not enter the CUE list");
        return result;
    }

    LoopWatch watch(!m_peakResettable);
    QElapsedTimer clock;
    qint64 stopAt = -1;
    QTimer stopTimer;
    stopTimer.setSingleShot(true);
    // A coarse timer may fire a little early, before the moment it stands for.
    stopTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&stopTimer, &QTimer::timeout, [&] {
        stopAt = clock.nsecsElapsed();
        m_window.on_actionStop_triggered();
    });

    const qint64 idleKb = Memory::residentKb();
    if (m_peakResettable)
        Memory::resetPeak();
    m_window.logNs = 0;
    m_window.logLines = 0;
    m_window.progressNs = 0;
    watch.start();
    const double cpuBefore = ownCpuSeconds();
    clock.start();
    if (stopAfterMs >= 0)
        stopTimer.start(stopAfterMs);
    m_window.actionStartExtraction->trigger();
    const qint64 endNs = clock.nsecsElapsed();
    result.cpuSeconds = ownCpuSeconds() - cpuBefore;
    result.logMs = m_window.logNs / 1e6;
    result.logLines = m_window.logLines;
    result.progressMs = m_window.progressNs / 1e6;
    watch.stop();
    stopTimer.stop();

    result.seconds = endNs / 1e9;
    result.peakGrowthKb = (m_peakResettable ? Memory::peakKb() : watch.sampledPeakKb()) - idleKb;
    result.longestGapMs = watch.longestGapNs() / 1e6;
    result.longestGapCpuMs = watch.longestGapCpuNs() / 1e6;
    result.turns = watch.turns();
    result.stopped = stopAt >= 0;
    if (result.stopped) {
        result.stopLatencyMs = (endNs - stopAt) / 1e6;
        result.stopWaitMs = (stopAt - qint64(stopAfterMs) * 1000000) / 1e6;
    }

    const QStringList lines = logLines();
    m_lastLog = lines;
    if (result.stopped) {
        // A stop that comes after the last track was written (during the
        // closing lines) lets the run complete; either way the run has ended.
        const bool terminated
            = lines.contains(QStringLiteral("User termination")) && m_window.cuelist->count() == 1;
        result.stopLanded = terminated;
        result.ok = terminated || (!lines.isEmpty() && lines.last() == completedLine);
        if (!result.ok)
            result.problem = QStringLiteral("the stop did not end the run: ") + lines.join(" | ");
    } else {
        result.ok = !lines.isEmpty() && lines.last() == completedLine
            && m_window.cuelist->count() == 0 && watch.boxes().isEmpty();
        if (!result.ok)
            result.problem = QStringLiteral("the run did not complete: ")
                + (lines + watch.boxes()).join(" | ");
    }
    if (m_window.actionStop->isEnabled() || !m_window.actionStartExtraction->isEnabled()) {
        result.ok = false;
        result.problem += QStringLiteral(" (controls not restored)");
    }
    return result;
}

double WindowContender::lineCostMs(int lines)
{
    const QStringList texts
        = m_lastLog.isEmpty() ? QStringList {QStringLiteral("Extraction started")} : m_lastLog;
    m_window.btnClearLog->click();
    settle();
    m_window.logNs = 0;
    m_window.logLines = 0;
    for (int i = 0; i < lines; ++i)
        m_window.lognormal(texts[i % texts.size()] + QStringLiteral(" (%1)").arg(i));
    const double perLine = m_window.logNs / 1e6 / qMax(1, m_window.logLines);
    m_window.btnClearLog->click();
    return perLine;
}

double WindowContender::longLineCostMs(int lines, bool focus)
{
    const QString line = QStringLiteral(
        "/home/user/Music/rips/Some Band - Some Album.cue: Writing /home/user/Music/out/Some "
        "Band/Some Album/%1 Some Band - A Title.wav...");
    m_window.btnClearLog->click();
    QWidget *focused = m_window.focusWidget();
    if (focus)
        m_window.loglist->setFocus();
    settle();
    m_window.logNs = 0;
    m_window.logLines = 0;
    for (int i = 0; i < lines; ++i) {
        const QString text = line.arg(i, 2, 10, QLatin1Char('0'));
        if (i % 7 == 6)
            m_window.logerror(text);
        else
            m_window.lognormal(text);
    }
    const double perLine = m_window.logNs / 1e6 / qMax(1, m_window.logLines);
    m_window.btnClearLog->click();
    if (focused)
        focused->setFocus();
    return perLine;
}

void warmFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    const qint64 piece = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[piece]);
    while (file.read(buffer.get(), piece) > 0) { }
}

QStringList windowTracks(const QString &dest)
{
    QStringList files;
    const QDir dir(dest);
    for (const QString &name :
        dir.entryList({QStringLiteral("*.wav"), QStringLiteral("*.flac")}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

CommandTime timeCommand(const QString &program, const QStringList &args, QString *problem)
{
    CommandTime result;
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        *problem = program + QStringLiteral(" is not installed");
        return result;
    }
    // posix_spawn and wait4 rather than QProcess: the child's CPU time comes
    // with its exit status, and no pipe or event loop sits in the timing.
    QList<QByteArray> storage {QFile::encodeName(path)};
    for (const QString &arg : args)
        storage << QFile::encodeName(arg);
    std::vector<char *> argv;
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        *problem = QStringLiteral("cannot start %1").arg(path);
        return result;
    }
    int status = 0;
    rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            *problem = QStringLiteral("lost %1").arg(program);
            return result;
        }
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *problem = QStringLiteral("%1 %2 failed").arg(program, args.join(QLatin1Char(' ')));
        return result;
    }
    result.seconds = seconds;
    result.cpuSeconds = cpuSeconds(usage);
    return result;
}

bool installed(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

Rival cpRival(const Image &image, const QString &out)
{
    return {QStringLiteral("cp"), QStringLiteral("cp"), {image.imagePath, out + QLatin1Char('/')},
        image.imageBytes};
}

Rival shnsplitRival(const Image &image, const QString &out)
{
    // shnsplit names its files split-track01.wav, split-track02.wav... and
    // decodes a FLAC image through the flac program.
    Rival rival {QStringLiteral("shnsplit"), QStringLiteral("shnsplit"),
        {QStringLiteral("-f"), image.cuePath, QStringLiteral("-o"), QStringLiteral("wav"),
            QStringLiteral("-d"), out, image.imagePath},
        image.outputBytes()};
    rival.sameTracks = true;
    return rival;
}

Rival decoderRival(const Image &image, const QString &out)
{
    const QString wav = QDir(out).filePath(QStringLiteral("image.wav"));
    if (image.format == Format::Flac)
        return {QStringLiteral("flac -d"), QStringLiteral("flac"),
            {QStringLiteral("-d"), QStringLiteral("-f"), QStringLiteral("-o"), wav,
                image.imagePath},
            image.wavBytes()};
    return {QStringLiteral("wvunpack"), QStringLiteral("wvunpack"),
        {QStringLiteral("-y"), image.imagePath, QStringLiteral("-o"), wav}, image.wavBytes()};
}

Rival ffmpegRival(const Image &image, const QString &out, int threads, bool crcCheck)
{
    QStringList args {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")};
    QString name = QStringLiteral("ffmpeg");
    if (threads > 0) {
        args << QStringLiteral("-threads") << QString::number(threads);
        name += QStringLiteral(" -threads %1").arg(threads);
    }
    if (crcCheck) {
        args << QStringLiteral("-err_detect") << QStringLiteral("crccheck");
        name += QStringLiteral(" -err_detect crccheck");
    }
    args << QStringLiteral("-i") << image.imagePath << QStringLiteral("-f") << QStringLiteral("wav")
         << QDir(out).filePath(QStringLiteral("image.wav"));
    return {name, QStringLiteral("ffmpeg"), args, image.wavBytes()};
}

Rival flacWholeRival(const Image &image, const QString &out)
{
    const QString flac = QDir(out).filePath(QStringLiteral("image.flac"));
    if (image.format == Format::Wav)
        return {QStringLiteral("flac -5"), QStringLiteral("flac"),
            {QStringLiteral("-s"), QStringLiteral("-5"), QStringLiteral("-f"), QStringLiteral("-o"),
                flac, image.imagePath},
            image.wavBytes()};
    const QString wav = QDir(out).filePath(QStringLiteral("image.wav"));
    return {QStringLiteral("flac -d, flac -5"), QStringLiteral("sh"),
        {QStringLiteral("-c"),
            QStringLiteral("flac -s -d -f -o \"$2\" \"$1\" && flac -s -5 -f -o \"$3\" \"$2\""),
            QStringLiteral("sh"), image.imagePath, wav, flac},
        image.wavBytes()};
}

Rival shnsplitFlacRival(const Image &image, const QString &out)
{
    return {QStringLiteral("shnsplit -o flac"), QStringLiteral("shnsplit"),
        {QStringLiteral("-f"), image.cuePath, QStringLiteral("-o"), QStringLiteral("flac"),
            QStringLiteral("-d"), out, image.imagePath},
        image.wavBytes()};
}

// One ffmpeg that decodes the image once and encodes every track from it.
Rival ffmpegTracksRival(const Image &image, const QString &out)
{
    QStringList args {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
        QStringLiteral("-i"), image.imagePath};
    for (int t = 0; t < image.trackStarts.size(); ++t) {
        args << QStringLiteral("-ss") << QString::number(image.trackStarts[t] / 75.0, 'f', 6);
        if (t + 1 < image.trackStarts.size())
            args << QStringLiteral("-to")
                 << QString::number(image.trackStarts[t + 1] / 75.0, 'f', 6);
        args << QStringLiteral("-c:a") << QStringLiteral("flac")
             << QDir(out).filePath(QStringLiteral("%1.flac").arg(t + 1, 2, 10, QLatin1Char('0')));
    }
    return {
        QStringLiteral("ffmpeg, FLAC tracks"), QStringLiteral("ffmpeg"), args, image.wavBytes()};
}

void clearFolder(const QString &dest)
{
    QDir(dest).removeRecursively();
    QDir().mkpath(dest);
}

QString compareFiles(const QStringList &ours, const QStringList &theirs)
{
    if (ours.size() != theirs.size())
        return QStringLiteral("%1 files against %2").arg(ours.size()).arg(theirs.size());
    const qint64 piece = 1 << 20;
    std::unique_ptr<char[]> a(new char[piece]);
    std::unique_ptr<char[]> b(new char[piece]);
    for (int i = 0; i < ours.size(); ++i) {
        QFile x(ours[i]);
        QFile y(theirs[i]);
        if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read %1 or %2").arg(ours[i], theirs[i]);
        if (x.size() != y.size())
            return QStringLiteral("%1 and %2 differ in size").arg(ours[i], theirs[i]);
        for (qint64 left = x.size(); left > 0;) {
            const qint64 n = qMin(left, piece);
            if (x.read(a.get(), n) != n || y.read(b.get(), n) != n
                || std::memcmp(a.get(), b.get(), n) != 0)
                return QStringLiteral("%1 and %2 differ").arg(ours[i], theirs[i]);
            left -= n;
        }
    }
    return QString();
}
