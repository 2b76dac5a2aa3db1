#pragma once

#include "decodedimage.h"

class QIODevice;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

// An image that libavformat unpacks and libavcodec decodes: Monkey's Audio,
// TTA, Apple Lossless, and the integer PCM of AIFF, AIFF-C and Wave64. Only
// lossless integer streams are split. libavcodec hands over a block of frames
// at a time; the part a read did not ask for waits in it for the next read.
class AvImage final : public DecodedImage
{
public:
    // libavformat tells the format by content itself: this reader takes
    // whatever the readers before it in the format table did not recognise.
    static bool recognise(QIODevice &file);
    static OpenedImage open(const QString &path);

    ~AvImage() override;

    qint64 readFrames(char *dest, qint64 pos, qint64 count) override;
    qint64 readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count) override;

private:
    explicit AvImage(const QString &path)
        : DecodedImage(path)
    {
    }
    QString start() override;
    QString openDecoder();
    qint64 wave64Frames();
    template <typename Out>
    qint64 readInto(Out *dest, qint64 pos, qint64 count);
    template <typename Out>
    void copyOut(Out *dest, qint64 at, qint64 from, qint64 count, bool atDepth) const;
    bool seekTo(qint64 pos);
    bool nextBlock();
    bool takeBlock();

    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_block = nullptr;
    int m_stream = -1;
    // The sample numbers of the block's first frame and of the frame after
    // its last; both -1 after a seek, until a block states where it lies.
    qint64 m_blockPos = 0;
    qint64 m_decodePos = 0;
    bool m_ended = false;
};
