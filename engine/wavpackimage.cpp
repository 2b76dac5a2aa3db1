#include "wavpackimage.h"

#include <QFile>
#include <QtEndian>

#include <wavpack/wavpack.h>

#include <cstring>

namespace {

// Below this many frames a read is unpacked through the scratch buffer.
constexpr qint64 scratchFrames = 256;

// The top 16 bits of every sample. The 32-bit samples may lie in the same
// memory, at or after the 16-bit ones: each group is read whole before any of
// it is written over, and a group never writes past what it has read. Groups
// of eight let the compiler narrow them in vector registers; the overlap keeps
// it from doing so across the whole run.
void narrow(char *dest, const char *samples, qint64 count, int shift)
{
    constexpr qint64 group = 8;
    qint64 i = 0;
    for (; i + group <= count; i += group) {
        qint32 wide[group];
        qint16 narrowed[group];
        std::memcpy(wide, samples + 4 * i, sizeof wide);
        for (qint64 k = 0; k < group; ++k)
            narrowed[k] = qToLittleEndian(qint16(wide[k] >> shift));
        std::memcpy(dest + 2 * i, narrowed, sizeof narrowed);
    }
    for (; i < count; ++i) {
        const qint32 v = qFromUnaligned<qint32>(samples + 4 * i);
        qToLittleEndian<qint16>(qint16(v >> shift), dest + 2 * i);
    }
}

} // namespace

bool WavPackImage::recognise(QIODevice &file)
{
    return file.seek(0) && file.read(4) == "wvpk";
}

OpenedImage WavPackImage::open(const QString &path)
{
    return started(std::unique_ptr<DecodedImage>(new WavPackImage(path)));
}

WavPackImage::~WavPackImage()
{
    if (m_context)
        WavpackCloseFile(m_context);
}

bool WavPackImage::openContext()
{
    if (m_context)
        m_context = WavpackCloseFile(m_context);
    char error[80] = {};
    // A hybrid image is lossless only together with its correction file.
    m_context = WavpackOpenFileInput(QFile::encodeName(m_path).constData(), error, OPEN_WVC, 0);
    m_decodePos = 0;
    m_errors = m_context ? WavpackGetNumErrors(m_context) : 0;
    return m_context != nullptr;
}

QString WavPackImage::start()
{
    if (!openContext())
        return ImageRefusal::damaged();
    m_rate = qint32(WavpackGetSampleRate(m_context));
    m_channels = WavpackGetNumChannels(m_context);
    m_length = WavpackGetNumSamples64(m_context);
    m_bits = WavpackGetBitsPerSample(m_context);
    if (WavpackGetMode(m_context) & MODE_FLOAT)
        return ImageRefusal::floatSamples();
    if (m_bits < 16)
        return ImageRefusal::fewBits(m_bits);
    if (m_channels < 1 || m_channels > 8)
        return ImageRefusal::channels(m_channels);
    const int bytes = WavpackGetBytesPerSample(m_context);
    if (m_rate <= 0 || bytes < 2 || bytes > 4)
        return ImageRefusal::damaged();
    // -1 when the stream was packed from a pipe; see FlacImage::start().
    if (m_length <= 0)
        return ImageRefusal::unknownLength();
    // Samples come right-justified in as many bytes as the source had.
    m_shift = bytes * 8 - 16;
    m_bits = qMin(m_bits, bytes * 8);
    m_depthShift = bytes * 8 - m_bits;
    m_endAt = m_length;
    m_scratch.resize(size_t(scratchFrames * m_channels));
    return QString();
}

qint64 WavPackImage::readFrames(char *dest, qint64 pos, qint64 count)
{
    if (m_failed || pos < 0 || count <= 0 || pos >= m_endAt)
        return 0;
    if (!moveTo(pos))
        return 0;
    return unpack(dest, qMin(count, m_endAt - pos));
}

qint64 WavPackImage::readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count)
{
    if (m_failed || pos < 0 || count <= 0 || pos >= m_endAt)
        return 0;
    if (!moveTo(pos))
        return 0;
    const qint64 got = unpackSome(dest, qMin(count, m_endAt - pos));
    if (m_depthShift > 0) {
        for (qint64 i = 0; i < got * m_channels; ++i)
            dest[i] >>= m_depthShift;
    }
    return got;
}

bool WavPackImage::moveTo(qint64 pos)
{
    // A short gap ahead (a pregap) is unpacked and dropped.
    while (pos > m_decodePos && pos - m_decodePos <= framesPerTurn()) {
        const qint64 n = qMin(pos - m_decodePos, scratchFrames);
        if (unpackSome(m_scratch.data(), n) < n)
            return false;
    }
    if (pos == m_decodePos)
        return true;
    if (WavpackSeekSample64(m_context, pos)) {
        m_decodePos = pos;
        return true;
    }
    // libwavpack fails a seek past the end of a cut-off file (damage shows
    // when unpacking instead) and leaves its context unusable.
    m_endAt = pos;
    if (!openContext())
        m_failed = true;
    return false;
}

qint64 WavPackImage::unpack(char *dest, qint64 count)
{
    const qint64 frameBytes = qint64(m_channels) * 2;
    qint64 done = 0;
    while (done < count) {
        char *out = dest + done * frameBytes;
        // 32-bit samples take twice the room of what they become: unpack as
        // many as fit in the rest of dest, aligned, and narrow them there.
        const qint64 pad = qint64((4 - reinterpret_cast<quintptr>(out) % 4) % 4);
        qint64 n = ((count - done) * frameBytes - pad) / (frameBytes * 2);
        char *samples = out + pad;
        if (n < scratchFrames) {
            n = qMin(count - done, scratchFrames);
            samples = reinterpret_cast<char *>(m_scratch.data());
        }
        const qint64 got = unpackSome(reinterpret_cast<qint32 *>(samples), n);
        narrow(out, samples, got * m_channels, m_shift);
        done += got;
        if (got < n)
            break;
    }
    return done;
}

qint64 WavPackImage::unpackSome(qint32 *samples, qint64 frames)
{
    const qint64 got = WavpackUnpackSamples(m_context, samples, uint32_t(frames));
    // libwavpack counts a block that fails its checksum (and hands over
    // silence for it) or one that is missing: no frame of such a call may
    // reach a track.
    if (WavpackGetNumErrors(m_context) != m_errors) {
        m_failed = true;
        return 0;
    }
    m_decodePos += got;
    if (got < frames)
        m_endAt = m_decodePos;
    return got;
}
