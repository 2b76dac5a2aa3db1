#include "probes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include <algorithm>
#include <ctime>

namespace {

qint64 threadCpuNs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

namespace Memory {

namespace {

qint64 statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

qint64 residentKb()
{
    return statusField("VmRSS");
}

qint64 peakKb()
{
    return statusField("VmHWM");
}

bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (!refs.open(QIODevice::WriteOnly) || refs.write("5") != 1)
        return false;
    refs.close();
    return peakKb() <= residentKb() + 64;
}

} // namespace Memory

LoopWatch::LoopWatch(bool sampleMemory)
    : m_sampleMemory(sampleMemory)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &LoopWatch::turn);
}

void LoopWatch::start()
{
    m_longestGap = 0;
    m_longestGapCpu = 0;
    m_turns = 0;
    m_sampledPeak = m_sampleMemory ? Memory::residentKb() : 0;
    m_boxes.clear();
    m_clock.start();
    m_last = 0;
    m_lastCpu = threadCpuNs();
    m_timer.start();
}

void LoopWatch::stop()
{
    m_timer.stop();
    noteGap();
}

void LoopWatch::noteGap()
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 cpu = threadCpuNs();
    if (now - m_last > m_longestGap) {
        m_longestGap = now - m_last;
        m_longestGapCpu = cpu - m_lastCpu;
    }
    m_last = now;
    m_lastCpu = cpu;
}

void LoopWatch::turn()
{
    noteGap();
    ++m_turns;
    if (m_sampleMemory)
        m_sampledPeak = std::max(m_sampledPeak, Memory::residentKb());
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        m_boxes << box->text();
        if (QAbstractButton *ok = box->button(QMessageBox::Ok)) {
            ok->click();
            return;
        }
    }
    modal->close();
}

namespace Stats {

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double maximum(const QList<double> &values)
{
    return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
}

} // namespace Stats
