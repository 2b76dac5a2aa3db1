#include "waveread16.h"

#include "scratchfile.h"

#include <QFile>
#include <QString>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// What a 16-bit image sends into a track must be what it reads, byte for byte.
void compareSentWithRead(WaveRead16 &reader, char *dest, char *sentBytes, qint64 step)
{
    static const int sink = memfd_create("sent", MFD_CLOEXEC);
    require(sink >= 0 && ftruncate(sink, 0) == 0 && lseek(sink, 0, SEEK_SET) == 0);
    QFile sent;
    require(sent.open(
        sink, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle));
    qint64 pos = 0;
    for (qint64 n; pos < reader.length && (n = reader.sendFrames(sent, pos, step)) > 0;)
        pos += n;
    require(pos == (reader.bytesPerSample == 2 ? reader.length : 0));
    const qint64 frameSize = qint64(reader.channels) * 2;
    for (qint64 at = 0; at < pos; at += step) {
        const qint64 got = reader.readFrames(dest, at, step);
        const ssize_t bytes = ssize_t(got * frameSize);
        require(pread(sink, sentBytes, size_t(bytes), off_t(at * frameSize)) == bytes);
        require(std::memcmp(dest, sentBytes, size_t(bytes)) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!writeScratch(data, size))
        return 0;
    WaveRead16 reader;
    if (reader.open(QString::fromLocal8Bit(scratchPath())) != WaveRead16::Opened)
        return 0;

    // Every frame promised must be in the file.
    const qint64 frameSize = qint64(reader.channels) * reader.bytesPerSample;
    require(reader.length >= 0 && reader.dataOffset <= qint64(size));
    require(reader.length <= (qint64(size) - reader.dataOffset) / frameSize);

    static char dest[1 << 20];
    static char sentBytes[1 << 20];
    const qint64 step = qint64(sizeof dest) / (qint64(reader.channels) * 2);
    qint64 pos = 0;
    while (pos < reader.length) {
        const qint64 got = reader.readFrames(dest, pos, step);
        require(got > 0 && got <= step);
        pos += got;
    }
    // Backwards and past the end, where a stale file position or a negative
    // count would show.
    require(reader.readFrames(dest, reader.length / 2, 1) == (reader.length > 0 ? 1 : 0));
    require(reader.readFrames(dest, reader.length, step) == 0);
    require(reader.readFrames(dest, reader.length + 7, 1) == 0);
    compareSentWithRead(reader, dest, sentBytes, step);
    return 0;
}
