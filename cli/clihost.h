#pragma once

#include "enginehost.h"

#include <cstdio>

// Lets the engine speak on a terminal or into a pipe: information lines on
// standard output, errors on standard error, and on a terminal a progress
// line on standard error that each log line clears first.
class CliHost final : public EngineHost
{
public:
    CliHost(bool quiet, bool progressLine);

    void information(const QString &line) override;
    void error(const QString &line) override;
    void markSheet(const QString &) override { }
    bool yieldAndCheckStop() override;
    void progress(const RunProgress &figures) override;

    // Asked by a signal: the run ends at its next yield point.
    void requestStop() { m_stopRequested = true; }
    // Takes the progress line off the terminal at the end of the run.
    void clearProgress();

private:
    void print(std::FILE *stream, const QString &line);

    const bool m_quiet;
    const bool m_progressLine;
    bool m_lineShown = false;
    bool m_stopRequested = false;
};
