#include "flacimage.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {

// The top 16 bits of every sample, channels interleaved; no rounding, as for
// 24-bit WAV images.
void interleave16(char *dest, const FLAC__int32 *const channels[], int count, qint64 from,
    qint64 frames, int shift)
{
    auto *out = reinterpret_cast<uchar *>(dest);
    if (count == 2) {
        const FLAC__int32 *left = channels[0] + from;
        const FLAC__int32 *right = channels[1] + from;
        for (qint64 i = 0; i < frames; ++i, out += 4) {
            qToLittleEndian<qint16>(qint16(left[i] >> shift), out);
            qToLittleEndian<qint16>(qint16(right[i] >> shift), out + 2);
        }
        return;
    }
    for (qint64 i = from; i < from + frames; ++i) {
        for (int c = 0; c < count; ++c, out += 2)
            qToLittleEndian<qint16>(qint16(channels[c][i] >> shift), out);
    }
}

// Every sample as libFLAC hands it over, channels interleaved.
void interleave32(
    char *dest, const FLAC__int32 *const channels[], int count, qint64 from, qint64 frames)
{
    auto *out = reinterpret_cast<qint32 *>(dest);
    for (qint64 i = from; i < from + frames; ++i) {
        for (int c = 0; c < count; ++c)
            *out++ = channels[c][i];
    }
}

} // namespace

bool FlacImage::recognise(QIODevice &file)
{
    qint64 at = 0;
    for (;;) {
        if (!file.seek(at))
            return false;
        const QByteArray head = file.read(10);
        if (head.startsWith("fLaC"))
            return true;
        if (head.size() < 10 || !head.startsWith("ID3"))
            return false;
        // The tag's size is four 7-bit bytes and leaves out its 10-byte header
        // and, when flag 0x10 says there is one, a 10-byte footer.
        const auto *h = reinterpret_cast<const uchar *>(head.constData());
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80)
            return false;
        const qint64 size = (qint64(h[6]) << 21) | (h[7] << 14) | (h[8] << 7) | h[9];
        at += 10 + size + ((h[5] & 0x10) ? 10 : 0);
    }
}

OpenedImage FlacImage::open(const QString &path)
{
    return started(std::unique_ptr<DecodedImage>(new FlacImage(path)));
}

FlacImage::~FlacImage()
{
    if (m_decoder)
        FLAC__stream_decoder_delete(m_decoder); // finishes it, closing the file
}

QString FlacImage::start()
{
    m_decoder = FLAC__stream_decoder_new();
    if (!m_decoder
        || FLAC__stream_decoder_init_file(
               m_decoder, QFile::encodeName(m_path).constData(), onFrame, onMetadata, onError, this)
            != FLAC__STREAM_DECODER_INIT_STATUS_OK
        || !FLAC__stream_decoder_process_until_end_of_metadata(m_decoder) || !m_haveInfo
        || m_rate <= 0 || m_maxBlock == 0)
        return ImageRefusal::damaged();
    if (m_bits < 16)
        return ImageRefusal::fewBits(m_bits);
    // A stream written where its length could not be known (from a pipe) says
    // 0; guessing it would mean decoding the whole image twice, or cutting the
    // last track at a place nobody chose.
    if (m_length <= 0)
        return ImageRefusal::unknownLength();
    m_pending.resize(qsizetype(m_maxBlock) * m_channels * 4);
    m_frameBytes = qint64(m_channels) * 2;
    m_damaged = false;
    return QString();
}

qint64 FlacImage::readFrames(char *dest, qint64 pos, qint64 count)
{
    return read(dest, pos, count, false);
}

qint64 FlacImage::readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count)
{
    return read(reinterpret_cast<char *>(dest), pos, count, true);
}

qint64 FlacImage::read(char *dest, qint64 pos, qint64 count, bool atDepth)
{
    // The pending frames are in the other width: decode them again.
    if (atDepth != m_atDepth) {
        m_atDepth = atDepth;
        m_frameBytes = qint64(m_channels) * (atDepth ? 4 : 2);
        m_pendingFrames = 0;
    }
    if (m_failed || pos < 0 || count <= 0 || pos >= m_length)
        return 0;
    // The stream ended early (a cut-off download): nothing lies beyond.
    if (m_ended && pos >= m_decodePos)
        return 0;
    m_dest = dest;
    m_next = pos;
    m_wanted = qMin(count, m_length - pos);
    m_got = 0;
    if (pos >= m_decodePos - m_pendingFrames && pos < m_decodePos) {
        takePending();
    } else if (pos < m_decodePos || pos - m_decodePos > framesPerTurn()) {
        // Backwards, or so far ahead that decoding the gap would keep the
        // event loop waiting: an exact seek.
        if (!seekTo(pos))
            return m_got;
    } else {
        // A short gap (a pregap) is decoded and dropped on the way.
        m_pendingFrames = 0;
    }
    decode();
    return m_got;
}

void FlacImage::takePending()
{
    const qint64 frameBytes = m_frameBytes;
    const qint64 skip = m_next - (m_decodePos - m_pendingFrames);
    const qint64 first = m_pending.size() / frameBytes - m_pendingFrames + skip;
    const qint64 n = qMin(m_wanted, m_pendingFrames - skip);
    std::memcpy(m_dest, m_pending.constData() + first * frameBytes, size_t(n * frameBytes));
    m_got += n;
    m_next += n;
    m_pendingFrames -= skip + n;
}

bool FlacImage::seekTo(qint64 pos)
{
    m_pendingFrames = 0;
    m_ended = false;
    m_damaged = false;
    m_decodePos = pos;
    // The frame holding pos reaches onFrame during the seek, cut to start at
    // pos. libFLAC keeps quiet about damage while it seeks and just fails, so
    // a failure cannot be told from an image cut off before pos: either way
    // the audio there cannot be had.
    if (!FLAC__stream_decoder_seek_absolute(m_decoder, FLAC__uint64(pos)))
        m_failed = true;
    return !m_failed;
}

void FlacImage::decode()
{
    while (m_got < m_wanted && !m_failed && !m_ended) {
        const bool ok = FLAC__stream_decoder_process_single(m_decoder);
        const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(m_decoder);
        if (state == FLAC__STREAM_DECODER_END_OF_STREAM) {
            // libFLAC reports lost sync where a cut-off file ends in the middle
            // of a frame; with nothing handed over after it, that is the end
            // of the audio, not damage in it.
            m_ended = true;
            m_damaged = false;
        } else if (!ok || state > FLAC__STREAM_DECODER_END_OF_STREAM) {
            m_failed = true;
        }
    }
}

FLAC__StreamDecoderWriteStatus FlacImage::onFrame(const FLAC__StreamDecoder *,
    const FLAC__Frame *frame, const FLAC__int32 *const channels[], void *self)
{
    return static_cast<FlacImage *>(self)->takeFrame(frame, channels);
}

void FlacImage::onMetadata(
    const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata, void *self)
{
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
        return;
    auto *image = static_cast<FlacImage *>(self);
    const FLAC__StreamMetadata_StreamInfo &info = metadata->data.stream_info;
    image->m_rate = qint32(info.sample_rate);
    image->m_channels = qint32(info.channels);
    image->m_bits = int(info.bits_per_sample);
    image->m_length = qint64(info.total_samples);
    image->m_maxBlock = info.max_blocksize;
    image->m_haveInfo = true;
}

void FlacImage::onError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *self)
{
    static_cast<FlacImage *>(self)->m_damaged = true;
}

FLAC__StreamDecoderWriteStatus FlacImage::takeFrame(
    const FLAC__Frame *frame, const FLAC__int32 *const channels[])
{
    const FLAC__FrameHeader &header = frame->header;
    // A frame after reported damage, a frame that does not follow the last
    // one (a gap) or one that contradicts the stream's header is not audio
    // that may go into a track.
    if (m_damaged || header.number_type != FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
        || qint64(header.number.sample_number) != m_decodePos || int(header.channels) != m_channels
        || int(header.bits_per_sample) != m_bits || header.blocksize > m_maxBlock) {
        m_failed = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const qint64 size = header.blocksize;
    const qint64 frameBytes = m_frameBytes;
    // Frames before m_next belong to a gap that is being dropped.
    const qint64 skip = qBound<qint64>(0, m_next - m_decodePos, size);
    const qint64 take = qMin(size - skip, m_wanted - m_got);
    interleave(m_dest + m_got * frameBytes, channels, skip, take);
    m_got += take;
    m_next += take;
    m_decodePos += size;
    // The rest of the block waits at the end of m_pending for the next read.
    m_pendingFrames = size - skip - take;
    const qint64 firstPending = m_pending.size() / frameBytes - m_pendingFrames;
    interleave(
        m_pending.data() + firstPending * frameBytes, channels, skip + take, m_pendingFrames);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacImage::interleave(
    char *dest, const FLAC__int32 *const channels[], qint64 from, qint64 frames)
{
    if (m_atDepth)
        interleave32(dest, channels, m_channels, from, frames);
    else
        interleave16(dest, channels, m_channels, from, frames, m_bits - 16);
}
