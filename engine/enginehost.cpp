#include "enginehost.h"

#include "enginetext.h"

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
    return failSheet(fname, EngineText::tr("User termination"));
}

bool EngineHost::goOn(const QString &fname)
{
    return !yieldAndCheckStop() || stopSheet(fname);
}
