// Times whole extraction runs through the window against the machine's copy
// limit (cp of the image) and shnsplit, on large generated images, and watches
// memory, the event loop and Stop while it does. ./bench/run builds and starts
// it; see README.md, "Performance".

#include "contenders.h"
#include "fixtures.h"
#include "probes.h"
#include "report.h"
#include "wmain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

namespace {

struct Options
{
    int rounds = 5;
    int stops = 20;
    QString dir = QDir::tempPath();
    QStringList only;
};

struct ImageSpec
{
    const char *name;
    int minutes;
    int rate;
    int bits;
    // The short image is there to show that memory does not grow with the
    // image; its few hundred milliseconds say little about speed.
    bool speedTargets;
};

const ImageSpec imageSpecs[] = {
    {"cd10", 10, 44100, 16, false},
    {"cd74", 74, 44100, 16, true},
    {"hd40", 40, 96000, 24, true},
};

bool hasSpeedTargets(const QString &name)
{
    for (const ImageSpec &plan : imageSpecs) {
        if (name == QLatin1String(plan.name))
            return plan.speedTargets;
    }
    return false;
}

class Bench
{
public:
    explicit Bench(const Options &options)
        : m_options(options)
        , m_contender(m_window)
    {
    }
    int run();

private:
    bool makeImages(const QString &dir);
    void measure(ImageResult &r);
    void checkOutput(ImageResult &r);
    void timeRound(ImageResult &r, int round);
    void stopRuns(ImageResult &r);

    Options m_options;
    BenchWindow m_window;
    WindowContender m_contender;
    QRandomGenerator m_random {20240611};
    QList<Image> m_images;
    QString m_runOut;
    QString m_cpOut;
    QString m_shnOut;
    QString m_problem;
};

int Bench::run()
{
    QTemporaryDir tmp(QDir(m_options.dir).filePath(QStringLiteral("splitmere-bench-XXXXXX")));
    if (!tmp.isValid()) {
        say(QStringLiteral("Cannot create a folder in %1").arg(m_options.dir));
        return 2;
    }
    m_runOut = tmp.filePath(QStringLiteral("out-run"));
    m_cpOut = tmp.filePath(QStringLiteral("out-cp"));
    m_shnOut = tmp.filePath(QStringLiteral("out-shnsplit"));
    if (!makeImages(tmp.path()))
        return 2;

    m_window.show();
    say(QStringLiteral("Peak memory: %1")
            .arg(m_contender.peakResettable()
                    ? QStringLiteral("VmHWM after resetting it through /proc/self/clear_refs")
                    : QStringLiteral("VmRSS sampled at every turn of the event loop")));
    if (!shnsplitInstalled())
        say(QStringLiteral("shnsplit is not installed: timing the window against cp only"));

    // The first run of the program pays once for what stays made (the part of
    // the copy buffer it touches, icons, fonts); it is reported on its own and
    // every image below starts warm.
    clearFolder(m_runOut);
    clearFolder(m_cpOut);
    clearFolder(m_shnOut);
    const WindowRunResult first = m_contender.run(m_images.first(), m_runOut);
    clearFolder(m_runOut);
    const double firstGrowth = first.peakGrowthKb / 1024.0;
    say(QStringLiteral("First run of the program (%1): %2 s, peak memory growth %3 MiB%4")
            .arg(m_images.first().name)
            .arg(first.seconds, 0, 'f', 3)
            .arg(firstGrowth, 0, 'f', 1)
            .arg(first.ok ? QString() : QStringLiteral(", PROBLEM: ") + first.problem));

    QList<ImageResult> results;
    bool failed = !first.ok;
    for (const Image &image : std::as_const(m_images)) {
        ImageResult r;
        r.image = image;
        r.speedTargets = hasSpeedTargets(image.name);
        measure(r);
        printImage(r);
        failed = failed || !r.problems.isEmpty();
        results << r;
    }
    const int missed = printTargets(results, firstGrowth, Targets());
    say(QStringLiteral("%1 target(s) missed%2")
            .arg(missed)
            .arg(failed ? QStringLiteral("; some runs FAILED (see PROBLEM lines)") : QString()));
    return failed ? 1 : 0;
}

bool Bench::makeImages(const QString &dir)
{
    quint64 seed = 1;
    for (const ImageSpec &plan : imageSpecs) {
        ++seed;
        if (!m_options.only.isEmpty() && !m_options.only.contains(QLatin1String(plan.name)))
            continue;
        QElapsedTimer clock;
        clock.start();
        const Image image = makeImage(
            dir, QLatin1String(plan.name), plan.minutes, plan.rate, plan.bits, 20, seed);
        if (image.name.isEmpty()) {
            say(QStringLiteral("Cannot write the %1 image into %2").arg(plan.name, dir));
            return false;
        }
        say(QStringLiteral("Generated %1 (%2) in %3 s")
                .arg(image.name, image.describe())
                .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
        m_images << image;
    }
    return !m_images.isEmpty();
}

void Bench::measure(ImageResult &r)
{
    checkOutput(r);
    for (int round = 0; round < m_options.rounds; ++round)
        timeRound(r, round);
    stopRuns(r);
}

// Once per image, untimed: the tracks against the image itself and, for a
// 16-bit image, against shnsplit's.
void Bench::checkOutput(ImageResult &r)
{
    clearFolder(m_runOut);
    const WindowRunResult run = m_contender.run(r.image, m_runOut);
    r.everyGrowthMiB << run.peakGrowthKb / 1024.0;
    if (!run.ok) {
        r.problems << run.problem;
        return;
    }
    const QString problem = checkTracks(r.image, windowTracks(m_runOut));
    if (problem.isEmpty())
        r.checks << QStringLiteral("all %1 track files match the image byte for byte")
                        .arg(r.image.trackStarts.size());
    else
        r.problems << problem;
    if (r.image.bits == 16 && shnsplitInstalled()) {
        clearFolder(m_shnOut);
        QString failure;
        if (timeCommand(QStringLiteral("shnsplit"), shnsplitArgs(r.image, m_shnOut), &failure)
                .seconds
            < 0) {
            r.problems << failure;
        } else {
            const QString diff = compareFiles(windowTracks(m_runOut), shnsplitTracks(m_shnOut));
            if (diff.isEmpty())
                r.checks << QStringLiteral("shnsplit's %1 tracks are byte-identical to ours")
                                .arg(r.image.trackStarts.size());
            else
                r.problems << QStringLiteral("shnsplit's tracks differ from ours: ") + diff;
        }
        clearFolder(m_shnOut);
    }
    clearFolder(m_runOut);
}

// The contenders take turns in a different order every round, so that none
// of them always follows the same one. Each one's files go as soon as it is
// done, so that nobody is timed while the kernel still holds another's
// unwritten gigabyte. A round counts only when every contender finished it,
// so that the per-round ratios compare like with like.
void Bench::timeRound(ImageResult &r, int round)
{
    const bool withShn = r.image.bits == 16 && shnsplitInstalled();
    const int count = withShn ? 3 : 2;
    WindowRunResult run;
    CommandTime cp;
    CommandTime shn;
    for (int i = 0; i < count; ++i) {
        switch ((round + i) % count) {
        case 0:
            run = m_contender.run(r.image, m_runOut);
            clearFolder(m_runOut);
            r.everyGrowthMiB << run.peakGrowthKb / 1024.0;
            if (!run.ok)
                r.problems << run.problem;
            break;
        case 1:
            cp = timeCommand(QStringLiteral("cp"), {r.image.wavPath, m_cpOut + '/'}, &m_problem);
            clearFolder(m_cpOut);
            break;
        default:
            shn = timeCommand(
                QStringLiteral("shnsplit"), shnsplitArgs(r.image, m_shnOut), &m_problem);
            clearFolder(m_shnOut);
            break;
        }
    }
    if (cp.seconds < 0 || (withShn && shn.seconds < 0))
        r.problems << m_problem;
    if (!run.ok || cp.seconds < 0 || (withShn && shn.seconds < 0))
        return;
    r.run << run.seconds;
    r.runCpu << run.cpuSeconds;
    r.growthMiB << run.peakGrowthKb / 1024.0;
    r.gapMs << run.longestGapMs;
    r.gapCpuMs << run.longestGapCpuMs;
    r.logMs << run.logMs;
    r.turns << run.turns;
    r.cp << cp.seconds;
    r.cpCpu << cp.cpuSeconds;
    if (withShn) {
        r.shnsplit << shn.seconds;
        r.shnsplitCpu << shn.cpuSeconds;
    }
}

// Stops at random moments of a run; a moment the run outlives is drawn again.
void Bench::stopRuns(ImageResult &r)
{
    if (r.run.isEmpty())
        return;
    const int span = qMax(1, int(Stats::median(r.run) * 1000));
    int attempts = 0;
    while (r.stopLatencyMs.size() < m_options.stops && attempts++ < 3 * m_options.stops) {
        const int at = int(m_random.bounded(span));
        const WindowRunResult result = m_contender.run(r.image, m_runOut, at);
        clearFolder(m_runOut);
        r.everyGrowthMiB << result.peakGrowthKb / 1024.0;
        if (!result.stopped)
            continue;
        if (!result.ok) {
            r.problems << result.problem;
            continue;
        }
        if (!result.stopLanded)
            ++r.stopsAfterWork;
        r.stopLatencyMs << result.stopLatencyMs;
        r.stopWaitMs << result.stopWaitMs;
        r.stopGapMs << result.longestGapMs;
    }
}

Options parseOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times whole extraction runs against cp and shnsplit on generated images."));
    parser.addHelpOption();
    const QCommandLineOption rounds(QStringLiteral("rounds"),
        QStringLiteral("Timed rounds per image (5)."), QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption stops(QStringLiteral("stops"),
        QStringLiteral("Stops at random moments per image (20)."), QStringLiteral("n"),
        QStringLiteral("20"));
    const QCommandLineOption dir(QStringLiteral("dir"),
        QStringLiteral("Where the temporary folder goes (%1).").arg(QDir::tempPath()),
        QStringLiteral("path"), QDir::tempPath());
    const QCommandLineOption only(QStringLiteral("only"),
        QStringLiteral("Only these images: cd10, cd74, hd40."), QStringLiteral("names"));
    parser.addOptions({rounds, stops, dir, only});
    parser.process(app);
    Options options;
    options.rounds = qMax(1, parser.value(rounds).toInt());
    options.stops = qMax(0, parser.value(stops).toInt());
    options.dir = parser.value(dir);
    if (parser.isSet(only))
        options.only = parser.value(only).split(QLatin1Char(','), Qt::SkipEmptyParts);
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window reads and saves its preferences; keep the user's out of it.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("SplitmereBench"));
    QCoreApplication::setApplicationName(QStringLiteral("splitmere_bench"));
    QApplication app(argc, argv);
    const Options options = parseOptions(app);

    int code = 0;
    QString settingsFile;
    // Runs from inside the event loop, as a click on Extract would.
    QTimer::singleShot(0, [&] {
        {
            Bench bench(options);
            code = bench.run();
        }
        settingsFile = QSettings().fileName();
        QCoreApplication::exit(code);
    });
    app.exec();
    QFile::remove(settingsFile);
    return code;
}
