#pragma once

#include "sourceimage.h"

// What every decoded image has in common: the stream's header, read once
// when the image is opened, and a decoder that may meet damage. Decoding costs
// far more per frame than copying, so it runs in pieces between turns of the
// event loop. FLAC, WavPack and the images read through libavcodec build on it.
class DecodedImage : public SourceImage
{
public:
    // A decoder's state belongs to one image.
    DecodedImage(const DecodedImage &) = delete;
    DecodedImage &operator=(const DecodedImage &) = delete;

    QString path() const final { return m_path; }
    qint32 rate() const final { return m_rate; }
    qint32 channelCount() const final { return m_channels; }
    qint64 frameCount() const final { return m_length; }
    bool readFailed() const final { return m_failed; }
    qint64 framesPerTurn() const final { return decodedSamplesPerTurn / m_channels; }
    int sampleBits() const final { return m_bits; }

protected:
    explicit DecodedImage(const QString &path)
        : m_path(path)
    {
    }
    // Reads the header and checks that the image can be split; the reason
    // when it cannot.
    virtual QString start() = 0;
    // The image once started, or why it cannot be split.
    static OpenedImage started(std::unique_ptr<DecodedImage> image);

    const QString m_path;
    qint32 m_rate = 0;
    qint32 m_channels = 0;
    int m_bits = 0;
    qint64 m_length = 0;
    bool m_failed = false;
};
