#include "cueparser.h"

#include "embeddedsheet.h"
#include "enginehost.h"
#include "enginetext.h"
#include "imagesearch.h"
#include "naming.h"
#include "sheettext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtNumeric>

#include <algorithm>

namespace {

QRegularExpression linePattern(const char *pattern)
{
    // Unicode properties make \s take the same blanks as QString::trimmed().
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption
            | QRegularExpression::DotMatchesEverythingOption);
}

// A value in quotes runs to the last quote of the line, so quotes inside it
// stay; one without any quote runs to the end (for FILE, to the last blank
// before the type word). Capture 1 holds the first kind, 2 the second.
struct LinePatterns
{
    // Lines that move no split point: notes, codes, and gaps a burner would
    // make of silence that is not in the image.
    QRegularExpression skipped
        = linePattern(R"re((?:REM|SONGWRITER|CDTEXTFILE)(?:\s.*)?)re"
                      R"re(|(?:CATALOG|FLAGS|ISRC).*)re"
                      R"re(|(?:PREGAP|POSTGAP)\s+[0-9]+:[0-9]+:[0-9]+)re"
                      R"re(|INDEX\s+(?:0[2-9]|[1-9][0-9])\s+[0-9]+:[0-9]+:[0-9]+)re");
    // Texts that move no split point but go into tags: "REM DATE 1999",
    // "SONGWRITER x", "ISRC x", "CATALOG x". Capture 1 is the keyword, 2 and 3
    // the value as for the lines below.
    QRegularExpression kept
        = linePattern(R"re((REM\s+[^\s"]+|SONGWRITER|CATALOG|ISRC)(?:\s*"\s*(.*)"|\s+([^"]*)))re");
    QRegularExpression performer = linePattern(R"re(PERFORMER(?:\s*"\s*(.*)"|\s+([^"]*)))re");
    QRegularExpression title = linePattern(R"re(TITLE(?:\s*"\s*(.*)"|\s+([^"]*)))re");
    // Capture 3 is the type word; the image's content decides, not the word.
    QRegularExpression file = linePattern(R"re(FILE(?:\s*"\s*(.*)"\s*|\s+([^"]*)\s+)([^\s"]+))re");
    // Capture 2 is AUDIO or the mode of a data track.
    QRegularExpression track = linePattern(
        R"re(TRACK\s*([0-9]+)\s*(AUDIO|CDG|MODE1/2048|MODE1/2352|MODE2/2336|MODE2/2352|CDI/2336|CDI/2352))re");
    QRegularExpression index00 = linePattern(R"re(INDEX\s*00\s*([0-9]+):([0-9]+):([0-9]+))re");
    QRegularExpression index01 = linePattern(R"re(INDEX\s*01\s*([0-9]+):([0-9]+):([0-9]+))re");
};

bool matchLine(
    const QRegularExpression &pattern, const QString &line, QRegularExpressionMatch &match)
{
    match = pattern.match(line);
    return match.hasMatch();
}

QString looseValue(const QRegularExpressionMatch &match)
{
    return match.capturedStart(1) >= 0 ? match.captured(1) : match.captured(2).trimmed();
}

// mm:ss:ff in CD frames. Any field may exceed its clock range; only a value that
// does not fit 64 bits is refused, as nothing could cut audio at such a place.
bool framePosition(const QRegularExpressionMatch &match, qint64 &position)
{
    bool okMinutes = false;
    bool okSeconds = false;
    bool okFrames = false;
    const qint64 minutes = match.captured(1).toLongLong(&okMinutes);
    const qint64 seconds = match.captured(2).toLongLong(&okSeconds);
    const qint64 frames = match.captured(3).toLongLong(&okFrames);
    qint64 a = 0;
    qint64 b = 0;
    return okMinutes && okSeconds && okFrames && !qMulOverflow(minutes, qint64(4500), &a)
        && !qMulOverflow(seconds, qint64(75), &b) && !qAddOverflow(a, b, &a)
        && !qAddOverflow(a, frames, &position);
}

// The WAV image that sits beside a sheet without a FILE line.
QString defaultWavPath(const QString &fname)
{
    QString path = fname;
    path.replace(QLatin1String(".cue"), QLatin1String(".wav"));
    path.replace(QLatin1String(".CUE"), QLatin1String(".WAV"));
    path.replace(QLatin1String(".Cue"), QLatin1String(".Wav"));
    path.replace(QLatin1String(".cue"), QLatin1String(".wav"), Qt::CaseInsensitive);
    return path;
}

// The type words of the images a sheet may name; BINARY and MOTOROLA (data
// and raw images) stay invalid lines, any other word is refused by name.
bool isLosslessType(const QString &type)
{
    static const QStringList lossless {QStringLiteral("WAVE"), QStringLiteral("FLAC"),
        QStringLiteral("AIFF"), QStringLiteral("WAVPACK"), QStringLiteral("APE")};
    return lossless.contains(type, Qt::CaseInsensitive);
}

bool isRawType(const QString &type)
{
    return type.compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0
        || type.compare(QLatin1String("MOTOROLA"), Qt::CaseInsensitive) == 0;
}

class SheetReader
{
public:
    SheetReader(EngineHost &host, const QString &fname, CueSheet &sheet, const QString &encoding)
        : m_host(host)
        , m_fname(fname)
        , m_encoding(encoding)
        , m_native(QDir::toNativeSeparators(fname))
        , m_sheet(sheet)
    {
    }

    bool run();

private:
    bool fail(const QString &line) { return m_host.failSheet(m_fname, line); }
    bool failSheet(const QString &message);
    bool readBytes(QByteArray &bytes);
    bool readEmbedded(QByteArray &bytes);
    bool readLines(SheetLines &lines);
    bool handleLine(const QString &line);
    bool invalidLine(const QString &line);
    void keep(const QString &keyword, const QString &value);
    bool handleFile(const QString &reference, const QString &type, const QString &line);
    bool handleTrack(const QString &digits, const QString &type);
    bool handleIndex01(qint64 position);
    void handleIndex00(qint64 position);
    bool finish();
    bool checkOrder();

    bool hasTrack() const { return !m_sheet.tracks.isEmpty(); }
    bool lastHasNoIndex() const { return hasTrack() && m_sheet.tracks.last().start == -1; }
    int currentFile() const { return qMax(0, int(m_sheet.files.size()) - 1); }

    EngineHost &m_host;
    const QString m_fname;
    const QString m_encoding;
    const QString m_native;
    CueSheet &m_sheet;
    const LinePatterns m_patterns;
    // The sheet came out of the image itself, which its FILE lines then mean.
    bool m_embedded = false;
    // Whether an index point followed the last FILE line.
    bool m_fileHasIndex = false;
};

bool SheetReader::failSheet(const QString &message)
{
    return fail(m_native + QLatin1String(": ") + message);
}

bool SheetReader::readBytes(QByteArray &bytes)
{
    QFile file(m_fname);
    if (!file.exists())
        return fail(EngineText::tr("File not found (%1)").arg(m_native));
    if (!file.open(QIODevice::ReadOnly))
        return fail(EngineText::tr("Cannot open %1 for reading").arg(m_native));
    if (file.size() > maxSheetBytes)
        return fail(EngineText::tr("File %1 is too large").arg(m_native));
    // A device or a pipe has no size to check beforehand: read one byte past
    // the limit to tell a too large one. A plain file is read at its own size.
    bytes = file.isSequential() ? file.read(maxSheetBytes + 1) : file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(EngineText::tr("Cannot open %1 for reading").arg(m_native));
    if (bytes.size() > maxSheetBytes)
        return fail(EngineText::tr("File %1 is too large").arg(m_native));
    return true;
}

// A sheet inside a FLAC or WavPack image: its text, or for a CUESHEET block
// alone the tracks themselves (bytes then stays empty).
bool SheetReader::readEmbedded(QByteArray &bytes)
{
    EmbeddedSheet embedded;
    if (!readEmbeddedSheet(m_fname, embedded))
        return fail(EngineText::tr("No cue sheet in %1").arg(m_native));
    m_embedded = true;
    if (embedded.fromBlock) {
        m_sheet = embedded.block;
        m_fileHasIndex = true;
    }
    bytes = embedded.text;
    if (bytes.size() > maxSheetBytes)
        return fail(EngineText::tr("File %1 is too large").arg(m_native));
    return true;
}

bool SheetReader::run()
{
    m_sheet = CueSheet();
    m_sheet.performer = EngineText::tr("Unknown Artist");
    m_sheet.title = EngineText::tr("Unknown Title");
    QByteArray bytes;
    if (!(isSheetImage(m_fname) ? readEmbedded(bytes) : readBytes(bytes)))
        return false;
    const SheetText decoded = decodeSheetText(bytes, m_encoding);
    m_sheet.encoding = decoded.label();
    SheetLines lines(decoded.text);
    if (!readLines(lines))
        return false;
    // Every track of a sheet is in its first file until a FILE line says otherwise.
    if (m_sheet.files.isEmpty())
        m_sheet.files.append({m_embedded ? m_fname : defaultWavPath(m_fname)});
    return finish();
}

bool SheetReader::readLines(SheetLines &lines)
{
    QString line;
    for (;;) {
        if (!m_host.goOn(m_fname))
            return false;
        if (!lines.next(line))
            return true;
        if (!handleLine(line.trimmed()))
            return false;
    }
}

bool SheetReader::handleLine(const QString &line)
{
    QRegularExpressionMatch match;
    if (matchLine(m_patterns.kept, line, match)) {
        const QString keyword = match.captured(1).simplified().toUpper();
        keep(
            keyword, match.capturedStart(2) >= 0 ? match.captured(2) : match.captured(3).trimmed());
        return true;
    }
    if (line.isEmpty() || matchLine(m_patterns.skipped, line, match))
        return true;
    qint64 position = 0;
    if (matchLine(m_patterns.performer, line, match)) {
        (hasTrack() ? m_sheet.tracks.last().performer : m_sheet.performer) = looseValue(match);
        keep(QStringLiteral("PERFORMER"), looseValue(match));
        return true;
    }
    if (matchLine(m_patterns.title, line, match)) {
        (hasTrack() ? m_sheet.tracks.last().title : m_sheet.title) = looseValue(match);
        keep(QStringLiteral("TITLE"), looseValue(match));
        return true;
    }
    if (matchLine(m_patterns.file, line, match))
        return handleFile(looseValue(match), match.captured(3), line);
    if (matchLine(m_patterns.track, line, match))
        return handleTrack(match.captured(1), match.captured(2));
    if (matchLine(m_patterns.index01, line, match) && framePosition(match, position))
        return handleIndex01(position);
    if (matchLine(m_patterns.index00, line, match) && framePosition(match, position)) {
        handleIndex00(position);
        return true;
    }
    return invalidLine(line);
}

bool SheetReader::invalidLine(const QString &line)
{
    return m_host.failSheet(
        m_fname, m_native + QLatin1String(": ") + EngineText::tr("Invalid line found"), line);
}

void SheetReader::keep(const QString &keyword, const QString &value)
{
    (hasTrack() ? m_sheet.tracks.last().values : m_sheet.values).insert(keyword, value);
}

bool SheetReader::handleFile(const QString &reference, const QString &type, const QString &line)
{
    if (isRawType(type))
        return invalidLine(line);
    if (!isLosslessType(type)) {
        return failSheet(
            EngineText::tr("%1 images cannot be split; only lossless images can").arg(type));
    }
    if (m_embedded)
        return true;
    // Rippers write the path of the machine they ran on; only the file name
    // means anything here, and the image is looked for beside the sheet.
    QString name = reference;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    CueFile file;
    file.path = QFileInfo(m_fname).absolutePath();
    if (!file.path.endsWith(QLatin1Char('/')))
        file.path += QLatin1Char('/');
    file.path += name;
    // No file name holds a NUL; asking the file system would only earn a warning.
    if (name.contains(QChar::Null) || !locateImage(m_fname, file.path, file.namedPath))
        return failSheet(EngineText::tr("Cannot find %1").arg(QDir::toNativeSeparators(file.path)));
    // A FILE line with no index point after it names nothing that is split:
    // the next one takes its place, as a second one before any track always did.
    if (m_fileHasIndex || m_sheet.files.isEmpty())
        m_sheet.files.append(file);
    else
        m_sheet.files.last() = file;
    m_fileHasIndex = false;
    return true;
}

bool SheetReader::handleTrack(const QString &digits, const QString &type)
{
    if (lastHasNoIndex())
        return failSheet(EngineText::tr("Track without an index found"));
    CueTrack track;
    track.number = digits;
    track.performer = m_sheet.performer;
    track.title = EngineText::tr("Track %1").arg(digits);
    track.audio = type.compare(QLatin1String("AUDIO"), Qt::CaseInsensitive) == 0;
    m_sheet.tracks.append(track);
    return true;
}

bool SheetReader::handleIndex01(qint64 position)
{
    if (!hasTrack())
        return failSheet(EngineText::tr("Index without a track found"));
    if (!lastHasNoIndex())
        return failSheet(EngineText::tr("Double index found"));
    m_sheet.tracks.last().file = currentFile();
    m_sheet.tracks.last().start = position;
    m_fileHasIndex = true;
    return true;
}

void SheetReader::handleIndex00(qint64 position)
{
    // Before any track there is nothing for a pregap to belong to.
    if (!hasTrack())
        return;
    m_sheet.tracks.last().pregapFile = currentFile();
    m_sheet.tracks.last().pregap = position;
    m_fileHasIndex = true;
}

bool SheetReader::finish()
{
    if (lastHasNoIndex())
        return failSheet(EngineText::tr("Track without an index found"));
    // Splitting such sheets would end in success with nothing written, or with
    // a track silently left out.
    const bool anyAudio = std::any_of(m_sheet.tracks.cbegin(), m_sheet.tracks.cend(),
        [](const CueTrack &track) { return track.audio; });
    if (!anyAudio)
        return failSheet(EngineText::tr("No track found"));
    if (!m_fileHasIndex)
        return fail(fnPrefix(m_fname) + EngineText::tr("'FILE' found after the last track"));
    if (!checkOrder())
        return false;
    // A sheet that names neither artist nor album would put every such disc into
    // one "Unknown Artist/Unknown Title" folder; its file name tells them apart.
    if (m_sheet.performer == EngineText::tr("Unknown Artist")
        && m_sheet.title == EngineText::tr("Unknown Title")) {
        m_sheet.performer = EngineText::tr("Various (No information)");
        m_sheet.title = bareFile(m_fname);
    }
    return m_host.goOn(m_fname);
}

// Within one file a track must not end before it starts: the next track's
// INDEX 00 (else its INDEX 01) and its INDEX 01 come no earlier.
bool SheetReader::checkOrder()
{
    const QList<CueTrack> &tracks = m_sheet.tracks;
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const CueTrack &track = tracks[i];
        // A CUESHEET block may leave a track without INDEX 01.
        if (track.start < 0)
            return failSheet(EngineText::tr("Track without an index found"));
        if (i + 1 == tracks.size())
            break;
        const CueTrack &next = tracks[i + 1];
        const bool pregapHere = next.pregap >= 0 && next.pregapFile == track.file;
        if ((pregapHere && next.pregap < track.start)
            || (next.file == track.file && next.start < track.start)) {
            return failSheet(EngineText::tr("Track %1 ends before it starts").arg(track.number));
        }
    }
    return true;
}

} // namespace

bool readCueSheet(EngineHost &host, const QString &fname, CueSheet &sheet, const QString &encoding)
{
    return SheetReader(host, fname, sheet, encoding).run();
}
