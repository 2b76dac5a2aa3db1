#pragma once

#include "cover.h"
#include "trackoutput.h"

#include <FLAC/stream_encoder.h>

#include <QByteArray>

// FLAC tracks at the image's own rate, channels and depth, through libFLAC's
// encoder at flac's default level, each with its tags, a seek table and the
// sheet's cover.
class FlacOutput final : public TrackOutput
{
public:
    FlacOutput(EngineHost &host, const QString &fname, const CueSheet &sheet, SourceImage &source);
    ~FlacOutput() override;
    FlacOutput(const FlacOutput &) = delete;
    FlacOutput &operator=(const FlacOutput &) = delete;

    QString suffix() const override;
    qint64 maxFrames() const override;
    qint64 framesPerTurn() const override;
    bool begin(QFile &out, const CueTrack &track, qint64 frames) override;
    bool moveChunk(
        QFile &out, SourceImage &source, qint64 position, qint64 frames, qint64 &got) override;
    bool finish(QFile &out, qint64 copied) override;

private:
    bool setUp(const CueTrack &track, qint64 frames);
    void drop();
    bool flush();

    static FLAC__StreamEncoderWriteStatus onWrite(const FLAC__StreamEncoder *,
        const FLAC__byte buffer[], size_t bytes, uint32_t, uint32_t, void *self);
    static FLAC__StreamEncoderSeekStatus onSeek(
        const FLAC__StreamEncoder *, FLAC__uint64 offset, void *self);
    static FLAC__StreamEncoderTellStatus onTell(
        const FLAC__StreamEncoder *, FLAC__uint64 *offset, void *self);

    const CueSheet &m_sheet;
    SourceImage &m_source;
    Cover m_cover;
    FLAC__StreamEncoder *m_encoder = nullptr;
    // The metadata blocks of the track being written; the encoder only
    // borrows them.
    QList<FLAC__StreamMetadata *> m_blocks;
    // The track file while a track is written; null once it is done or given up.
    QFile *m_out = nullptr;
    // The encoder writes a few kilobytes at a time: they are gathered here
    // and reach the file in large writes.
    QByteArray m_pending;
    bool m_writeFailed = false;
};
