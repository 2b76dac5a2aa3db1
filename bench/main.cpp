// Times whole extraction runs through the window on large generated images:
// WAV images against the machine's copy limit (cp of the image) and shnsplit,
// FLAC and WavPack images against their reference decoders, shnsplit and
// ffmpeg, Monkey's Audio and ALAC images against ffmpeg on one thread, FLAC tracks against
// flac -5, shnsplit and ffmpeg writing FLAC; and watches memory, the event loop and Stop while it
// does. Last, batches of many small sheets show whether the cost per sheet holds.
// ./bench/run builds and starts it; see README.md, "Performance".

#include "batch.h"
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

#include <algorithm>

namespace {

struct Options
{
    int rounds = 5;
    int stops = 20;
    QString dir = QDir::tempPath();
    QStringList only;
    QList<int> batchSizes {50, 5000};

    bool wants(const QString &name) const { return only.isEmpty() || only.contains(name); }
};

const QString batchName = QStringLiteral("batch");

const ImagePlan imagePlans[] = {
    {"cd10", Format::Wav, "cd10", false, 10, 44100, 16, 2, false},
    {"cd74", Format::Wav, "cd74", false, 74, 44100, 16, 3, true},
    {"hd40", Format::Wav, "hd40", false, 40, 96000, 24, 4, true},
    {"flac74", Format::Flac, "music74", true, 74, 44100, 16, 5, true},
    {"wv74", Format::WavPack, "music74", true, 74, 44100, 16, 5, true},
    {"ape74", Format::Ape, "music74", true, 74, 44100, 16, 5, true},
    {"alac74", Format::Alac, "music74", true, 74, 44100, 16, 5, true},
    // FLAC tracks, from the music as WAV, from it as FLAC, and from 24-bit music.
    {"flacout74", Format::Wav, "music74", true, 74, 44100, 16, 5, true, true},
    {"flacout-flac74", Format::Flac, "music74", true, 74, 44100, 16, 5, true, true},
    {"flacout-hd40", Format::Wav, "music40hd", true, 40, 96000, 24, 6, true, true},
};

// Log lines per measurement of a line's cost: several screens full, so that
// most of them are appended to a full panel that has to scroll.
const int linesPerProbe = 200;

// How much an encoded image of music-like audio may weigh against its WAV
// before it no longer stands for a ripped album.
const double compressionRange[] = {0.35, 0.8};

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
    int runImages();
    int runBatches(const QString &dir);
    QList<RivalTimes> rivals(const Image &image, bool speedTargets);
    void measure(ImageResult &r);
    void checkOutput(ImageResult &r);
    void checkRival(ImageResult &r, const Rival &rival);
    void timeRound(ImageResult &r, int round);
    void stopRuns(ImageResult &r);

    Options m_options;
    BenchWindow m_window;
    WindowContender m_contender;
    QRandomGenerator m_random {20240611};
    Targets m_targets;
    QList<Image> m_images;
    QList<bool> m_speedTargets;
    QString m_runOut;
    QString m_rivalOut;
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
    m_rivalOut = tmp.filePath(QStringLiteral("out-rival"));
    if (!makeImages(tmp.path()))
        return 2;

    m_window.show();
    int code = m_images.isEmpty() ? 0 : runImages();
    if (m_options.wants(batchName))
        code = qMax(code, runBatches(tmp.filePath(batchName)));
    return code;
}

int Bench::runImages()
{
    say(QStringLiteral("Peak memory: %1")
            .arg(m_contender.peakResettable()
                    ? QStringLiteral("VmHWM after resetting it through /proc/self/clear_refs")
                    : QStringLiteral("VmRSS sampled at every turn of the event loop")));

    // The first run of the program pays once for what stays made (the part of
    // the copy buffer it touches, icons, fonts); it is reported on its own and
    // every image below starts warm.
    clearFolder(m_runOut);
    clearFolder(m_rivalOut);
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
    for (int i = 0; i < m_images.size(); ++i) {
        ImageResult r;
        r.image = m_images[i];
        r.rivals = rivals(r.image, m_speedTargets[i]);
        measure(r);
        printImage(r);
        failed = failed || !r.problems.isEmpty();
        results << r;
    }
    const int missed = printTargets(results, firstGrowth, m_targets);
    say(QStringLiteral("%1 target(s) missed%2")
            .arg(missed)
            .arg(failed ? QStringLiteral("; some runs FAILED (see PROBLEM lines)") : QString()));
    return failed ? 1 : 0;
}

bool Bench::makeImages(const QString &dir)
{
    for (const ImagePlan &plan : imagePlans) {
        if (!m_options.wants(QLatin1String(plan.name)))
            continue;
        QElapsedTimer clock;
        clock.start();
        const Image image = makeImage(dir, plan, 20);
        if (image.name.isEmpty()) {
            say(QStringLiteral("Cannot write the %1 image into %2").arg(plan.name, dir));
            return false;
        }
        say(QStringLiteral("Generated %1 (%2) in %3 s")
                .arg(image.name, image.describe())
                .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
        m_images << image;
        m_speedTargets << plan.speedTargets;
    }
    return !m_images.isEmpty() || m_options.wants(batchName);
}

// Each size in its own run through the window, the small ones several times
// (a run of fifty sheets lasts well under a second); a small batch first
// pays for what stays made, untimed.
int Bench::runBatches(const QString &dir)
{
    QElapsedTimer clock;
    clock.start();
    const QStringList sheets = makeBatchSheets(dir, m_options.batchSizes.last());
    if (sheets.isEmpty()) {
        say(QStringLiteral("Cannot write the batch sheets into %1").arg(dir));
        return 2;
    }
    say(QStringLiteral("Generated %1 batch sheets in %2 s")
            .arg(sheets.size())
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    // Every run writes into a folder of its own, all deleted at the end.
    const QDir out(QDir(dir).filePath(QStringLiteral("out")));
    runBatch(m_window, sheets.mid(0, 10), out.filePath(QStringLiteral("first")));
    QList<QList<BatchResult>> bySize;
    bool failed = false;
    for (int size : std::as_const(m_options.batchSizes)) {
        bySize << QList<BatchResult>();
        const int runs = qBound(1, 1000 / size, m_options.rounds);
        for (int i = 0; i < runs; ++i) {
            const QString dest = out.filePath(QStringLiteral("%1-%2").arg(size).arg(i));
            bySize.last() << runBatch(m_window, sheets.mid(0, size), dest);
            failed = failed || !bySize.last().last().ok;
        }
    }
    QDir(out).removeRecursively();
    const int missed = printBatch(bySize);
    say(addFolderTree(
        m_window, QDir(dir).filePath(QStringLiteral("tree")), m_options.batchSizes.last()));
    say(QStringLiteral("%1 batch target(s) missed%2")
            .arg(missed)
            .arg(failed ? QStringLiteral("; some batches FAILED (see PROBLEM lines)") : QString()));
    return failed ? 1 : 0;
}

// A WAV image against the machine's copy limit and, at 16 bits, shnsplit; a
// FLAC or WavPack image against its reference decoder, ffmpeg and, for FLAC,
// shnsplit; a Monkey's Audio or ALAC image against ffmpeg on one thread.
// Programs that are not installed are left out.
QList<RivalTimes> Bench::rivals(const Image &image, bool speedTargets)
{
    QList<RivalTimes> result;
    auto add = [&](Rival rival, double limit, bool strict) {
        if (!installed(rival.program)) {
            say(QStringLiteral("%1 is not installed: not timed on %2")
                    .arg(rival.program, image.name));
            return;
        }
        rival.limit = speedTargets ? limit : 0;
        rival.strict = strict;
        result << RivalTimes {rival, {}, {}};
    };
    const bool wav = image.format == Format::Wav;
    // Monkey's Audio and ALAC have no reference decoder in Debian; ffmpeg on
    // one thread, as the program decodes, stands in for one.
    if (image.format == Format::Ape || image.format == Format::Alac) {
        add(ffmpegRival(image, m_rivalOut, 1), m_targets.perDecoder, false);
        // The program has the decoder check each Monkey's Audio frame's CRC,
        // so that a damaged frame ends the sheet instead of entering a track;
        // ffmpeg does not unless asked. Reported, with no target.
        if (image.format == Format::Ape)
            add(ffmpegRival(image, m_rivalOut, 1, true), 0, false);
        return result;
    }
    // Against the WAV image: at most flac -5 of it, faster than shnsplit, and
    // ffmpeg's ratio reported; the others have no targets.
    if (image.flacTracks) {
        const bool targets = wav && image.bits == 16;
        add(flacWholeRival(image, m_rivalOut), targets ? m_targets.perDecoder : 0, false);
        if (wav && image.bits == 16)
            add(shnsplitFlacRival(image, m_rivalOut), m_targets.perSplitter, true);
        add(ffmpegTracksRival(image, m_rivalOut), 0, false);
        return result;
    }
    if (wav)
        add(cpRival(image, m_rivalOut), image.bits == 16 ? m_targets.perCp16 : m_targets.perCp24,
            false);
    else
        add(decoderRival(image, m_rivalOut), m_targets.perDecoder, false);
    if (image.bits == 16 && image.format != Format::WavPack)
        add(shnsplitRival(image, m_rivalOut),
            wav ? m_targets.perShnsplitWav : m_targets.perSplitter, !wav);
    if (!wav)
        add(ffmpegRival(image, m_rivalOut), m_targets.perSplitter, true);
    return result;
}

void Bench::measure(ImageResult &r)
{
    checkOutput(r);
    for (int round = 0; round < m_options.rounds; ++round)
        timeRound(r, round);
    stopRuns(r);
}

// Once per image, untimed: the tracks against the audio as WAV, an encoded
// image's size against its WAV, and the tracks of every rival that writes
// them against ours.
void Bench::checkOutput(ImageResult &r)
{
    if (r.image.format != Format::Wav) {
        const double c = r.image.compression();
        const QString size = QStringLiteral("the image weighs %1 of its WAV").arg(c, 0, 'f', 2);
        if (c >= compressionRange[0] && c <= compressionRange[1])
            r.checks << size;
        else
            r.problems << size + QStringLiteral(", not music-like");
    }
    clearFolder(m_runOut);
    const WindowRunResult run = m_contender.run(r.image, m_runOut);
    r.everyGrowthMiB << run.peakGrowthKb / 1024.0;
    if (!run.ok) {
        r.problems << run.problem;
        return;
    }
    const QString problem = checkTracks(r.image, windowTracks(m_runOut));
    if (problem.isEmpty())
        r.checks << (r.image.flacTracks
                ? QStringLiteral("all %1 FLAC tracks decode to the audio as WAV byte for byte")
                : QStringLiteral("all %1 track files match the audio as WAV byte for byte"))
                        .arg(r.image.trackStarts.size());
    else
        r.problems << problem;
    for (const RivalTimes &t : std::as_const(r.rivals)) {
        if (t.rival.sameTracks)
            checkRival(r, t.rival);
    }
    clearFolder(m_runOut);
}

void Bench::checkRival(ImageResult &r, const Rival &rival)
{
    clearFolder(m_rivalOut);
    QString failure;
    if (timeCommand(rival.program, rival.args, &failure).seconds < 0) {
        r.problems << failure;
    } else {
        const QString diff = compareFiles(windowTracks(m_runOut), windowTracks(m_rivalOut));
        if (diff.isEmpty())
            r.checks << QStringLiteral("%1's %2 tracks are byte-identical to ours")
                            .arg(rival.name)
                            .arg(r.image.trackStarts.size());
        else
            r.problems << rival.name + QStringLiteral("'s tracks differ from ours: ") + diff;
    }
    clearFolder(m_rivalOut);
}

// The contenders take turns in a different order every round, so that none
// of them always follows the same one. Each one's files go as soon as it is
// done, so that nobody is timed while the kernel still holds another's
// unwritten gigabyte. A round counts only when every contender finished it,
// so that the per-round ratios compare like with like.
void Bench::timeRound(ImageResult &r, int round)
{
    const int count = 1 + r.rivals.size();
    WindowRunResult run;
    QList<CommandTime> times(r.rivals.size());
    for (int i = 0; i < count; ++i) {
        const int who = (round + i) % count;
        // Every contender starts from the same warm page cache.
        warmFile(r.image.imagePath);
        warmFile(r.image.cuePath);
        if (who == 0) {
            run = m_contender.run(r.image, m_runOut);
            clearFolder(m_runOut);
            r.everyGrowthMiB << run.peakGrowthKb / 1024.0;
            if (!run.ok)
                r.problems << run.problem;
            continue;
        }
        const Rival &rival = r.rivals[who - 1].rival;
        times[who - 1] = timeCommand(rival.program, rival.args, &m_problem);
        clearFolder(m_rivalOut);
        if (times[who - 1].seconds < 0)
            r.problems << m_problem;
    }
    bool complete = run.ok;
    for (const CommandTime &t : std::as_const(times))
        complete = complete && t.seconds >= 0;
    if (!complete)
        return;
    r.run << run.seconds;
    r.runCpu << run.cpuSeconds;
    r.growthMiB << run.peakGrowthKb / 1024.0;
    r.gapMs << run.longestGapMs;
    r.gapCpuMs << run.longestGapCpuMs;
    r.logMs << run.logMs;
    r.progressMs << run.progressMs;
    r.lineMs << m_contender.lineCostMs(linesPerProbe);
    r.longLineMs << m_contender.longLineCostMs(linesPerProbe);
    r.focusedLineMs << m_contender.longLineCostMs(linesPerProbe, true);
    r.turns << run.turns;
    for (int i = 0; i < times.size(); ++i) {
        r.rivals[i].seconds << times[i].seconds;
        r.rivals[i].cpu << times[i].cpuSeconds;
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
        if (result.longestGapMs > Stats::maximum(r.stopGapMs))
            r.worstStopGapCpuMs = result.longestGapCpuMs;
        r.stopGapMs << result.longestGapMs;
    }
}

Options parseOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times whole extraction runs against other programs on generated images."));
    parser.addHelpOption();
    const QCommandLineOption rounds(QStringLiteral("rounds"),
        QStringLiteral("Timed rounds per image (5)."), QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption stops(QStringLiteral("stops"),
        QStringLiteral("Stops at random moments per image (20)."), QStringLiteral("n"),
        QStringLiteral("20"));
    const QCommandLineOption dir(QStringLiteral("dir"),
        QStringLiteral("Where the temporary folder goes (%1).").arg(QDir::tempPath()),
        QStringLiteral("path"), QDir::tempPath());
    QStringList names;
    for (const ImagePlan &plan : imagePlans)
        names << QLatin1String(plan.name);
    names << batchName;
    const QCommandLineOption only(QStringLiteral("only"),
        QStringLiteral("Only these images: %1.").arg(names.join(QStringLiteral(", "))),
        QStringLiteral("names"));
    const QCommandLineOption sheets(QStringLiteral("sheets"),
        QStringLiteral("Sheets in each batch (50,5000)."), QStringLiteral("sizes"),
        QStringLiteral("50,5000"));
    parser.addOptions({rounds, stops, dir, only, sheets});
    parser.process(app);
    Options options;
    options.rounds = qMax(1, parser.value(rounds).toInt());
    options.stops = qMax(0, parser.value(stops).toInt());
    options.dir = parser.value(dir);
    if (parser.isSet(only))
        options.only = parser.value(only).split(QLatin1Char(','), Qt::SkipEmptyParts);
    options.batchSizes.clear();
    for (const QString &size : parser.value(sheets).split(QLatin1Char(','), Qt::SkipEmptyParts))
        options.batchSizes << qMax(1, size.toInt());
    std::sort(options.batchSizes.begin(), options.batchSizes.end());
    if (options.batchSizes.isEmpty())
        options.batchSizes << 50;
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
