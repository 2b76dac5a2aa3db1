#pragma once

#include "sourceimage.h"

#include <vector>

class QIODevice;
typedef struct WavpackContext WavpackContext;

// A WavPack image read through libwavpack (with its correction file beside
// it, when there is one). libwavpack hands over 32-bit samples; they are
// unpacked straight into the caller's buffer, where they fit twice over until
// the last few frames, and narrowed to 16 bits in place.
class WavPackImage final : public SourceImage
{
public:
    static bool recognise(QIODevice &file);
    static OpenedImage open(const QString &path);

    ~WavPackImage() override;
    WavPackImage(const WavPackImage &) = delete;
    WavPackImage &operator=(const WavPackImage &) = delete;

    QString path() const override { return m_path; }
    qint32 rate() const override { return m_rate; }
    qint32 channelCount() const override { return m_channels; }
    int sampleBits() const override { return m_bits; }
    qint64 frameCount() const override { return m_length; }
    qint64 readFrames(char *dest, qint64 pos, qint64 count) override;
    bool readFailed() const override { return m_failed; }
    qint64 framesPerTurn() const override;

private:
    explicit WavPackImage(const QString &path)
        : m_path(path)
    {
    }
    bool openContext();
    QString start();
    bool moveTo(qint64 pos);
    qint64 unpack(char *dest, qint64 count);
    qint64 unpackSome(qint32 *samples, qint64 frames);

    const QString m_path;
    WavpackContext *m_context = nullptr;
    qint32 m_rate = 0;
    qint32 m_channels = 0;
    int m_bits = 0;
    int m_shift = 0;
    qint64 m_length = 0;
    // The sample index of the next frame libwavpack will unpack.
    qint64 m_decodePos = 0;
    // Where the audio was found to end (a cut-off file); m_length until then.
    qint64 m_endAt = 0;
    int m_errors = 0;
    bool m_failed = false;
    // For the last few frames of a read, and for a gap that is dropped.
    std::vector<qint32> m_scratch;
};
