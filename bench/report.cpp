#include "report.h"

#include "probes.h"

#include <QTextStream>

namespace {

QString num(double v, int decimals = 3, int width = 0)
{
    return QStringLiteral("%1").arg(v, width, 'f', decimals);
}

QList<double> ratios(const QList<double> &a, const QList<double> &b)
{
    QList<double> r;
    for (int i = 0; i < a.size() && i < b.size(); ++i)
        r << a[i] / b[i];
    return r;
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

} // namespace

void say(const QString &line)
{
    QTextStream out(stdout);
    out << line << Qt::endl;
}

namespace {

struct Column
{
    QString title;
    QList<double> values;
    int decimals;
};

void printTable(const QList<Column> &columns, int rows)
{
    QString head = QStringLiteral("  round ");
    for (const Column &c : columns)
        head += QStringLiteral("  %1").arg(c.title, qMax(7, int(c.title.size())));
    say(head);
    for (int i = 0; i <= rows; ++i) {
        QString line
            = i < rows ? QStringLiteral("  %1 ").arg(i + 1, 5) : QStringLiteral("  median");
        for (const Column &c : columns) {
            const int width = qMax(7, int(c.title.size()));
            if (i < rows && i >= c.values.size()) {
                line += QStringLiteral("  %1").arg(QString(), width);
                continue;
            }
            const double v = i < rows ? c.values[i] : Stats::median(c.values);
            line += QStringLiteral("  %1").arg(num(v, c.decimals, width));
        }
        say(line);
    }
}

struct Series
{
    QString name;
    QList<double> seconds;
};

// A series is unsteady when its slowest round took more than 1.3 times its
// median: other work on the machine then held a round up, and its figures
// are to be run again before anyone quotes them.
QString steadiness(const QList<Series> &series)
{
    bool steady = true;
    QStringList parts;
    for (const Series &s : series) {
        const double slowest = Stats::maximum(s.seconds) / Stats::median(s.seconds);
        steady = steady && slowest <= 1.3;
        parts << QStringLiteral("%1 %2").arg(s.name, num(slowest, 2));
    }
    return QStringLiteral("  %1 (slowest round / median: %2)")
        .arg(steady ? QStringLiteral("steady") : QStringLiteral("unsteady"),
            parts.join(QStringLiteral(", ")));
}

void printRounds(const ImageResult &r)
{
    if (r.run.isEmpty()) {
        say(QStringLiteral("  no round completed"));
        return;
    }
    QList<Column> columns {{QStringLiteral("run s"), r.run, 3}};
    for (const RivalTimes &t : r.rivals)
        columns << Column {t.rival.name + QStringLiteral(" s"), t.seconds, 3};
    for (const RivalTimes &t : r.rivals)
        columns << Column {QStringLiteral("run/") + t.rival.name, ratios(r.run, t.seconds), 2};
    columns << Column {QStringLiteral("of it log ms"), r.logMs, 1}
            << Column {QStringLiteral("of it bar ms"), r.progressMs, 2}
            << Column {QStringLiteral("per line ms"), r.lineMs, 3}
            << Column {QStringLiteral("long line ms"), r.longLineMs, 3}
            << Column {QStringLiteral("focused ms"), r.focusedLineMs, 3}
            << Column {QStringLiteral("run cpu s"), r.runCpu, 3};
    for (const RivalTimes &t : r.rivals)
        columns << Column {t.rival.name + QStringLiteral(" cpu s"), t.cpu, 3};
    QList<double> turns;
    for (int t : r.turns)
        turns << t;
    columns << Column {QStringLiteral("growth MiB"), r.growthMiB, 1}
            << Column {QStringLiteral("longest gap ms"), r.gapMs, 1}
            << Column {QStringLiteral("of it on cpu"), r.gapCpuMs, 1}
            << Column {QStringLiteral("turns"), turns, 0};
    printTable(columns, r.run.size());

    const double written = r.image.outputBytes() / 1e6;
    QString rates
        = QStringLiteral("  tracks written: %1 MB; medians of what each writes: run %2 MB/s")
              .arg(num(written, 1), num(written / Stats::median(r.run), 0));
    for (const RivalTimes &t : r.rivals)
        rates
            += QStringLiteral(", %1 %2 MB/s")
                   .arg(t.rival.name, num(t.rival.writesBytes / 1e6 / Stats::median(t.seconds), 0));
    say(rates);
    QList<Series> series {{QStringLiteral("run"), r.run}};
    for (const RivalTimes &t : r.rivals)
        series << Series {t.rival.name, t.seconds};
    say(steadiness(series));
}

} // namespace

void printImage(const ImageResult &r)
{
    say(QString());
    say(QStringLiteral("%1: %2").arg(r.image.name, r.image.describe()));
    printRounds(r);
    if (!r.stopLatencyMs.isEmpty()) {
        say(QStringLiteral("  stops: %1 (%6 after the last track); from the Stop slot to the end "
                           "of the run: median %2 ms, worst %3 ms; the request waited for a "
                           "turn: median %4 ms, worst %5 ms; longest event-loop gap %7 ms, "
                           "of it on cpu %8 ms")
                .arg(r.stopLatencyMs.size())
                .arg(num(Stats::median(r.stopLatencyMs), 1),
                    num(Stats::maximum(r.stopLatencyMs), 1), num(Stats::median(r.stopWaitMs), 1),
                    num(Stats::maximum(r.stopWaitMs), 1))
                .arg(r.stopsAfterWork)
                .arg(num(Stats::maximum(r.stopGapMs), 1), num(r.worstStopGapCpuMs, 1)));
    }
    say(QStringLiteral("  peak memory growth over the idle window, every run of this image "
                       "(check, rounds, stops): max %1 MiB over %2 runs")
            .arg(num(Stats::maximum(r.everyGrowthMiB), 1))
            .arg(r.everyGrowthMiB.size()));
    for (const QString &check : r.checks)
        say(QStringLiteral("  check: ") + check);
    for (const QString &problem : r.problems)
        say(QStringLiteral("  PROBLEM: ") + problem);
}

int printTargets(
    const QList<ImageResult> &results, double firstRunGrowthMiB, const Targets &targets)
{
    say(QString());
    say(QStringLiteral("Targets (ratios are medians of the per-round ratios; worst round in "
                       "brackets)"));
    int missed = 0;
    auto line = [&](const QString &what, const QString &figure, bool met) {
        say(QStringLiteral("  %1 %2  %3").arg(what, -44).arg(figure, -26).arg(verdict(met)));
        missed += met ? 0 : 1;
    };
    for (const ImageResult &r : results) {
        const QString name = r.image.name;
        const double peak = Stats::maximum(r.everyGrowthMiB);
        line(QStringLiteral("%1 peak memory growth <= %2 MiB").arg(name).arg(targets.growthMiB),
            QStringLiteral("%1 MiB (%2 runs)").arg(num(peak, 1)).arg(r.everyGrowthMiB.size()),
            peak <= targets.growthMiB);
        // A figure of no rounds is no figure: a run that never completed has
        // met nothing.
        for (const RivalTimes &t : r.rivals) {
            if (t.rival.limit <= 0)
                continue;
            const QList<double> per = ratios(r.run, t.seconds);
            const double median = Stats::median(per);
            line(QStringLiteral("%1 run / %2 %3 %4")
                     .arg(name, t.rival.name,
                         t.rival.strict ? QStringLiteral("<") : QStringLiteral("<="))
                     .arg(t.rival.limit),
                per.isEmpty()
                    ? QStringLiteral("no rounds")
                    : QStringLiteral("%1 (%2)").arg(num(median, 2), num(Stats::maximum(per), 2)),
                !per.isEmpty()
                    && (t.rival.strict ? median < t.rival.limit : median <= t.rival.limit));
        }
        for (const auto &[kind, lines] :
            {std::pair {QStringLiteral("short"), r.lineMs}, {QStringLiteral("long"), r.longLineMs},
                {QStringLiteral("focused long"), r.focusedLineMs}}) {
            const double perLine = Stats::median(lines);
            line(QStringLiteral("%1 %2 log line, median of averages <= %3 ms")
                     .arg(name, kind)
                     .arg(targets.lineMs),
                lines.isEmpty() ? QStringLiteral("no rounds")
                                : QStringLiteral("%1 ms").arg(num(perLine, 3)),
                !lines.isEmpty() && perLine <= targets.lineMs);
        }
        const double gap = Stats::maximum(r.gapMs + r.stopGapMs);
        line(QStringLiteral("%1 longest event-loop gap <= %2 ms").arg(name).arg(targets.gapMs),
            r.run.isEmpty() ? QStringLiteral("no rounds")
                            : QStringLiteral("%1 ms").arg(num(gap, 1)),
            !r.run.isEmpty() && gap <= targets.gapMs);
        if (r.stopLatencyMs.isEmpty()) {
            say(QStringLiteral("  %1 stop latency: not measured").arg(name));
            continue;
        }
        const double worst = Stats::maximum(r.stopLatencyMs);
        line(QStringLiteral("%1 stop latency, worst of %2 <= %3 ms")
                 .arg(name)
                 .arg(r.stopLatencyMs.size())
                 .arg(targets.stopMs),
            QStringLiteral("%1 ms (median %2)")
                .arg(num(worst, 1), num(Stats::median(r.stopLatencyMs), 1)),
            worst <= targets.stopMs);
    }
    line(QStringLiteral("first run of the program, growth <= %1 MiB").arg(targets.growthMiB),
        QStringLiteral("%1 MiB").arg(num(firstRunGrowthMiB, 1)),
        firstRunGrowthMiB <= targets.growthMiB);
    return missed;
}
