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

} // namespace

void printImage(const ImageResult &r)
{
    const bool shn = !r.shnsplit.isEmpty();
    say(QString());
    say(QStringLiteral("%1: %2").arg(r.image.name, r.image.describe()));
    QList<Column> columns {{QStringLiteral("run s"), r.run, 3}, {QStringLiteral("cp s"), r.cp, 3}};
    if (shn)
        columns << Column {QStringLiteral("shnsplit s"), r.shnsplit, 3};
    columns << Column {QStringLiteral("run/cp"), ratios(r.run, r.cp), 2};
    if (shn)
        columns << Column {QStringLiteral("run/shnsplit"), ratios(r.run, r.shnsplit), 2};
    columns << Column {QStringLiteral("of it log ms"), r.logMs, 1}
            << Column {QStringLiteral("run cpu s"), r.runCpu, 3}
            << Column {QStringLiteral("cp cpu s"), r.cpCpu, 3};
    if (shn)
        columns << Column {QStringLiteral("shnsplit cpu s"), r.shnsplitCpu, 3};
    QList<double> turns;
    for (int t : r.turns)
        turns << t;
    columns << Column {QStringLiteral("growth MiB"), r.growthMiB, 1}
            << Column {QStringLiteral("longest gap ms"), r.gapMs, 1}
            << Column {QStringLiteral("of it on cpu"), r.gapCpuMs, 1}
            << Column {QStringLiteral("turns"), turns, 0};
    printTable(columns, r.run.size());

    const double written = r.image.outputBytes() / 1e6;
    QString rates = QStringLiteral("  tracks written: %1 MB; medians: run %2 MB/s, cp %3 MB/s")
                        .arg(num(written, 1), num(written / Stats::median(r.run), 0),
                            num(r.image.wavBytes() / 1e6 / Stats::median(r.cp), 0));
    if (shn)
        rates += QStringLiteral(", shnsplit %1 MB/s")
                     .arg(num(written / Stats::median(r.shnsplit), 0));
    say(rates);
    if (!r.stopLatencyMs.isEmpty()) {
        say(QStringLiteral("  stops: %1 (%6 after the last track); from the Stop slot to the end "
                           "of the run: median %2 ms, worst %3 ms; the request waited for a "
                           "turn: median %4 ms, worst %5 ms; longest event-loop gap %7 ms")
                .arg(r.stopLatencyMs.size())
                .arg(num(Stats::median(r.stopLatencyMs), 1),
                    num(Stats::maximum(r.stopLatencyMs), 1), num(Stats::median(r.stopWaitMs), 1),
                    num(Stats::maximum(r.stopWaitMs), 1))
                .arg(r.stopsAfterWork)
                .arg(num(Stats::maximum(r.stopGapMs), 1)));
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
    QList<double> gaps;
    QList<double> stops;
    for (const ImageResult &r : results) {
        gaps += r.gapMs;
        gaps += r.stopGapMs;
        stops += r.stopLatencyMs;
        const double peak = Stats::maximum(r.everyGrowthMiB);
        line(QStringLiteral("%1 peak memory growth <= %2 MiB")
                 .arg(r.image.name)
                 .arg(targets.growthMiB),
            QStringLiteral("%1 MiB (%2 runs)").arg(num(peak, 1)).arg(r.everyGrowthMiB.size()),
            peak <= targets.growthMiB);
        if (!r.speedTargets)
            continue;
        const QList<double> perCp = ratios(r.run, r.cp);
        const double limit = r.image.bits == 16 ? targets.runPerCp16 : targets.runPerCp24;
        line(QStringLiteral("%1 run / cp <= %2").arg(r.image.name).arg(limit),
            QStringLiteral("%1 (%2)").arg(
                num(Stats::median(perCp), 2), num(Stats::maximum(perCp), 2)),
            Stats::median(perCp) <= limit);
        if (!r.shnsplit.isEmpty()) {
            const QList<double> perShn = ratios(r.run, r.shnsplit);
            line(QStringLiteral("%1 run / shnsplit < 1").arg(r.image.name),
                QStringLiteral("%1 (%2)").arg(
                    num(Stats::median(perShn), 2), num(Stats::maximum(perShn), 2)),
                Stats::median(perShn) < 1);
        }
    }
    line(QStringLiteral("first run of the program, growth <= %1 MiB").arg(targets.growthMiB),
        QStringLiteral("%1 MiB").arg(num(firstRunGrowthMiB, 1)),
        firstRunGrowthMiB <= targets.growthMiB);
    line(QStringLiteral("longest event-loop gap <= %1 ms").arg(targets.gapMs),
        QStringLiteral("%1 ms").arg(num(Stats::maximum(gaps), 1)),
        Stats::maximum(gaps) <= targets.gapMs);
    if (stops.isEmpty()) {
        say(QStringLiteral("  stop latency: not measured (--stops 0)"));
        return missed;
    }
    line(QStringLiteral("stop latency, worst of %1 <= %2 ms").arg(stops.size()).arg(targets.stopMs),
        QStringLiteral("%1 ms (median %2)")
            .arg(num(Stats::maximum(stops), 1), num(Stats::median(stops), 1)),
        Stats::maximum(stops) <= targets.stopMs);
    return missed;
}
