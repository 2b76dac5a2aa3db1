#include "flacoutput.h"

#include "enginehost.h"
#include "flactags.h"
#include "naming.h"
#include "sourceimage.h"

#include <FLAC/metadata.h>

#include <QFile>

namespace {

// The samples of one piece of a chunk, at the image's depth. Runs never
// overlap, so one buffer serves every track.
qint32 samples[1 << 18];

// What the encoder writes is handed to the file in pieces of about this size.
constexpr qsizetype writeBytes = 1 << 20;

// flac's own default level.
constexpr unsigned compressionLevel = 5;
// Seconds between seek points, as flac places them by default.
constexpr unsigned seekSpacing = 10;

} // namespace

FlacOutput::FlacOutput(
    EngineHost &host, const QString &fname, const CueSheet &sheet, SourceImage &source)
    : m_sheet(sheet)
    , m_source(source)
{
    QString reason;
    m_cover = findCover(fname, reason);
    if (!reason.isEmpty())
        host.information(fnPrefix(fname) + reason);
    m_pending.reserve(writeBytes + 65536);
}

FlacOutput::~FlacOutput()
{
    drop();
}

QString FlacOutput::suffix() const
{
    return flacFileSuffix;
}

// STREAMINFO counts samples in 36 bits.
qint64 FlacOutput::maxFrames() const
{
    return (qint64(1) << 36) - 1;
}

// Encoding costs about what decoding does: as many samples per turn.
qint64 FlacOutput::framesPerTurn() const
{
    return decodedSamplesPerTurn / qMax(1, m_source.channelCount());
}

bool FlacOutput::begin(QFile &out, const CueTrack &track, qint64 frames)
{
    drop();
    m_out = &out;
    m_writeFailed = false;
    m_pending.clear();
    if (setUp(track, frames)
        && FLAC__stream_encoder_init_stream(m_encoder, onWrite, onSeek, onTell, nullptr, this)
            == FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return flush();
    drop();
    return false;
}

bool FlacOutput::setUp(const CueTrack &track, qint64 frames)
{
    m_encoder = FLAC__stream_encoder_new();
    if (!m_encoder || !FLAC__stream_encoder_set_compression_level(m_encoder, compressionLevel)
        || !FLAC__stream_encoder_set_channels(m_encoder, unsigned(m_source.channelCount()))
        || !FLAC__stream_encoder_set_bits_per_sample(m_encoder, unsigned(m_source.sampleBits()))
        || !FLAC__stream_encoder_set_sample_rate(m_encoder, unsigned(m_source.rate()))
        || !FLAC__stream_encoder_set_total_samples_estimate(m_encoder, FLAC__uint64(frames)))
        return false;

    FLAC__StreamMetadata *seekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
    FLAC__StreamMetadata *comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    m_blocks = {seekTable, comments};
    if (!seekTable || !comments
        || !FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
            seekTable, unsigned(m_source.rate()) * seekSpacing, FLAC__uint64(frames))
        || !FLAC__metadata_object_seektable_template_sort(seekTable, true))
        return false;
    for (const Tag &tag : trackTags(m_sheet, track)) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(
                &entry, tag.first.constData(), tag.second.constData())
            || !FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, false))
            return false;
    }
    if (!m_cover.data.isEmpty()) {
        FLAC__StreamMetadata *picture = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
        m_blocks.append(picture);
        if (!picture
            || !FLAC__metadata_object_picture_set_mime_type(picture, m_cover.mimeType.data(), true)
            || !FLAC__metadata_object_picture_set_data(picture,
                reinterpret_cast<FLAC__byte *>(m_cover.data.data()),
                FLAC__uint32(m_cover.data.size()), true))
            return false;
        picture->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
        picture->data.picture.width = FLAC__uint32(m_cover.width);
        picture->data.picture.height = FLAC__uint32(m_cover.height);
        picture->data.picture.depth = FLAC__uint32(m_cover.depth);
        picture->data.picture.colors = FLAC__uint32(m_cover.colors);
    }
    return FLAC__stream_encoder_set_metadata(m_encoder, m_blocks.data(), unsigned(m_blocks.size()));
}

bool FlacOutput::moveChunk(
    QFile &, SourceImage &source, qint64 position, qint64 frames, qint64 &got)
{
    const qint64 channels = qMax(1, m_source.channelCount());
    const qint64 pieceFrames = qint64(std::size(samples)) / channels;
    got = 0;
    while (got < frames) {
        const qint64 want = qMin(frames - got, pieceFrames);
        const qint64 n = source.readFramesAtDepth(samples, position + got, want);
        if (n <= 0)
            return true;
        if (!FLAC__stream_encoder_process_interleaved(m_encoder, samples, unsigned(n)) || !flush())
            return false;
        got += n;
        if (n < want)
            return true;
    }
    return true;
}

// The encoder goes back to the start to fill in the sample count, the MD5
// and the seek points.
bool FlacOutput::finish(QFile &, qint64)
{
    const bool finished = FLAC__stream_encoder_finish(m_encoder) && flush();
    drop();
    return finished;
}

// Gives up the track in progress, if any, without writing to its file.
void FlacOutput::drop()
{
    m_out = nullptr;
    if (m_encoder)
        FLAC__stream_encoder_delete(m_encoder);
    m_encoder = nullptr;
    for (FLAC__StreamMetadata *block : std::as_const(m_blocks)) {
        if (block)
            FLAC__metadata_object_delete(block);
    }
    m_blocks.clear();
}

bool FlacOutput::flush()
{
    if (m_writeFailed || !m_out)
        return false;
    if (!m_pending.isEmpty() && m_out->write(m_pending) != m_pending.size())
        m_writeFailed = true;
    m_pending.clear();
    return !m_writeFailed;
}

FLAC__StreamEncoderWriteStatus FlacOutput::onWrite(const FLAC__StreamEncoder *,
    const FLAC__byte buffer[], size_t bytes, uint32_t, uint32_t, void *self)
{
    auto *output = static_cast<FlacOutput *>(self);
    if (!output->m_out || output->m_writeFailed)
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    output->m_pending.append(reinterpret_cast<const char *>(buffer), qsizetype(bytes));
    if (output->m_pending.size() >= writeBytes && !output->flush())
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus FlacOutput::onSeek(
    const FLAC__StreamEncoder *, FLAC__uint64 offset, void *self)
{
    auto *output = static_cast<FlacOutput *>(self);
    if (!output->flush() || !output->m_out->seek(qint64(offset)))
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus FlacOutput::onTell(
    const FLAC__StreamEncoder *, FLAC__uint64 *offset, void *self)
{
    auto *output = static_cast<FlacOutput *>(self);
    if (!output->m_out)
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = FLAC__uint64(output->m_out->pos() + output->m_pending.size());
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}
