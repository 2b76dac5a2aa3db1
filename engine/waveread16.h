#pragma once

#include "sourceimage.h"
#include "splicepipe.h"

#include <QFile>
#include <QString>

// Reads the sample data of a RIFF WAVE image and delivers any run of frames as
// interleaved 16-bit little-endian samples, whatever the source width (16 or 24
// bits). A frame is one sample for every channel. Positions are 64-bit so that
// images past 2 GiB (24-bit 96 kHz albums) are read where they really are.
class WaveRead16 final : public SourceImage
{
public:
    // "RIFF", a size, "WAVE": everything else about the file is open()'s to judge.
    static bool recognise(QIODevice &file);
    // A WAV image that open() refuses has no reason shown beyond "Failed to open".
    static OpenedImage openImage(const QString &path);

    WaveRead16();
    ~WaveRead16() override;
    WaveRead16(const WaveRead16 &) = delete;
    WaveRead16 &operator=(const WaveRead16 &) = delete;

    // What open() answers; the values are the ones callers have always seen.
    enum OpenResult {
        Opened = 1,
        CannotOpen = -1,
        NotWave = -2,  // no "RIFF" and "WAVEfmt " at the start
        Unusable = -3, // a format that cannot be split, or no sample data
    };

    // One of OpenResult. Only whole frames that the file really holds count
    // towards length, so a truncated image or a loop end past the data never
    // promises bytes that are not there.
    int open(const QString &path);
    // Copies up to count frames starting at frame pos into dest as 16-bit
    // samples; dest must hold count * channels * 2 bytes. Returns how many whole
    // frames were delivered (0 at or past the end, fewer if the file shrank).
    qint64 readFrames(char *dest, qint64 pos, qint64 count) override;
    int sampleBits() const override { return bitsPerSample; }
    qint64 readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count) override;
    // 16-bit frames through a pipe, inside the kernel (see SplicePipe).
    qint64 sendFrames(QFile &out, qint64 pos, qint64 count) override;

    QString path() const override { return file.fileName(); }
    qint32 rate() const override { return sampleRate; }
    qint32 channelCount() const override { return channels; }
    qint64 frameCount() const override { return length; }

    qint64 dataOffset = 0;
    qint32 sampleRate = 0;
    qint32 channels = 0;
    qint32 bitsPerSample = 0;
    qint32 bytesPerSample = 0;
    qint64 length = 0;
    qint64 loopStart = 0;
    qint64 loopLength = -1;
    char *buffer = nullptr;
    qint32 bufferSize = 262144;
    QFile file;

private:
    int readFormat();
    int walkChunks(qint64 walkLimit);
    void takeData(qint64 bodyPos, quint32 size);
    void takeSampler(quint32 size);
    bool readExact(unsigned char *dest, qint64 size);
    bool seekTo(qint64 offset);
    qint64 read16(char *dest, qint64 offset, qint64 frames);
    qint64 read24(char *dest, qint64 offset, qint64 frames);
    template <typename Convert>
    qint64 readConverted(qint64 offset, qint64 frames, Convert convert);

    qint64 fileSize = 0;
    // Frames of the last "data" chunk that the file really holds; -1 before one.
    qint64 dataFrames = -1;
    // Where the next read will start; -1 when unknown. A sequential caller then
    // pays for no seek at all.
    qint64 filePos = -1;
    SplicePipe pipe;
};
