#include "avimage.h"

#include "enginetext.h"
#include "libav.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {

// The lossless codecs, and the integer PCM that AIFF, AIFF-C and Wave64 hold.
// Everything else, lossy or floating-point, would not give the CD's samples.
bool lossless(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_APE:
    case AV_CODEC_ID_TTA:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_S24BE:
    case AV_CODEC_ID_PCM_S32BE:
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S32LE:
        return true;
    default:
        return false;
    }
}

QString unsupported(AVCodecID id)
{
    const AVCodecDescriptor *codec = libav.avcodec_descriptor_get(id);
    if (!codec || !codec->long_name)
        return EngineText::tr("not a supported audio file");
    return EngineText::tr("%1 audio is not supported").arg(QString::fromUtf8(codec->long_name));
}

void store(char *dest, qint64 index, qint32 sample)
{
    qToLittleEndian<qint16>(qint16(sample), dest + 2 * index);
}

void store(qint32 *dest, qint64 index, qint32 sample)
{
    dest[index] = sample;
}

// Frames from on of a block, interleaved into dest from sample at on and
// shifted right; libavcodec gives samples of more than 16 bits left-justified
// in 32.
template <typename In, typename Out>
void interleave(Out *dest, qint64 at, const AVFrame *block, int channels, bool planar, qint64 from,
    qint64 count, int shift)
{
    const auto *const *data = reinterpret_cast<const In *const *>(block->extended_data);
    for (int c = 0; c < channels; ++c) {
        const In *in = planar ? data[c] + from : data[0] + from * channels + c;
        const qint64 step = planar ? 1 : channels;
        for (qint64 i = 0; i < count; ++i)
            store(dest, at + i * channels + c, qint32(in[i * step]) >> shift);
    }
}

} // namespace

bool AvImage::recognise(QIODevice &)
{
    return true;
}

OpenedImage AvImage::open(const QString &path)
{
    if (!LibAv::load())
        return {nullptr, EngineText::tr("libavformat, which reads this format, cannot be loaded")};
    // The libraries' own messages would reach the terminal; the log says what matters.
    libav.av_log_set_level(AV_LOG_QUIET);
    return started(std::unique_ptr<DecodedImage>(new AvImage(path)));
}

AvImage::~AvImage()
{
    libav.av_frame_free(&m_block);
    libav.av_packet_free(&m_packet);
    libav.avcodec_free_context(&m_codec);
    libav.avformat_close_input(&m_format);
}

QString AvImage::start()
{
    // Only the file itself: a playlist or reference format must not open
    // other files or addresses on the image's behalf.
    AVDictionary *options = nullptr;
    libav.av_dict_set(&options, "protocol_whitelist", "file", 0);
    const QByteArray url = "file:" + QFile::encodeName(m_path);
    const int opened = libav.avformat_open_input(&m_format, url.constData(), nullptr, &options);
    libav.av_dict_free(&options);
    if (opened < 0)
        return EngineText::tr("not a supported audio file");
    // The first audio stream. libavformat's own choice would pass over one
    // whose rate is known only after decoding a little, as in a lossy file
    // whose codec the reason names.
    for (unsigned i = 0; i < m_format->nb_streams && m_stream < 0; ++i) {
        if (m_format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            m_stream = int(i);
    }
    if (m_stream < 0)
        return EngineText::tr("not a supported audio file");
    const AVCodecID id = m_format->streams[m_stream]->codecpar->codec_id;
    if (!lossless(id))
        return unsupported(id);
    const QString reason = openDecoder();
    if (!reason.isEmpty())
        return reason;
    // What the header states; nothing is estimated from the file's size.
    const AVStream *stream = m_format->streams[m_stream];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        m_length = libav.av_rescale_q(stream->duration, stream->time_base, AVRational {1, m_rate});
    else
        m_length = wave64Frames();
    if (m_length <= 0)
        return ImageRefusal::unknownLength();
    m_packet = libav.av_packet_alloc();
    m_block = libav.av_frame_alloc();
    if (!m_packet || !m_block)
        return ImageRefusal::damaged();
    return QString();
}

// libavformat states a Wave64 stream's length only from a "fact" chunk, which
// PCM files need not have; their data chunk's size states it too. The reader
// stands at the start of the data, behind the chunk's 16-byte GUID and 64-bit
// size, which counts those 24 bytes.
qint64 AvImage::wave64Frames()
{
    const int frameBytes = m_format->streams[m_stream]->codecpar->block_align;
    AVIOContext *file = m_format->pb;
    const qint64 data = libav.avio_seek(file, 0, SEEK_CUR);
    if (std::strcmp(m_format->iformat->name, "w64") != 0 || frameBytes <= 0 || data < 24
        || libav.avio_seek(file, data - 8, SEEK_SET) < 0)
        return 0;
    const qint64 size = qint64(libav.avio_rl64(file));
    if (libav.avio_seek(file, data, SEEK_SET) < 0 || size < 24)
        return 0;
    return (size - 24) / frameBytes;
}

QString AvImage::openDecoder()
{
    const AVCodecParameters *stream = m_format->streams[m_stream]->codecpar;
    const AVCodec *decoder = libav.avcodec_find_decoder(stream->codec_id);
    m_codec = decoder ? libav.avcodec_alloc_context3(decoder) : nullptr;
    if (!m_codec || libav.avcodec_parameters_to_context(m_codec, stream) < 0)
        return ImageRefusal::damaged();
    // One thread, as everywhere in the program; and a checksum that fails is
    // damage, not something to decode past.
    m_codec->thread_count = 1;
    m_codec->err_recognition = AV_EF_CRCCHECK | AV_EF_BITSTREAM | AV_EF_EXPLODE;
    if (libav.avcodec_open2(m_codec, decoder, nullptr) < 0)
        return ImageRefusal::damaged();
    m_rate = m_codec->sample_rate;
    m_channels = m_codec->ch_layout.nb_channels;
    switch (libav.av_get_packed_sample_fmt(m_codec->sample_fmt)) {
    case AV_SAMPLE_FMT_S16:
        m_bits = 16;
        break;
    case AV_SAMPLE_FMT_S32:
        m_bits = m_codec->bits_per_raw_sample > 0 ? m_codec->bits_per_raw_sample : 32;
        break;
    case AV_SAMPLE_FMT_U8:
        return ImageRefusal::fewBits(8);
    default:
        return ImageRefusal::floatSamples();
    }
    if (m_bits < 16)
        return ImageRefusal::fewBits(m_bits);
    if (m_channels < 1 || m_channels > 8)
        return ImageRefusal::channels(m_channels);
    if (m_rate <= 0 || m_bits > 32)
        return ImageRefusal::damaged();
    return QString();
}

qint64 AvImage::readFrames(char *dest, qint64 pos, qint64 count)
{
    return readInto(dest, pos, count);
}

qint64 AvImage::readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count)
{
    return readInto(dest, pos, count);
}

template <typename Out>
qint64 AvImage::readInto(Out *dest, qint64 pos, qint64 count)
{
    if (m_failed || pos < 0 || count <= 0 || pos >= m_length)
        return 0;
    // The stream ended early (a cut-off download): nothing lies beyond.
    if (m_ended && pos >= m_decodePos)
        return 0;
    // Backwards, or so far ahead that decoding the gap would keep the event
    // loop waiting: a seek. A short gap (a pregap) is decoded and dropped.
    if ((pos < m_blockPos || pos - m_decodePos > framesPerTurn()) && !seekTo(pos))
        return 0;
    const qint64 wanted = qMin(count, m_length - pos);
    qint64 got = 0;
    while (got < wanted) {
        const qint64 next = pos + got;
        if (next >= m_decodePos) {
            if (!nextBlock())
                break;
            continue;
        }
        // A seek must land at or before the frame asked for.
        if (next < m_blockPos) {
            m_failed = true;
            break;
        }
        const qint64 n = qMin(wanted - got, m_decodePos - next);
        copyOut(dest, got * m_channels, next - m_blockPos, n, !std::is_same_v<Out, char>);
        got += n;
    }
    return got;
}

template <typename Out>
void AvImage::copyOut(Out *dest, qint64 at, qint64 from, qint64 count, bool atDepth) const
{
    const auto format = AVSampleFormat(m_block->format);
    const bool planar = libav.av_sample_fmt_is_planar(format);
    if (libav.av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_S16) {
        interleave<qint16>(dest, at, m_block, m_channels, planar, from, count, 0);
        return;
    }
    // The top 16 bits, or the sample at the image's own depth.
    const int shift = atDepth ? 32 - m_bits : 16;
    interleave<qint32>(dest, at, m_block, m_channels, planar, from, count, shift);
}

bool AvImage::seekTo(qint64 pos)
{
    const AVStream *stream = m_format->streams[m_stream];
    const qint64 at
        = libav.av_rescale_q_rnd(pos, AVRational {1, m_rate}, stream->time_base, AV_ROUND_DOWN);
    if (libav.av_seek_frame(m_format, m_stream, at, AVSEEK_FLAG_BACKWARD) < 0) {
        m_failed = true;
        return false;
    }
    libav.avcodec_flush_buffers(m_codec);
    m_blockPos = m_decodePos = -1;
    m_ended = false;
    return true;
}

// Decodes the next block, feeding the decoder packets as it asks for them.
bool AvImage::nextBlock()
{
    // libavcodec empties the block as soon as it is asked for the next one.
    m_blockPos = m_decodePos;
    for (;;) {
        int result = libav.avcodec_receive_frame(m_codec, m_block);
        if (result == 0)
            return takeBlock();
        if (result == AVERROR_EOF) {
            m_ended = true;
            return false;
        }
        if (result != AVERROR(EAGAIN)) {
            m_failed = true;
            return false;
        }
        result = libav.av_read_frame(m_format, m_packet);
        if (result == AVERROR_EOF) {
            libav.avcodec_send_packet(m_codec, nullptr); // drains what the decoder holds
            continue;
        }
        if (result < 0) {
            m_failed = true;
            return false;
        }
        // PCM cut off in the middle of a frame ends with the last whole one.
        const int frameBytes = m_format->streams[m_stream]->codecpar->block_align;
        if (libav.av_get_exact_bits_per_sample(m_codec->codec_id) > 0 && frameBytes > 0)
            m_packet->size -= m_packet->size % frameBytes;
        if (m_packet->stream_index == m_stream && m_packet->size > 0)
            result = libav.avcodec_send_packet(m_codec, m_packet);
        libav.av_packet_unref(m_packet);
        if (result < 0) {
            m_failed = true;
            return false;
        }
    }
}

// Places the block just decoded: after a seek where it says it lies, else
// right after the one before. A block that contradicts the stream is damage.
bool AvImage::takeBlock()
{
    qint64 at = m_decodePos;
    if (m_block->pts != AV_NOPTS_VALUE) {
        const AVStream *stream = m_format->streams[m_stream];
        const qint64 stated
            = libav.av_rescale_q(m_block->pts, stream->time_base, AVRational {1, m_rate});
        if (at < 0)
            at = stated;
    }
    if (at < 0 || m_block->ch_layout.nb_channels != m_channels
        || m_block->format != m_codec->sample_fmt || m_block->decode_error_flags
        || (m_block->flags & AV_FRAME_FLAG_CORRUPT)) {
        m_failed = true;
        return false;
    }
    m_blockPos = at;
    m_decodePos = at + m_block->nb_samples;
    return true;
}
