#pragma once

#include <QString>

class RunProgress;

// What the extraction engine needs from whoever runs it. The main window
// implements it with its log panel, its CUE list and its event loop; tests
// implement it with plain lists. The engine never touches a widget.
class EngineHost
{
public:
    virtual ~EngineHost() = default;

    virtual void information(const QString &line) = 0;
    virtual void error(const QString &line) = 0;
    // Marks the sheet's entry as failed (and selects it).
    virtual void markSheet(const QString &fname) = 0;
    // Gives the event loop one turn, then answers whether a stop was asked.
    virtual bool yieldAndCheckStop() = 0;
    // Shows how far the run has come: at the start and end of each pass and
    // at most ten times a second in between. A host without a display of it
    // leaves it alone.
    virtual void progress(const RunProgress &) { }
    // A sheet of the extraction pass was split completely.
    virtual void sheetSplit(const QString &) { }

    // The one way a sheet ends early: its error line, an indented detail line
    // under it when there is one, then the mark. Always false, for returning.
    bool failSheet(const QString &fname, const QString &line, const QString &detail = QString());
    // Ends the sheet because the user asked for a stop.
    bool stopSheet(const QString &fname);
    // A yield point: one turn of the event loop, then false if a stop was asked
    // (the sheet is ended then), true when the sheet goes on.
    bool goOn(const QString &fname);

    // The figures of the run this host serves, if it keeps any.
    void setRunProgress(RunProgress *progress) { m_progress = progress; }
    RunProgress *runProgress() const { return m_progress; }
    // Frames written or skipped, toward the run's progress.
    void advance(qint64 frames);
    // Whether a sheet ended because the user asked for a stop.
    bool stopped() const { return m_stopped; }
    void clearStopped() { m_stopped = false; }

private:
    RunProgress *m_progress = nullptr;
    bool m_stopped = false;
};
