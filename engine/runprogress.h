#pragma once

#include <QElapsedTimer>
#include <QString>

// How far a run has come, for a progress bar or a progress line. The check
// pass counts sheets; the extraction pass counts the audio frames written or
// skipped across all sheets, against the total the check pass found.
class RunProgress
{
public:
    void startChecks(int sheets);
    void sheetChecked(qint64 frames);
    void startExtraction();
    void addFrames(qint64 frames);
    void sheetDone();

    // True at most ten times a second: a progress display costs nothing
    // measurable even on a run of small chunks.
    bool due();

    bool extracting() const { return m_extracting; }
    // The share of the current pass done, in thousandths.
    int permille() const;
    // "Checking 3 of 10", or "2 of 10 sheets, about 1:05 left".
    QString text() const;

    // The time left when done of total took elapsedMs: "1:05", "1:02:05",
    // or nothing while an estimate would still swing too much.
    static QString timeLeft(qint64 elapsedMs, qint64 done, qint64 total);

private:
    int m_sheets = 0;
    int m_sheetsDone = 0;
    qint64 m_framesTotal = 0;
    qint64 m_framesDone = 0;
    bool m_extracting = false;
    QElapsedTimer m_passClock;
    QElapsedTimer m_shownClock;
};
