#include "trackwriter.h"

#include "cuesheet.h"
#include "enginehost.h"
#include "enginetext.h"
#include "naming.h"
#include "partfile.h"
#include "sourceimage.h"
#include "trackoutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// What a track asks for and what the image can give.
struct TrackRange
{
    qint64 start = 0;
    qint64 wanted = 0; // frames according to the sheet
    qint64 length = 0; // frames the image holds of them
};

TrackRange trackRange(const CueTrack &track, const SourceImage &source)
{
    TrackRange range;
    range.start = sourceFrame(track.start, source.rate());
    const qint64 end = track.end < 0 ? source.frameCount() : sourceFrame(track.end, source.rate());
    range.wanted = end - range.start;
    // A sheet may promise more than the image holds (a shorter or wrong WAV);
    // the track then ends where the data does.
    const qint64 available = qMax<qint64>(0, source.frameCount() - range.start);
    range.length = qMin(range.wanted, available);
    return range;
}

class TrackWriter : private EngineText
{
public:
    TrackWriter(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
        const CueSheet &sheet, SourceImage &source, WrittenFiles &written);
    int run();

private:
    // All of these return false when the sheet ends, after reporting why.
    bool prepareFolders();
    bool enterFolder(const QString &name, const QString &prefix);
    bool writeTrack(const CueTrack &track);
    bool checkTarget(const QString &path, bool &skip);
    bool reportEmpty(const QString &path, const CueTrack &track, const TrackRange &range);
    bool writeFile(const QString &path, const CueTrack &track, const TrackRange &range);
    bool copyFrames(PartFile &part, const QString &path, const CueTrack &track,
        const TrackRange &range, qint64 &copied);
    bool fail(const QString &line) { return m_host.failSheet(m_fname, line); }
    void reportCutShort(const CueTrack &track);
    void reportUnwritten();
    void reportCutSamples();

    EngineHost &m_host;
    const ExtractionSettings &m_settings;
    const QString &m_fname;
    const CueSheet &m_sheet;
    SourceImage &m_source;
    WrittenFiles &m_written;
    const QString m_prefix;
    std::unique_ptr<TrackOutput> m_output;
    QStringList m_sources; // canonical paths that must never be written
    QString m_dir;
    FolderPlan m_plan;
};

TrackWriter::TrackWriter(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    const CueSheet &sheet, SourceImage &source, WrittenFiles &written)
    : m_host(host)
    , m_settings(settings)
    , m_fname(fname)
    , m_sheet(sheet)
    , m_source(source)
    , m_written(written)
    , m_prefix(fnPrefix(fname))
{
    for (const QString &path : {source.path(), sheet.wavFile, fname}) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            m_sources << canonical;
    }
}

int TrackWriter::run()
{
    if (!prepareFolders())
        return 0;
    reportCutSamples();
    m_output = makeTrackOutput(m_settings.outputFormat, m_host, m_fname, m_sheet, m_source);
    for (const CueTrack &track : m_sheet.tracks) {
        if (!writeTrack(track))
            return 0;
    }
    reportUnwritten();
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

bool TrackWriter::writeTrack(const CueTrack &track)
{
    const QString path = m_dir
        + trackFileName(m_settings.trackFormat, track, m_plan.album, m_output->suffix(),
            m_sheet.values.value(QStringLiteral("REM DISCNUMBER")));
    if (!m_host.goOn(m_fname))
        return false;
    const TrackRange range = trackRange(track, m_source);
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
        return reportEmpty(path, track, {range.start, range.wanted, 0});
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
    QFile &out = part.file();
    const qint64 chunkFrames = qMin(m_output->framesPerTurn(), m_source.framesPerTurn());
    qint64 position = range.start;
    qint64 remaining = range.length;
    while (remaining > 0) {
        // Fewer frames than asked means the image ends here (it may have
        // shrunk since it was checked): waiting for more would never end.
        qint64 got = 0;
        if (!m_output->moveChunk(out, position, qMin(remaining, chunkFrames), got))
            return fail(m_prefix + tr("Error writing %1 (check disk space?)").arg(native(path)));
        // The part file goes with the failure: a track never holds a gap or
        // whatever a decoder makes of a damaged frame.
        if (m_source.readFailed()) {
            return fail(m_prefix
                + tr("Cannot decode %1 in track %2: the image is damaged there")
                      .arg(native(m_source.path()), track.number));
        }
        if (got <= 0)
            break;
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

// Pregaps are cut away with nothing to show for it; the log says how much.
void TrackWriter::reportUnwritten()
{
    const UnwrittenAudio unwritten = unwrittenAudio(m_sheet);
    if (unwritten.frames == 0)
        return;
    const QString seconds = QString::number(unwritten.frames / 75.0, 'f', 2);
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

} // namespace

int writeTracks(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    const CueSheet &sheet, SourceImage &source, WrittenFiles &written)
{
    return TrackWriter(host, settings, fname, sheet, source, written).run();
}

qint64 framesToWrite(const CueSheet &sheet, const SourceImage &source)
{
    qint64 frames = 0;
    for (const CueTrack &track : sheet.tracks)
        frames += qMax<qint64>(0, trackRange(track, source).length);
    return frames;
}
