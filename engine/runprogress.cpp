#include "runprogress.h"

#include "enginetext.h"

namespace {

const qint64 shownEveryMs = 100;
// An estimate from the first moments of a run swings too much to be useful.
const qint64 estimateAfterMs = 2000;

} // namespace

void RunProgress::startChecks(int sheets)
{
    m_sheets = sheets;
    m_sheetsDone = 0;
    m_framesTotal = 0;
    m_framesDone = 0;
    m_extracting = false;
    m_passClock.start();
    // The start of a pass is shown at once; the next update waits its turn.
    m_shownClock.start();
}

void RunProgress::sheetChecked(qint64 frames)
{
    ++m_sheetsDone;
    m_framesTotal += frames;
}

void RunProgress::startExtraction()
{
    m_sheetsDone = 0;
    m_framesDone = 0;
    m_extracting = true;
    m_passClock.start();
    m_shownClock.start();
}

void RunProgress::addFrames(qint64 frames)
{
    m_framesDone += frames;
}

void RunProgress::sheetDone()
{
    ++m_sheetsDone;
}

bool RunProgress::due()
{
    if (m_shownClock.elapsed() < shownEveryMs)
        return false;
    m_shownClock.start();
    return true;
}

int RunProgress::permille() const
{
    if (!m_extracting)
        return m_sheets > 0 ? int(qint64(m_sheetsDone) * 1000 / m_sheets) : 0;
    // A run of sheets without audio is done when its sheets are.
    if (m_framesTotal <= 0)
        return m_sheets > 0 ? int(qint64(m_sheetsDone) * 1000 / m_sheets) : 0;
    return int(qMin(m_framesDone, m_framesTotal) * 1000 / m_framesTotal);
}

QString RunProgress::text() const
{
    if (!m_extracting)
        return EngineText::tr("Checking %1 of %2")
            .arg(qMin(m_sheetsDone + 1, m_sheets))
            .arg(m_sheets);
    const QString left
        = timeLeft(m_passClock.isValid() ? m_passClock.elapsed() : 0, m_framesDone, m_framesTotal);
    if (left.isEmpty())
        return EngineText::tr("%1 of %2 sheets").arg(m_sheetsDone).arg(m_sheets);
    return EngineText::tr("%1 of %2 sheets, about %3 left")
        .arg(m_sheetsDone)
        .arg(m_sheets)
        .arg(left);
}

// The time so far, scaled by the frames still to come.
QString RunProgress::timeLeft(qint64 elapsedMs, qint64 done, qint64 total)
{
    if (elapsedMs < estimateAfterMs || done <= 0 || total <= 0)
        return QString();
    const qint64 rest = qMax<qint64>(0, total - done);
    const qint64 seconds = qRound64(double(elapsedMs) * double(rest) / double(done) / 1000.0);
    const QString minutesSeconds
        = QStringLiteral("%1:%2").arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return minutesSeconds;
    return QStringLiteral("%1:%2")
        .arg(seconds / 3600)
        .arg(minutesSeconds.rightJustified(5, QLatin1Char('0')));
}
