#include "embeddedsheet.h"

#include "flacimage.h"
#include "wavpackimage.h"

#include <FLAC/metadata.h>
#include <wavpack/wavpack.h>

#include <QFile>

#include <limits>
#include <memory>

namespace {

// A Vorbis comment's value when its name (any case) is the one asked for.
bool commentValue(
    const FLAC__StreamMetadata_VorbisComment_Entry &entry, const char *name, QByteArray &value)
{
    const QByteArray comment(reinterpret_cast<const char *>(entry.entry), qsizetype(entry.length));
    const qsizetype equals = comment.indexOf('=');
    if (equals < 0 || comment.left(equals).compare(name, Qt::CaseInsensitive) != 0)
        return false;
    value = comment.mid(equals + 1);
    return true;
}

// Offsets are 64-bit unsigned; an absurd one stays absurd without overflowing.
qint64 samplePosition(FLAC__uint64 offset)
{
    return qint64(qMin<FLAC__uint64>(offset, std::numeric_limits<qint64>::max() / 4));
}

void takeBlockTracks(const FLAC__StreamMetadata_CueSheet &block, CueSheet &sheet)
{
    for (uint32_t t = 0; t < block.num_tracks; ++t) {
        const FLAC__StreamMetadata_CueSheet_Track &source = block.tracks[t];
        // The lead-out only marks where the last track ends: at the image's end.
        if (source.number == 170 || source.number == 255)
            continue;
        CueTrack track;
        track.number = QStringLiteral("%1").arg(source.number, 2, 10, QLatin1Char('0'));
        track.performer = sheet.performer;
        track.audio = source.type == 0;
        for (unsigned i = 0; i < source.num_indices; ++i) {
            const qint64 at
                = samplePosition(source.offset) + samplePosition(source.indices[i].offset);
            if (source.indices[i].number == 1) {
                track.file = 0;
                track.start = at;
            } else if (source.indices[i].number == 0) {
                track.pregapFile = 0;
                track.pregap = at;
            }
        }
        sheet.tracks.append(track);
    }
}

struct FlacFound
{
    QByteArray text, title, artist, album;
    std::unique_ptr<FLAC__StreamMetadata, void (*)(FLAC__StreamMetadata *)> block {
        nullptr, FLAC__metadata_object_delete};
    unsigned rate = 0;
};

void takeComments(const FLAC__StreamMetadata_VorbisComment &comments, FlacFound &found)
{
    for (uint32_t i = 0; i < comments.num_comments; ++i) {
        const FLAC__StreamMetadata_VorbisComment_Entry &entry = comments.comments[i];
        commentValue(entry, "CUESHEET", found.text) || commentValue(entry, "TITLE", found.title)
            || commentValue(entry, "ARTIST", found.artist)
            || commentValue(entry, "ALBUM", found.album);
    }
}

// One walk over the metadata blocks: the stream's rate, its comments and its
// CUESHEET block.
bool readFlac(const QString &path, FlacFound &found)
{
    std::unique_ptr<FLAC__Metadata_SimpleIterator, void (*)(FLAC__Metadata_SimpleIterator *)> it(
        FLAC__metadata_simple_iterator_new(), FLAC__metadata_simple_iterator_delete);
    if (!it
        || !FLAC__metadata_simple_iterator_init(
            it.get(), QFile::encodeName(path).constData(), true, false)) {
        return false;
    }
    do {
        const FLAC__MetadataType type = FLAC__metadata_simple_iterator_get_block_type(it.get());
        if (type != FLAC__METADATA_TYPE_STREAMINFO && type != FLAC__METADATA_TYPE_VORBIS_COMMENT
            && type != FLAC__METADATA_TYPE_CUESHEET) {
            continue;
        }
        std::unique_ptr<FLAC__StreamMetadata, void (*)(FLAC__StreamMetadata *)> block(
            FLAC__metadata_simple_iterator_get_block(it.get()), FLAC__metadata_object_delete);
        if (!block)
            return false;
        if (type == FLAC__METADATA_TYPE_STREAMINFO)
            found.rate = block->data.stream_info.sample_rate;
        else if (type == FLAC__METADATA_TYPE_VORBIS_COMMENT)
            takeComments(block->data.vorbis_comment, found);
        else if (!found.block)
            found.block = std::move(block);
    } while (FLAC__metadata_simple_iterator_next(it.get()));
    return true;
}

bool readFlacSheet(const QString &path, EmbeddedSheet &sheet)
{
    FlacFound found;
    if (!readFlac(path, found))
        return false;
    if (!found.text.isNull()) {
        sheet.text = found.text;
        return true;
    }
    // Positions in samples need the rate to become time.
    if (!found.block || found.rate == 0)
        return false;
    sheet.fromBlock = true;
    sheet.block.performer = QString::fromUtf8(found.artist);
    sheet.block.title = QString::fromUtf8(found.album);
    sheet.block.positionRate = qint32(found.rate);
    takeBlockTracks(found.block->data.cue_sheet, sheet.block);
    if (!found.title.isNull()) {
        for (CueTrack &track : sheet.block.tracks)
            track.title = QString::fromUtf8(found.title);
    }
    return true;
}

bool readWavPackSheet(const QString &path, EmbeddedSheet &sheet)
{
    char error[80] = {};
    WavpackContext *context
        = WavpackOpenFileInput(QFile::encodeName(path).constData(), error, OPEN_TAGS, 0);
    if (!context)
        return false;
    // The tag's name is matched in any case by libwavpack.
    const int size = WavpackGetTagItem(context, "Cuesheet", nullptr, 0);
    if (size > 0) {
        QByteArray value(size + 1, '\0');
        WavpackGetTagItem(context, "Cuesheet", value.data(), int(value.size()));
        value.truncate(size);
        sheet.text = value;
    }
    WavpackCloseFile(context);
    return size > 0;
}

} // namespace

bool isSheetImage(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        && (FlacImage::recognise(file) || WavPackImage::recognise(file));
}

bool readEmbeddedSheet(const QString &path, EmbeddedSheet &sheet)
{
    sheet = EmbeddedSheet();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (FlacImage::recognise(file))
        return readFlacSheet(path, sheet);
    if (WavPackImage::recognise(file))
        return readWavPackSheet(path, sheet);
    return false;
}

bool hasEmbeddedSheet(const QString &path)
{
    EmbeddedSheet sheet;
    return readEmbeddedSheet(path, sheet);
}
