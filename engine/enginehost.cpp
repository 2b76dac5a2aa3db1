#include "enginehost.h"

#include "enginetext.h"
#include "runprogress.h"

bool EngineHost::failSheet(const QString &fname, const QString &line, const QString &detail)
{
    error(line);
    if (!detail.isEmpty())
        error(QLatin1String("    ") + detail);
    markSheet(fname);
    return false;
}

bool EngineHost::stopSheet(const QString &fname)
{
    m_stopped = true;
    return failSheet(fname, EngineText::tr("User termination"));
}

bool EngineHost::goOn(const QString &fname)
{
    return !yieldAndCheckStop() || stopSheet(fname);
}

void EngineHost::advance(qint64 frames)
{
    if (!m_progress)
        return;
    m_progress->addFrames(frames);
    if (m_progress->due())
        progress(*m_progress);
}
