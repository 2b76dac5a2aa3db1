#pragma once

#include "trackoutput.h"

// Canonical 16-bit WAV tracks: a 44-byte header and the image's samples cut
// to their upper 16 bits.
class WavOutput final : public TrackOutput
{
public:
    explicit WavOutput(SourceImage &source);

    QString suffix() const override;
    qint64 maxFrames() const override;
    qint64 framesPerTurn() const override;
    bool begin(QFile &out, const CueTrack &track, qint64 frames) override;
    bool moveChunk(
        QFile &out, SourceImage &source, qint64 position, qint64 frames, qint64 &got) override;
    bool finish(QFile &out, qint64 copied) override;

private:
    void fillHeader(char *header, qint64 dataBytes) const;

    SourceImage &m_source;
    // Output bytes per frame. The reader refuses images without channels; the
    // floor only keeps the divisions below defined.
    const qint64 m_frameBytes;
};
