#include "trackwriter.h"

#include "cuesheet.h"
#include "enginehost.h"
#include "enginetext.h"
#include "naming.h"
#include "partfile.h"
#include "sourceimage.h"
#include "trackoutput.h"
#include "trackplan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// What a track asks for and what the images can give.
struct TrackRange
{
    QList<Segment> segments; // each cut to what its image holds
    qint64 wanted = 0;       // frames according to the sheet
    qint64 length = 0;       // frames the images hold of them
};

TrackRange plannedRange(const PlannedTrack &planned, const std::vector<SourceImage *> &images)
{
    TrackRange range;
    for (const Segment &segment : planned.segments) {
        range.wanted += segment.to - segment.from;
        // A sheet may promise more than the image holds (a shorter or wrong
        // WAV); the track then ends where the data does.
        const qint64 end = qMin(segment.to, images[size_t(segment.file)]->frameCount());
        if (end > segment.from) {
            range.segments.append({segment.file, segment.from, end});
            range.length += end - segment.from;
        }
    }
    return range;
}

class TrackWriter : private EngineText
{
public:
    TrackWriter(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
        const CueSheet &sheet, const TrackPlan &plan, const std::vector<SourceImage *> &sources,
        WrittenFiles &written);
    int run();

private:
    // All of these return false when the sheet ends, after reporting why.
    bool prepareFolders();
    bool enterFolder(const QString &name, const QString &prefix);
    bool writeHidden(bool &written);
    bool isSilent(const TrackRange &range, bool &silent);
    bool writeTrack(const PlannedTrack &planned);
    bool checkTarget(const QString &path, bool &skip);
    bool reportEmpty(const QString &path, const CueTrack &track, const TrackRange &range);
    bool writeFile(const QString &path, const CueTrack &track, const TrackRange &range);
    bool copyFrames(PartFile &part, const QString &path, const CueTrack &track,
        const TrackRange &range, qint64 &copied);
    bool copySegment(PartFile &part, const QString &path, const CueTrack &track,
        const Segment &segment, qint64 &copied, bool &ended);
    bool fail(const QString &line) { return m_host.failSheet(m_fname, line); }
    void reportCutShort(const CueTrack &track);
    void reportUnwritten(const UnwrittenAudio &unwritten);
    void reportCutSamples();

    TrackRange trackRange(const PlannedTrack &planned) const;

    EngineHost &m_host;
    const ExtractionSettings &m_settings;
    const QString &m_fname;
    const CueSheet &m_sheet;
    const TrackPlan &m_trackPlan;
    const std::vector<SourceImage *> &m_images;
    // The first image: every image of a sheet has its format.
    SourceImage &m_source;
    WrittenFiles &m_written;
    const QString m_prefix;
    std::unique_ptr<TrackOutput> m_output;
    QStringList m_sources; // canonical paths that must never be written
    QString m_dir;
    FolderPlan m_plan;
};

TrackWriter::TrackWriter(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    const CueSheet &sheet, const TrackPlan &plan, const std::vector<SourceImage *> &sources,
    WrittenFiles &written)
    : m_host(host)
    , m_settings(settings)
    , m_fname(fname)
    , m_sheet(sheet)
    , m_trackPlan(plan)
    , m_images(sources)
    , m_source(*sources.front())
    , m_written(written)
    , m_prefix(fnPrefix(fname))
{
    QStringList paths {fname};
    for (const SourceImage *image : sources)
        paths << image->path();
    for (const CueFile &file : sheet.files)
        paths << file.path;
    for (const QString &path : std::as_const(paths)) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            m_sources << canonical;
    }
}

int TrackWriter::run()
{
    if (!prepareFolders())
        return 0;
    UnwrittenAudio unwritten = m_trackPlan.unwritten;
    reportCutSamples();
    m_output = makeTrackOutput(m_settings.outputFormat, m_host, m_fname, m_sheet, m_source);
    bool hiddenWritten = false;
    if (m_trackPlan.hasHidden && !writeHidden(hiddenWritten))
        return 0;
    if (!hiddenWritten)
        unwritten.add(m_trackPlan.hiddenAudio);
    for (const PlannedTrack &planned : m_trackPlan.tracks) {
        if (!planned.track.audio) {
            m_host.information(
                m_prefix + tr("Track %1 is a data track; not written").arg(planned.track.number));
            continue;
        }
        if (!writeTrack(planned))
            return 0;
    }
    reportUnwritten(unwritten);
    m_host.information(tr("%1: Extraction successful").arg(native(m_fname)));
    return 1;
}

bool TrackWriter::prepareFolders()
{
    m_dir = m_settings.destPath + QLatin1Char('/');
    m_plan
        = planFolders(m_sheet.performer, m_sheet.title, m_settings.subArtist, m_settings.subAlbum);
    if (!m_host.goOn(m_fname))
        return false;
    if (m_plan.artistFolder
        && !enterFolder(m_plan.artistFolderName, native(m_fname) + QLatin1String(": "))) {
        return false;
    }
    if (!m_host.goOn(m_fname))
        return false;
    return !m_plan.albumFolder || enterFolder(m_plan.albumFolderName, m_prefix);
}

bool TrackWriter::enterFolder(const QString &name, const QString &prefix)
{
    const QString dir = m_dir + name;
    // One level only: a mistyped destination must fail here rather than grow a
    // tree of folders somewhere unexpected.
    if (!QFileInfo(dir).isDir() && !QDir().mkdir(dir))
        return fail(prefix + tr("Cannot create directory %1").arg(native(dir)));
    m_dir = dir + QLatin1Char('/');
    return true;
}

// Track 00 is written only when it is worth a track: a second or more of
// something other than digital silence.
bool TrackWriter::writeHidden(bool &written)
{
    written = false;
    const TrackRange range = trackRange(m_trackPlan.hidden);
    bool silent = true;
    if (range.length < m_source.rate())
        return true;
    if (!isSilent(range, silent))
        return false;
    written = !silent;
    return silent || writeTrack(m_trackPlan.hidden);
}

// Reads the range at the image's own depth, so that quiet low bits count as
// sound; false on a stop.
bool TrackWriter::isSilent(const TrackRange &range, bool &silent)
{
    static qint32 samples[65536];
    const qint64 channels = qMax(1, m_source.channelCount());
    const qint64 chunkFrames
        = qMin(qint64(std::size(samples)) / channels, m_source.framesPerTurn());
    for (const Segment &segment : range.segments) {
        SourceImage &image = *m_images[size_t(segment.file)];
        for (qint64 at = segment.from; at < segment.to;) {
            if (!m_host.goOn(m_fname))
                return false;
            const qint64 got
                = image.readFramesAtDepth(samples, at, qMin(chunkFrames, segment.to - at));
            if (got <= 0)
                return true;
            if (std::any_of(samples, samples + got * channels, [](qint32 v) { return v != 0; })) {
                silent = false;
                return true;
            }
            at += got;
        }
    }
    return true;
}

bool TrackWriter::writeTrack(const PlannedTrack &planned)
{
    const CueTrack &track = planned.track;
    const QString path = m_dir
        + trackFileName(m_settings.trackFormat, track, m_plan.album, m_output->suffix(),
            m_sheet.values.value(QStringLiteral("REM DISCNUMBER")));
    if (!m_host.goOn(m_fname))
        return false;
    const TrackRange range = trackRange(planned);
    bool skip = false;
    if (!checkTarget(path, skip))
        return false;
    if (skip) {
        m_host.advance(range.length);
        return true;
    }
    if (range.length <= 0)
        return reportEmpty(path, track, range);
    if (range.length > m_output->maxFrames())
        return fail(m_prefix
            + tr("Cannot write %1: a WAV file holds at most 4 GiB of audio").arg(native(path)));
    if (!m_host.goOn(m_fname))
        return false;
    return writeFile(path, track, range);
}

bool TrackWriter::checkTarget(const QString &path, bool &skip)
{
    const QFileInfo target(path);
    if (!target.exists())
        return true;
    const QString canonical = target.canonicalFilePath();
    if (m_sources.contains(canonical))
        return fail(m_prefix + tr("Refusing to overwrite the source %1").arg(native(path)));
    // Skipping or replacing here would silently lose one of the two tracks.
    if (m_written.contains(canonical))
        return fail(m_prefix + tr("Two tracks would be written to %1").arg(native(path)));
    if (m_settings.overwrite) {
        m_host.information(m_prefix + tr("Overwriting existing file %1").arg(native(path)));
        return true;
    }
    m_host.information(m_prefix + tr("Skipping existing file %1").arg(native(path)));
    skip = true;
    return true;
}

bool TrackWriter::reportEmpty(const QString &path, const CueTrack &track, const TrackRange &range)
{
    if (range.wanted > 0)
        reportCutShort(track);
    m_host.information(m_prefix + tr("Warning in file %1").arg(native(path)));
    m_host.information(m_prefix + tr("No track data, size=%1").arg(range.length));
    return true;
}

bool TrackWriter::writeFile(const QString &path, const CueTrack &track, const TrackRange &range)
{
    // Every early return below throws the part file away and leaves the
    // folder as it was, an older file of that name included.
    PartFile part(path);
    if (!part.open())
        return fail(m_prefix + tr("Cannot write file %1").arg(native(path)));
    QFile &out = part.file();
    if (!m_host.goOn(m_fname))
        return false;
    m_host.information(m_prefix + tr("Writing %1...").arg(native(path)));

    if (!m_output->begin(out, track, range.length))
        return fail(m_prefix + tr("Error writing %1 (check disk space?)").arg(native(path)));
    if (!m_host.goOn(m_fname))
        return false;

    qint64 copied = 0;
    if (!copyFrames(part, path, track, range, copied))
        return false;
    // The image shrank under us before this track: treat it like a track that
    // starts past the end rather than leave a file without audio.
    if (copied == 0) {
        part.discard();
        return reportEmpty(path, track, {{}, range.wanted, 0});
    }
    if (copied < range.wanted)
        reportCutShort(track);
    if (!m_output->finish(out, copied))
        return fail(m_prefix + tr("Error writing %1 (check disk space?)").arg(native(path)));
    if (!part.commit())
        return fail(m_prefix + tr("Cannot write file %1").arg(native(path)));
    m_written.insert(QFileInfo(path).canonicalFilePath());
    return true;
}

bool TrackWriter::copyFrames(PartFile &part, const QString &path, const CueTrack &track,
    const TrackRange &range, qint64 &copied)
{
    for (const Segment &segment : range.segments) {
        bool ended = false;
        if (!copySegment(part, path, track, segment, copied, ended))
            return false;
        // The rest of the track would leave a hole where the image ended.
        if (ended)
            break;
    }
    return true;
}

bool TrackWriter::copySegment(PartFile &part, const QString &path, const CueTrack &track,
    const Segment &segment, qint64 &copied, bool &ended)
{
    QFile &out = part.file();
    SourceImage &source = *m_images[size_t(segment.file)];
    const qint64 chunkFrames = qMin(m_output->framesPerTurn(), source.framesPerTurn());
    qint64 position = segment.from;
    qint64 remaining = segment.to - segment.from;
    while (remaining > 0) {
        // Fewer frames than asked means the image ends here (it may have
        // shrunk since it was checked): waiting for more would never end.
        qint64 got = 0;
        if (!m_output->moveChunk(out, source, position, qMin(remaining, chunkFrames), got))
            return fail(m_prefix + tr("Error writing %1 (check disk space?)").arg(native(path)));
        // The part file goes with the failure: a track never holds a gap or
        // whatever a decoder makes of a damaged frame.
        if (source.readFailed()) {
            return fail(m_prefix
                + tr("Cannot decode %1 in track %2: the image is damaged there")
                      .arg(native(source.path()), track.number));
        }
        if (got <= 0) {
            ended = true;
            break;
        }
        copied += got;
        m_host.advance(got);
        if (m_host.yieldAndCheckStop()) {
            if (!part.discard()) {
                m_host.error(
                    m_prefix + tr("Cannot delete incomplete file %1").arg(native(out.fileName())));
            }
            m_host.yieldAndCheckStop(); // one more turn once the file is gone
            return m_host.stopSheet(m_fname);
        }
        remaining -= got;
        position += got;
    }
    return true;
}

void TrackWriter::reportCutShort(const CueTrack &track)
{
    m_host.information(m_prefix
        + tr("Track %1 cut short: the WAV image ends before the track does").arg(track.number));
}

// Gap audio that the mode cuts away has nothing to show for it; the log says
// how much.
void TrackWriter::reportUnwritten(const UnwrittenAudio &unwritten)
{
    if (unwritten.tracks == 0)
        return;
    const QString seconds
        = QString::number(unwritten.seconds(m_sheet.positionRate, m_source.rate()), 'f', 2);
    m_host.information(m_prefix
        + (unwritten.tracks == 1 ? tr("Pregap audio not written: %1 s in 1 track").arg(seconds)
                                 : tr("Pregap audio not written: %1 s in %2 tracks")
                                       .arg(seconds)
                                       .arg(unwritten.tracks)));
}

// WAV tracks hold 16 bits; an image with more loses the rest, and says so.
void TrackWriter::reportCutSamples()
{
    if (m_settings.outputFormat != OutputFormat::Wav || m_source.sampleBits() <= 16)
        return;
    m_host.information(m_prefix
        + tr("Samples cut from %1 to 16 bits; choose FLAC to keep them")
              .arg(m_source.sampleBits()));
}

TrackRange TrackWriter::trackRange(const PlannedTrack &planned) const
{
    return plannedRange(planned, m_images);
}

} // namespace

int writeTracks(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    const CueSheet &sheet, const TrackPlan &plan, const std::vector<SourceImage *> &sources,
    WrittenFiles &written)
{
    return TrackWriter(host, settings, fname, sheet, plan, sources, written).run();
}

qint64 framesToWrite(const TrackPlan &plan, const std::vector<SourceImage *> &sources)
{
    qint64 frames = 0;
    for (const PlannedTrack &planned : plan.tracks) {
        if (planned.track.audio)
            frames += plannedRange(planned, sources).length;
    }
    // Track 00 counts when it is long enough to be written; silence found in
    // it later leaves the bar short of its end, never past it.
    const qint64 hidden = plan.hasHidden ? plannedRange(plan.hidden, sources).length : 0;
    return frames + (hidden >= sources.front()->rate() ? hidden : 0);
}
