#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// Resident memory of this process from /proc/self/status, in KiB.
namespace Memory {
qint64 residentKb();
qint64 peakKb();
// Lowers the peak to the current resident size (writes "5" to
// /proc/self/clear_refs); false where the kernel does not allow it.
bool resetPeak();
} // namespace Memory

// Watches the event loop during a run through a zero-interval timer, which
// fires once per turn: the longest stretch without a turn is how long the
// window could not repaint or take a click. Where the peak cannot be reset it
// also samples the resident size at every turn. A modal box that shows up
// (a run that failed) is answered at once so that the benchmark goes on, and
// its text is kept.
class LoopWatch : public QObject
{
public:
    explicit LoopWatch(bool sampleMemory);

    void start();
    void stop();

    qint64 longestGapNs() const { return m_longestGap; }
    // How much of the longest gap this thread spent on a CPU; the rest it
    // waited (for the disk, or for a CPU that other processes held).
    qint64 longestGapCpuNs() const { return m_longestGapCpu; }
    int turns() const { return m_turns; }
    qint64 sampledPeakKb() const { return m_sampledPeak; }
    QStringList boxes() const { return m_boxes; }

private:
    void turn();
    void noteGap();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestGap = 0;
    qint64 m_longestGapCpu = 0;
    int m_turns = 0;
    bool m_sampleMemory;
    qint64 m_sampledPeak = 0;
    QStringList m_boxes;
};

namespace Stats {
double median(QList<double> values);
double maximum(const QList<double> &values);
} // namespace Stats
