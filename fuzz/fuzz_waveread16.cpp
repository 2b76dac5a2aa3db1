#include "waveread16.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// The reader works on a path, so every input goes through one file per process:
// in memory where possible, since truncating a file on ext4 costs a millisecond.
const QByteArray &scratchPath()
{
    static const QByteArray path = [] {
        const QByteArray dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        QByteArray p = dir + "/fuzz_waveread16." + QByteArray::number(getpid()) + ".wav";
        std::atexit([] { std::remove(scratchPath().constData()); });
        return p;
    }();
    return path;
}

bool writeScratch(const uint8_t *data, size_t size)
{
    FILE *f = std::fopen(scratchPath().constData(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!writeScratch(data, size))
        return 0;
    WaveRead16 reader;
    if (reader.open(QString::fromLocal8Bit(scratchPath())) != 1)
        return 0;

    // Every frame promised must be in the file.
    const qint64 frameSize = qint64(reader.channels) * reader.bytesPerSample;
    require(reader.length >= 0 && reader.dataOffset <= qint64(size));
    require(reader.length <= (qint64(size) - reader.dataOffset) / frameSize);

    static char dest[1 << 20];
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
    return 0;
}
