#include "waveread16.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

quint16 le16(const unsigned char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 le32(const unsigned char *p)
{
    return qFromLittleEndian<quint32>(p);
}

bool isId(const unsigned char *p, const char *id)
{
    return std::memcmp(p, id, 4) == 0;
}

// The 3-to-2 byte shuffle becomes vector code only with pshufb (SSSE3), which
// the x86-64 baseline lacks, so the loop gets one clone per CPU level; GCC at
// -O2 also has to be told that a loop with a remainder is worth vectorising.
#if defined(__x86_64__) && defined(__ELF__) && defined(__has_attribute)
#if __has_attribute(target_clones) && defined(__clang__)
#define SHUFFLE_CLONES __attribute__((target_clones("avx2", "ssse3", "default")))
#elif __has_attribute(target_clones)
#define SHUFFLE_CLONES                                                                             \
    __attribute__((target_clones("avx2", "ssse3", "default"), optimize("vect-cost-model=dynamic")))
#endif
#endif
#ifndef SHUFFLE_CLONES
#define SHUFFLE_CLONES
#endif

// Keeps the two upper bytes of every little-endian 24-bit sample.
SHUFFLE_CLONES void truncate24(
    unsigned char *__restrict out, const unsigned char *__restrict in, qint64 samples)
{
    for (qint64 i = 0; i < samples; ++i) {
        out[2 * i] = in[3 * i + 1];
        out[2 * i + 1] = in[3 * i + 2];
    }
}

} // namespace

bool WaveRead16::recognise(QIODevice &file)
{
    if (!file.seek(0))
        return false;
    const QByteArray head = file.read(12);
    return head.startsWith("RIFF") && head.mid(8) == "WAVE";
}

OpenedImage WaveRead16::openImage(const QString &path)
{
    auto wave = std::make_unique<WaveRead16>();
    if (wave->open(path) != Opened)
        return {};
    return {std::move(wave), QString()};
}

WaveRead16::WaveRead16() = default;

WaveRead16::~WaveRead16()
{
    file.close();
    delete[] buffer;
}

int WaveRead16::open(const QString &path)
{
    if (file.isOpen())
        file.close();
    dataOffset = 0;
    length = 0;
    loopStart = 0;
    loopLength = -1;
    dataFrames = -1;
    filePos = -1;
    file.setFileName(path);
    // Unbuffered, so that sample reads land in the caller's memory in one go
    // and no device buffer stands between the reader and the file position.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return CannotOpen;
    fileSize = file.size();

    unsigned char head[16];
    if (!readExact(head, sizeof head) || !isId(head, "RIFF")
        || std::memcmp(head + 8, "WAVEfmt ", 8) != 0) {
        file.close();
        return NotWave;
    }
    // Unsigned: an image between 2 and 4 GiB has a size field above 2^31.
    const qint64 walkLimit = qint64(le32(head + 4)) + 4;
    int result = readFormat();
    if (result == Opened)
        result = walkChunks(walkLimit);
    if (result != Opened)
        file.close();
    return result;
}

int WaveRead16::readFormat()
{
    unsigned char fmt[20];
    if (!readExact(fmt, sizeof fmt))
        return Unusable;
    channels = qint16(le16(fmt + 6));
    sampleRate = qint32(le32(fmt + 8));
    bitsPerSample = qint16(le16(fmt + 18));
    bytesPerSample = bitsPerSample / 8;
    // The body starts at byte 20; this skips any extension (sizes 18, 40).
    file.seek(20 + qint64(le32(fmt)));
    return Opened;
}

int WaveRead16::walkChunks(qint64 walkLimit)
{
    unsigned char header[8];
    // Every step moves at least 8 bytes forward, so the walk ends with the file.
    while (readExact(header, sizeof header)) {
        const qint64 bodyPos = file.pos();
        if (bodyPos >= walkLimit)
            break;
        const quint32 size = le32(header + 4);
        if (isId(header, "data")) {
            // Checked here, before the frame size divides anything.
            if (channels <= 0 || (bitsPerSample != 16 && bitsPerSample != 24))
                return Unusable;
            takeData(bodyPos, size);
        } else if (isId(header, "smpl")) {
            takeSampler(size);
        }
        // No pad byte is skipped after an odd-sized body: the next chunk is
        // taken to start right after it, as the images met so far are written.
        if (size >= fileSize - bodyPos || !file.seek(bodyPos + size))
            break;
    }
    // Without sample data there is no length to cut tracks from.
    return dataFrames >= 0 ? Opened : Unusable;
}

void WaveRead16::takeData(qint64 bodyPos, quint32 size)
{
    // An image cut short (an interrupted copy) declares more than it holds;
    // only frames that are really there count.
    const qint64 present = std::max<qint64>(0, std::min<qint64>(size, fileSize - bodyPos));
    dataOffset = bodyPos;
    dataFrames = present / (qint64(channels) * bytesPerSample);
    length = dataFrames;
    if (loopLength == -1) {
        loopStart = length;
        loopLength = 0;
    }
}

void WaveRead16::takeSampler(quint32 size)
{
    unsigned char record[60] = {};
    // A short body or file leaves the rest of the record zero.
    file.read(reinterpret_cast<char *>(record), std::min<qint64>(size, sizeof record));
    if (qint32(le32(record + 28)) <= 0)
        return;
    const qint64 start = le32(record + 44);
    qint64 end = qint64(le32(record + 48)) + 1;
    // A loop end past the sample data would make the last track read bytes the
    // file does not have.
    if (dataFrames >= 0)
        end = std::min(end, dataFrames);
    length = end;
    loopStart = std::min(start, end);
    loopLength = end - loopStart;
}

bool WaveRead16::readExact(unsigned char *dest, qint64 size)
{
    return file.read(reinterpret_cast<char *>(dest), size) == size;
}

bool WaveRead16::seekTo(qint64 offset)
{
    if (offset == filePos)
        return true;
    if (!file.seek(offset)) {
        filePos = -1;
        return false;
    }
    filePos = offset;
    return true;
}

qint64 WaveRead16::readFrames(char *dest, qint64 pos, qint64 count)
{
    if (!file.isOpen() || pos < 0 || count <= 0 || pos >= length)
        return 0;
    const qint64 frames = std::min(count, length - pos);
    const qint64 offset = dataOffset + pos * channels * bytesPerSample;
    return bytesPerSample == 2 ? read16(dest, offset, frames) : read24(dest, offset, frames);
}

qint64 WaveRead16::read16(char *dest, qint64 offset, qint64 frames)
{
    const qint64 frameSize = qint64(channels) * 2;
    if (!seekTo(offset))
        return 0;
    const qint64 got = file.read(dest, frames * frameSize);
    if (got < 0) {
        filePos = -1;
        return 0;
    }
    filePos += got;
    // Short when the file shrank after open: a torn last frame is not delivered.
    return got / frameSize;
}

qint64 WaveRead16::read24(char *dest, qint64 offset, qint64 frames)
{
    auto *out = reinterpret_cast<unsigned char *>(dest);
    return readConverted(offset, frames, [&out, this](const unsigned char *in, qint64 whole) {
        truncate24(out, in, whole * channels);
        out += whole * channels * 2;
    });
}

qint64 WaveRead16::readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count)
{
    if (!file.isOpen() || pos < 0 || count <= 0 || pos >= length)
        return 0;
    const qint64 frames = std::min(count, length - pos);
    const qint64 offset = dataOffset + pos * channels * bytesPerSample;
    const bool wide = bytesPerSample == 3;
    return readConverted(
        offset, frames, [&dest, wide, this](const unsigned char *in, qint64 whole) {
            const qint64 samples = whole * channels;
            if (wide) {
                for (qint64 i = 0; i < samples; ++i, in += 3)
                    dest[i]
                        = qint32(quint32(in[0]) << 8 | quint32(in[1]) << 16 | quint32(in[2]) << 24)
                        >> 8;
            } else {
                for (qint64 i = 0; i < samples; ++i, in += 2)
                    dest[i] = qint16(le16(in));
            }
            dest += samples;
        });
}

// Reads whole frames through the buffer, a piece at a time, and hands each
// piece to convert with its frame count.
template <typename Convert>
qint64 WaveRead16::readConverted(qint64 offset, qint64 frames, Convert convert)
{
    const qint64 frameSize = qint64(channels) * bytesPerSample;
    if (!buffer)
        buffer = new char[bufferSize];
    const qint64 piece = bufferSize / frameSize;
    qint64 delivered = 0;
    while (delivered < frames) {
        const qint64 n = std::min(piece, frames - delivered);
        if (!seekTo(offset + delivered * frameSize))
            break;
        const qint64 got = file.read(buffer, n * frameSize);
        if (got < 0) {
            filePos = -1;
            break;
        }
        filePos += got;
        const qint64 whole = got / frameSize;
        convert(reinterpret_cast<const unsigned char *>(buffer), whole);
        delivered += whole;
        if (whole < n)
            break;
    }
    return delivered;
}

qint64 WaveRead16::sendFrames(QFile &out, qint64 pos, qint64 count)
{
    if (bytesPerSample != 2 || !file.isOpen() || pos < 0 || count <= 0 || pos >= length)
        return 0;
    const qint64 frameSize = qint64(channels) * 2;
    const qint64 frames = std::min(count, length - pos);
    const SplicePipe::Moved moved = pipe.move(
        file.handle(), dataOffset + pos * frameSize, frames * frameSize, out.handle(), frameSize);
    return moved.writeFailed ? -1 : moved.bytes / frameSize;
}
