#include "sheetsummary.h"

#include "cueparser.h"
#include "enginehost.h"
#include "enginetext.h"

#include <QStringList>

namespace {

// Keeps the first error line; a summary never stops and marks nothing.
class SummaryHost final : public EngineHost
{
public:
    void information(const QString &) override { }
    void error(const QString &line) override
    {
        if (firstError.isEmpty())
            firstError = line;
    }
    void markSheet(const QString &) override { }
    bool yieldAndCheckStop() override { return false; }

    QString firstError;
};

constexpr int tracksShown = 3;

} // namespace

QString sheetSummary(const QString &fname, const QString &encoding)
{
    SummaryHost host;
    CueSheet sheet;
    const bool read = readCueSheet(host, fname, sheet, encoding);
    QStringList lines {sheet.performer + QStringLiteral(" \u2013 ") + sheet.title};
    if (!read) {
        lines << host.firstError;
    } else {
        const auto count = sheet.tracks.size();
        lines << (count == 1 ? EngineText::tr("1 track") : EngineText::tr("%1 tracks").arg(count));
        for (const CueTrack &track : sheet.tracks.first(std::min<qsizetype>(count, tracksShown)))
            lines << track.number + QStringLiteral("  ") + track.title;
        if (count > tracksShown)
            lines << QStringLiteral("\u2026");
    }
    if (!sheet.encoding.isEmpty())
        lines << EngineText::tr("Text encoding: %1").arg(sheet.encoding);
    return lines.join(QLatin1Char('\n'));
}
