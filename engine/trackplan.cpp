#include "trackplan.h"

#include "sourceimage.h"

namespace {

// A place in the sheet's audio: a position in one of its files; -1 is the
// file's end.
struct Point
{
    int file = 0;
    qint64 position = -1;
};

class Planner
{
public:
    Planner(const CueSheet &sheet, GapMode gaps, const QList<qint64> &fileFrames, qint32 rate)
        : m_sheet(sheet)
        , m_gaps(gaps)
        , m_fileFrames(fileFrames)
        , m_rate(rate)
    {
    }

    TrackPlan run(const QString &hiddenTitle);

private:
    Point startOf(qsizetype i) const;
    Point endOf(qsizetype i, bool &beforeData) const;
    qint64 frameAt(const Point &point) const;
    QList<Segment> segments(const Point &from, const Point &to) const;
    UnwrittenAudio stretch(const Point &from, const Point &to) const;
    void planHidden(TrackPlan &plan, const QString &title) const;

    const CueSheet &m_sheet;
    const GapMode m_gaps;
    const QList<qint64> &m_fileFrames;
    const qint32 m_rate;
};

Point Planner::startOf(qsizetype i) const
{
    const CueTrack &track = m_sheet.tracks[i];
    // The hidden track goes into track 1, which then starts with the audio.
    if (m_gaps == GapMode::Prepend && i == 0)
        return {0, 0};
    if (m_gaps == GapMode::Prepend && track.pregap >= 0)
        return {track.pregapFile, track.pregap};
    return {track.file, track.start};
}

Point Planner::endOf(qsizetype i, bool &beforeData) const
{
    beforeData = false;
    if (i + 1 == m_sheet.tracks.size())
        return {int(m_fileFrames.size()) - 1, -1};
    const CueTrack &next = m_sheet.tracks[i + 1];
    // A data track's INDEX 01 often lies past the end of the audio image.
    beforeData = !next.audio;
    if (beforeData || m_gaps == GapMode::Append || next.pregap < 0)
        return {next.file, next.start};
    return {next.pregapFile, next.pregap};
}

qint64 Planner::frameAt(const Point &point) const
{
    if (point.position < 0)
        return m_fileFrames.value(point.file);
    return sourceFrame(point.position, m_rate, m_sheet.positionRate);
}

// From one point to a later one: the rest of the first file, any files in
// between whole, then the next file up to the point.
QList<Segment> Planner::segments(const Point &from, const Point &to) const
{
    if (from.file == to.file)
        return {{from.file, frameAt(from), qMax(frameAt(from), frameAt(to))}};
    QList<Segment> result {{from.file, frameAt(from), m_fileFrames.value(from.file)}};
    for (int file = from.file + 1; file < to.file; ++file)
        result.append({file, 0, m_fileFrames.value(file)});
    if (to.file > from.file && frameAt(to) > 0)
        result.append({to.file, 0, frameAt(to)});
    return result;
}

// Within one file the stretch is counted in the sheet's own positions, so a
// one-file sheet says exactly what it always said.
UnwrittenAudio Planner::stretch(const Point &from, const Point &to) const
{
    UnwrittenAudio gap;
    if (from.file == to.file) {
        gap.positions = qMax<qint64>(0, to.position - from.position);
    } else {
        gap.frames = qMax<qint64>(0, m_fileFrames.value(from.file) - frameAt(from));
        for (int file = from.file + 1; file < to.file; ++file)
            gap.frames += m_fileFrames.value(file);
        gap.positions = qMax<qint64>(0, to.position);
    }
    gap.tracks = gap.positions > 0 || gap.frames > 0;
    return gap;
}

void Planner::planHidden(TrackPlan &plan, const QString &title) const
{
    const CueTrack &first = m_sheet.tracks.first();
    if (!first.audio || m_gaps == GapMode::Prepend)
        return;
    const Point lead {0, 0};
    const Point start {first.file, first.start};
    if (m_gaps == GapMode::Leave) {
        plan.unwritten.add(stretch(lead, start));
        return;
    }
    plan.hiddenAudio = stretch(lead, start);
    plan.hasHidden = plan.hiddenAudio.tracks > 0;
    plan.hidden.track.number = QStringLiteral("00");
    plan.hidden.track.title = title;
    plan.hidden.track.performer = m_sheet.performer;
    plan.hidden.segments = segments(lead, start);
}

TrackPlan Planner::run(const QString &hiddenTitle)
{
    TrackPlan plan;
    if (m_sheet.tracks.isEmpty())
        return plan;
    planHidden(plan, hiddenTitle);
    const QList<CueTrack> &tracks = m_sheet.tracks;
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        PlannedTrack planned {tracks[i], {}};
        if (tracks[i].audio) {
            bool beforeData = false;
            const Point end = endOf(i, beforeData);
            planned.segments = segments(startOf(i), end);
            // Ending at a data track's INDEX 01 or the image's end, whichever
            // comes first, is no track cut short.
            Segment &last = planned.segments.last();
            if (beforeData)
                last.to = qMin(last.to, m_fileFrames.value(last.file));
        }
        if (m_gaps == GapMode::Leave && i > 0 && tracks[i].audio && tracks[i].pregap >= 0) {
            plan.unwritten.add(stretch(
                {tracks[i].pregapFile, tracks[i].pregap}, {tracks[i].file, tracks[i].start}));
        }
        plan.tracks.append(planned);
    }
    return plan;
}

} // namespace

void UnwrittenAudio::add(const UnwrittenAudio &other)
{
    positions += other.positions;
    frames += other.frames;
    tracks += other.tracks;
}

double UnwrittenAudio::seconds(qint32 positionRate, qint32 rate) const
{
    return double(positions) / qMax(1, positionRate) + double(frames) / qMax(1, rate);
}

TrackPlan planTracks(const CueSheet &sheet, GapMode gaps, const QList<qint64> &fileFrames,
    qint32 rate, const QString &hiddenTitle)
{
    return Planner(sheet, gaps, fileFrames, rate).run(hiddenTitle);
}
