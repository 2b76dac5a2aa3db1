#include "trackwriter.h"

#include "cuesheet.h"
#include "enginehost.h"
#include "enginetext.h"
#include "naming.h"
#include "partfile.h"
#include "sourceimage.h"
#include "trackplan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The one copy buffer of the program. Runs never overlap, so every chunk of
// every track of every sheet goes through it and no sample memory is allocated.
char buf[8388608];

const qint64 maxChunkFrames = 2097152;
// How much of the buffer one read and one write move at a time.
const qint64 pieceBytes = 1 << 20;
const int headerSize = 44;
// The data size is a 32-bit field and the RIFF size adds 36 to it.
const qint64 maxDataBytes = qint64(std::numeric_limits<quint32>::max()) - 36;

// Canonical header of a 16-bit stereo 44,100 Hz file; the format fields and
// sizes are filled in per track.
const char headerTemplate[] = "RIFF"
                              "\xf8\x25\0\0"
                              "WAVE"
                              "fmt "
                              "\x10\0\0\0"
                              "\x01\0"
                              "\x02\0"
                              "\x44\xac\0\0"
                              "\x10\xb1\x02\0"
                              "\x04\0"
                              "\x10\0"
                              "data"
                              "\0\0\0\0";
static_assert(sizeof headerTemplate == headerSize + 1, "a 44-byte header");

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
    bool moveChunk(SourceImage &source, QFile &out, qint64 position, qint64 frames, qint64 &got);
    bool fail(const QString &line) { return m_host.failSheet(m_fname, line); }
    void reportCutShort(const CueTrack &track);
    void reportUnwritten(const UnwrittenAudio &unwritten);

    TrackRange trackRange(const PlannedTrack &planned) const;
    void fillHeader(char *header, qint64 dataBytes) const;

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
    // Output bytes per frame. The reader refuses images without channels; the
    // floor only keeps the divisions below defined.
    const qint64 m_frameBytes;
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
    , m_frameBytes(2 * qMax(1, m_source.channelCount()))
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

// Reads the range as it would be written; false on a stop.
bool TrackWriter::isSilent(const TrackRange &range, bool &silent)
{
    const qint64 chunkFrames = qMin(qint64(sizeof buf) / m_frameBytes, m_source.framesPerTurn());
    for (const Segment &segment : range.segments) {
        SourceImage &image = *m_images[size_t(segment.file)];
        for (qint64 at = segment.from; at < segment.to;) {
            if (!m_host.goOn(m_fname))
                return false;
            const qint64 got = image.readFrames(buf, at, qMin(chunkFrames, segment.to - at));
            if (got <= 0)
                return true;
            if (std::any_of(buf, buf + got * m_frameBytes, [](char c) { return c != 0; })) {
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
    const QString path = m_dir + trackFileName(m_settings.trackFormat, track, m_plan.album);
    if (!m_host.goOn(m_fname))
        return false;
    bool skip = false;
    if (!checkTarget(path, skip))
        return false;
    if (skip)
        return true;
    const TrackRange range = trackRange(planned);
    if (range.length <= 0)
        return reportEmpty(path, track, range);
    if (range.length > maxDataBytes / m_frameBytes)
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

    char header[headerSize];
    fillHeader(header, range.length * m_frameBytes);
    if (out.write(header, headerSize) != headerSize)
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
    // Both sizes follow what was really copied, so a cut track is still a
    // valid file.
    fillHeader(header, copied * m_frameBytes);
    if (!out.seek(0) || out.write(header, headerSize) != headerSize)
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
    const qint64 chunkFrames
        = qMin(qMin(maxChunkFrames, qint64(sizeof buf) / m_frameBytes), source.framesPerTurn());
    qint64 position = segment.from;
    qint64 remaining = segment.to - segment.from;
    while (remaining > 0) {
        // Fewer frames than asked means the image ends here (it may have
        // shrunk since it was checked): waiting for more would never end.
        qint64 got = 0;
        if (!moveChunk(source, out, position, qMin(remaining, chunkFrames), got))
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

// One chunk from the image into the track file, in pieces that stay in the
// processor's cache between the read and the write: moving a chunk in one go
// through the whole buffer was several times slower here. False when writing
// failed; fewer frames than asked (got) means the image ends there.
bool TrackWriter::moveChunk(
    SourceImage &source, QFile &out, qint64 position, qint64 frames, qint64 &got)
{
    const qint64 pieceFrames = qMax<qint64>(1, pieceBytes / m_frameBytes);
    got = 0;
    while (got < frames) {
        const qint64 want = qMin(frames - got, pieceFrames);
        // Frames the image lends are written straight from it: one copy of
        // each byte instead of two.
        const char *data = nullptr;
        qint64 n = source.lendFrames(position + got, want, data);
        if (n <= 0) {
            n = source.readFrames(buf, position + got, want);
            data = buf;
        }
        if (n <= 0)
            return true;
        const qint64 bytes = n * m_frameBytes;
        if (out.write(data, bytes) != bytes)
            return false;
        got += n;
        if (n < want)
            return true;
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
    m_host.information(m_prefix
        + tr("Pregap audio not written: %1 s in %2 tracks")
              .arg(
                  QString::number(unwritten.seconds(m_sheet.positionRate, m_source.rate()), 'f', 2))
              .arg(unwritten.tracks));
}

TrackRange TrackWriter::trackRange(const PlannedTrack &planned) const
{
    TrackRange range;
    for (const Segment &segment : planned.segments) {
        range.wanted += segment.to - segment.from;
        // A sheet may promise more than the image holds (a shorter or wrong
        // WAV); the track then ends where the data does.
        const qint64 end = qMin(segment.to, m_images[size_t(segment.file)]->frameCount());
        if (end > segment.from) {
            range.segments.append({segment.file, segment.from, end});
            range.length += end - segment.from;
        }
    }
    return range;
}

void TrackWriter::fillHeader(char *header, qint64 dataBytes) const
{
    const quint32 channels = quint32(m_source.channelCount()) & 0xffff;
    const quint32 rate = quint32(m_source.rate());
    std::memcpy(header, headerTemplate, headerSize);
    qToLittleEndian<quint16>(channels, header + 22);
    qToLittleEndian<quint32>(rate, header + 24);
    qToLittleEndian<quint32>(rate * channels * 2, header + 28);
    qToLittleEndian<quint16>(channels * 2, header + 32);
    qToLittleEndian<quint32>(quint32(dataBytes + 36), header + 4);
    qToLittleEndian<quint32>(quint32(dataBytes), header + 40);
}

} // namespace

int writeTracks(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    const CueSheet &sheet, const TrackPlan &plan, const std::vector<SourceImage *> &sources,
    WrittenFiles &written)
{
    return TrackWriter(host, settings, fname, sheet, plan, sources, written).run();
}
