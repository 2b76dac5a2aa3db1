#pragma once

#include "decodedimage.h"

#include <FLAC/stream_decoder.h>

#include <QByteArray>

class QIODevice;

// A FLAC image read through libFLAC. Frames are decoded straight into the
// caller's buffer; only the part of a block that the caller did not ask for
// waits in a buffer of one block, so that the next read carries on from it.
class FlacImage final : public DecodedImage
{
public:
    // "fLaC" at the start, or behind ID3v2 tags that a tagger put there.
    static bool recognise(QIODevice &file);
    static OpenedImage open(const QString &path);

    ~FlacImage() override;

    qint64 readFrames(char *dest, qint64 pos, qint64 count) override;
    qint64 readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count) override;

private:
    explicit FlacImage(const QString &path)
        : DecodedImage(path)
    {
    }
    QString start() override;
    qint64 read(char *dest, qint64 pos, qint64 count, bool atDepth);
    bool seekTo(qint64 pos);
    void takePending();
    void interleave(char *dest, const FLAC__int32 *const channels[], qint64 from, qint64 frames);
    void decode();

    static FLAC__StreamDecoderWriteStatus onFrame(const FLAC__StreamDecoder *,
        const FLAC__Frame *frame, const FLAC__int32 *const channels[], void *self);
    static void onMetadata(
        const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata, void *self);
    static void onError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *self);
    FLAC__StreamDecoderWriteStatus takeFrame(
        const FLAC__Frame *frame, const FLAC__int32 *const channels[]);

    FLAC__StreamDecoder *m_decoder = nullptr;
    unsigned m_maxBlock = 0;
    bool m_haveInfo = false;

    // The read in progress: frames go to m_dest from position m_next on.
    char *m_dest = nullptr;
    qint64 m_next = 0;
    qint64 m_wanted = 0;
    qint64 m_got = 0;
    // Whether the read in progress wants 32-bit samples at the image's depth
    // rather than 16-bit ones; m_frameBytes follows it.
    bool m_atDepth = false;
    qint64 m_frameBytes = 0;

    // The sample number of the next frame the decoder will hand over.
    qint64 m_decodePos = 0;
    // Decoded frames not asked for yet, as the read in progress wants them:
    // the tail of the last block, ending at m_decodePos.
    QByteArray m_pending;
    qint64 m_pendingFrames = 0;
    // The decoder reported damage; the next frame it hands over is not the
    // audio (libFLAC hands over silence for a frame that fails its checksum).
    bool m_damaged = false;
    bool m_ended = false;
};
