#pragma once

#include <QString>

#include <limits>
#include <memory>

class QFile;

// The audio of a CD image as the track writer sees it, whatever the file
// holds: frames (one sample per channel) delivered as interleaved 16-bit
// little-endian samples. WAV, FLAC and WavPack readers implement it.
class SourceImage
{
public:
    virtual ~SourceImage() = default;

    virtual QString path() const = 0;
    virtual qint32 rate() const = 0;
    virtual qint32 channelCount() const = 0;
    // The frames the image promises: what its header states.
    virtual qint64 frameCount() const = 0;
    // Copies up to count frames starting at frame pos into dest, which holds
    // count * channels * 2 bytes. Fewer than asked means the audio ends there,
    // or, when readFailed() says so, that it could not be decoded.
    virtual qint64 readFrames(char *dest, qint64 pos, qint64 count) = 0;
    // The image's own sample width in bits, 16 to 32.
    virtual int sampleBits() const = 0;
    // Like readFrames, but into count * channels 32-bit samples at the image's own depth
    // (sign-extended, not shifted): what a FLAC track of the image holds.
    virtual qint64 readFramesAtDepth(qint32 *dest, qint64 pos, qint64 count) = 0;
    // Moves the same frames straight into out, at its file position, where
    // the image already holds them as the tracks do (16-bit WAV), so that
    // they never pass through the program; out is unbuffered, or its buffer
    // would be overtaken. Returns how many frames it moved (fewer than asked
    // where the file ends), 0 where the caller must use readFrames instead,
    // and -1 when writing to out failed.
    virtual qint64 sendFrames(QFile &out, qint64 pos, qint64 count)
    {
        Q_UNUSED(out);
        Q_UNUSED(pos);
        Q_UNUSED(count);
        return 0;
    }
    // True once a read met audio it could not decode. The frames delivered
    // before are good; nothing after them is.
    virtual bool readFailed() const { return false; }
    // How many frames may be asked for between two turns of the event loop.
    virtual qint64 framesPerTurn() const { return std::numeric_limits<qint64>::max(); }
};

// An image reader, or why there is none. A reason is given when the file is
// there but cannot be split; it is shown on a line of its own.
struct OpenedImage
{
    std::unique_ptr<SourceImage> image;
    QString reason;
};

// Opens an image by what its first bytes say it is, never by its name.
OpenedImage openImage(const QString &path);

// Decoding costs far more per frame than copying does: a decoded image is
// read in pieces of this many samples, a few milliseconds of work each, so
// that the event loop turns often enough and a stop lands at once.
constexpr qint64 decodedSamplesPerTurn = 1 << 17;

// Why an image that was recognised cannot be split, for the line shown under
// "Failed to open".
namespace ImageRefusal {
QString fewBits(int bits);
QString floatSamples();
QString unknownLength();
QString channels(int count);
QString damaged();
} // namespace ImageRefusal

// A sheet position (CD frames, 1/75 s, unless positionRate says otherwise) as
// a frame of an image at this rate, truncated. Absurd sheet positions land
// past the end of any image.
qint64 sourceFrame(qint64 position, qint32 rate, qint32 positionRate = 75);
