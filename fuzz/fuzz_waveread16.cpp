#include "waveread16.h"

#include "scratchfile.h"

#include <QString>

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
