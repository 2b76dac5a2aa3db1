#pragma once

#include "decodedimage.h"

#include <vector>

class QIODevice;
typedef struct WavpackContext WavpackContext;

// A WavPack image read through libwavpack (with its correction file beside
// it, when there is one). libwavpack hands over 32-bit samples; they are
// unpacked straight into the caller's buffer, where they fit twice over until
// the last few frames, and narrowed to 16 bits in place.
class WavPackImage final : public DecodedImage
{
public:
    static bool recognise(QIODevice &file);
    static OpenedImage open(const QString &path);

    ~WavPackImage() override;

    qint64 readFrames(char *dest, qint64 pos, qint64 count) override;
    qint64 readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count) override;

private:
    explicit WavPackImage(const QString &path)
        : DecodedImage(path)
    {
    }
    bool openContext();
    QString start() override;
    bool moveTo(qint64 pos);
    qint64 unpack(char *dest, qint64 count);
    qint64 unpackSome(qint32 *samples, qint64 frames);

    WavpackContext *m_context = nullptr;
    int m_shift = 0;
    // How far libwavpack's samples stand above the image's depth: it hands
    // 20-bit samples over in the upper bits of 24.
    int m_depthShift = 0;
    // The sample index of the next frame libwavpack will unpack.
    qint64 m_decodePos = 0;
    // Where the audio was found to end (a cut-off file); m_length until then.
    qint64 m_endAt = 0;
    int m_errors = 0;
    // For the last few frames of a read, and for a gap that is dropped.
    std::vector<qint32> m_scratch;
};
