#pragma once

#include "sourceimage.h"

#include <FLAC/stream_decoder.h>

#include <QByteArray>

class QIODevice;

// A FLAC image read through libFLAC. Frames are decoded straight into the
// caller's buffer; only the part of a block that the caller did not ask for
// waits in a buffer of one block, so that the next read carries on from it.
class FlacImage final : public SourceImage
{
public:
    // "fLaC" at the start, or behind ID3v2 tags that a tagger put there.
    static bool recognise(QIODevice &file);
    static OpenedImage open(const QString &path);

    ~FlacImage() override;
    FlacImage(const FlacImage &) = delete;
    FlacImage &operator=(const FlacImage &) = delete;

    QString path() const override { return m_path; }
    qint32 rate() const override { return m_rate; }
    qint32 channelCount() const override { return m_channels; }
    int sampleBits() const override { return m_bits; }
    qint64 frameCount() const override { return m_length; }
    qint64 readFrames(char *dest, qint64 pos, qint64 count) override;
    bool readFailed() const override { return m_failed; }
    qint64 framesPerTurn() const override;

private:
    explicit FlacImage(const QString &path);
    QString start();
    bool seekTo(qint64 pos);
    void takePending();
    void decode();

    static FLAC__StreamDecoderWriteStatus onFrame(const FLAC__StreamDecoder *,
        const FLAC__Frame *frame, const FLAC__int32 *const channels[], void *self);
    static void onMetadata(
        const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata, void *self);
    static void onError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *self);
    FLAC__StreamDecoderWriteStatus takeFrame(
        const FLAC__Frame *frame, const FLAC__int32 *const channels[]);

    const QString m_path;
    FLAC__StreamDecoder *m_decoder = nullptr;
    qint32 m_rate = 0;
    qint32 m_channels = 0;
    int m_bits = 0;
    qint64 m_length = 0;
    unsigned m_maxBlock = 0;
    bool m_haveInfo = false;

    // The read in progress: frames go to m_dest from position m_next on.
    char *m_dest = nullptr;
    qint64 m_next = 0;
    qint64 m_wanted = 0;
    qint64 m_got = 0;

    // The sample number of the next frame the decoder will hand over.
    qint64 m_decodePos = 0;
    // Decoded frames not asked for yet, as 16-bit samples: the tail of the
    // last block, ending at m_decodePos.
    QByteArray m_pending;
    qint64 m_pendingFrames = 0;
    // The decoder reported damage; the next frame it hands over is not the
    // audio (libFLAC hands over silence for a frame that fails its checksum).
    bool m_damaged = false;
    bool m_ended = false;
    bool m_failed = false;
};
