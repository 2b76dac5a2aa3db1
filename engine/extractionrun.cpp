#include "extractionrun.h"

#include "enginehost.h"
#include "enginetext.h"
#include "unpackcue.h"

#include <QSet>

namespace {

// A fixed decoration of the run's summary lines, never translated.
const QString hyphenTail = QStringLiteral(" ----------------");

} // namespace

ExtractionRun::ExtractionRun(EngineHost &host, const ExtractionSettings &settings)
    : m_host(host)
    , m_settings(settings)
{
    m_host.setRunProgress(&m_progress);
    m_host.clearStopped();
}

ExtractionRun::~ExtractionRun()
{
    m_host.setRunProgress(nullptr);
}

ExtractionRun::Outcome ExtractionRun::run(const QStringList &sheets, bool keepGoing)
{
    m_host.information(EngineText::tr("Extraction started") + hyphenTail);
    m_host.information(EngineText::tr("Checking CUE files..."));
    const QStringList failed = check(sheets);
    // A stop in the check pass fails the sheets it reaches, like any failure.
    if (!failed.isEmpty() && (!keepGoing || m_host.stopped())) {
        m_host.error(EngineText::tr("Extraction failed") + hyphenTail);
        return Outcome::CheckFailed;
    }
    const QSet<QString> left(failed.cbegin(), failed.cend());
    QStringList passed;
    for (const QString &sheet : sheets) {
        if (!left.contains(sheet))
            passed << sheet;
    }
    const bool split = extract(passed, keepGoing);
    if (m_host.stopped())
        return Outcome::Stopped;
    if (!split || !failed.isEmpty()) {
        m_host.error(EngineText::tr("Extraction failed") + hyphenTail);
        return failed.isEmpty() ? Outcome::SplitFailed : Outcome::CheckFailed;
    }
    m_host.information(EngineText::tr("Extraction completed") + hyphenTail);
    return Outcome::Done;
}

// Every sheet is checked, even after a failure, so that every bad one is marked.
QStringList ExtractionRun::check(const QStringList &sheets)
{
    QStringList failed;
    m_progress.startChecks(int(sheets.size()));
    m_host.progress(m_progress);
    for (const QString &sheet : sheets) {
        qint64 frames = 0;
        if (unpackCue(m_host, m_settings, sheet, true, nullptr, &frames) <= 0)
            failed << sheet;
        m_progress.sheetChecked(frames);
        if (m_progress.due())
            m_host.progress(m_progress);
    }
    m_host.progress(m_progress);
    return failed;
}

// Splits the sheets in order; the first failure or a stop ends the pass,
// unless keepGoing, which only a stop ends.
bool ExtractionRun::extract(const QStringList &sheets, bool keepGoing)
{
    m_host.information(EngineText::tr("Extracting files..."));
    m_progress.startExtraction();
    m_host.progress(m_progress);
    WrittenFiles written;
    bool allSplit = true;
    for (const QString &sheet : sheets) {
        const bool split = unpackCue(m_host, m_settings, sheet, false, &written) > 0;
        m_progress.sheetDone();
        if (split)
            m_host.sheetSplit(sheet);
        allSplit = allSplit && split;
        if (m_host.stopped() || (!split && !keepGoing))
            break;
    }
    m_host.progress(m_progress);
    return allSplit;
}
