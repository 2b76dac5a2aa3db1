#pragma once

#include "extractionsettings.h"
#include "runprogress.h"

#include <QStringList>

class EngineHost;

// A run over a list of sheets, as every front end makes it: the check pass
// looks at every sheet (so that every bad one is marked) and only when all
// pass does the extraction pass split them in order. The host hears each
// split sheet, every log line and the progress.
class ExtractionRun
{
public:
    enum class Outcome { Done, CheckFailed, SplitFailed, Stopped };

    ExtractionRun(EngineHost &host, const ExtractionSettings &settings);
    ~ExtractionRun();

    // keepGoing splits the sheets that pass their check and goes on past a
    // sheet that fails; the outcome still tells of the failure.
    Outcome run(const QStringList &sheets, bool keepGoing = false);

private:
    QStringList check(const QStringList &sheets);
    bool extract(const QStringList &sheets, bool keepGoing);

    EngineHost &m_host;
    const ExtractionSettings m_settings;
    RunProgress m_progress;
};
