#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a signal of the event loop, so that an
// interrupt or a logout stops a run the way the Stop button does: the part
// file removed, the log told. The handler only writes the signal's number
// into a pipe; everything else happens when the event loop reads it.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // The last signal caught (SIGINT or SIGTERM), 0 before any.
    int caught() const { return m_caught; }

signals:
    void stopAsked(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    int m_caught = 0;
};
