#include "sourceimage.h"

#include "scratchfile.h"

#include <QString>

namespace {

// A header may promise far more audio than a few bytes can hold, and a
// decoder may make long runs of silence from little; a run is cut here so
// that one input stays quick.
constexpr qint64 maxFrames = 1 << 21;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!writeScratch(data, size))
        return 0;
    const OpenedImage opened = openImage(QString::fromLocal8Bit(scratchPath()));
    if (!opened.image)
        return 0;
    SourceImage &image = *opened.image;
    const qint32 channels = image.channelCount();
    require(channels >= 1 && image.frameCount() >= 0);

    // Every frame in order, in the pieces the track writer asks for.
    static char dest[8 << 20];
    const qint64 step = std::min<qint64>(image.framesPerTurn(), sizeof dest / (2 * channels));
    require(step > 0);
    qint64 pos = 0;
    while (pos < std::min(image.frameCount(), maxFrames)) {
        const qint64 got = image.readFrames(dest, pos, step);
        require(got >= 0 && got <= step && got <= image.frameCount() - pos);
        if (got < step && !image.readFailed() && pos + got < image.frameCount()) {
            // Ended early: the audio stops there for good.
            require(image.readFrames(dest, pos + got, 1) == 0);
        }
        if (got == 0)
            break;
        pos += got;
    }
    // Backwards (a seek) and past the end.
    const bool failed = image.readFailed();
    const qint64 back = image.readFrames(dest, pos / 2, 1);
    require(back >= 0 && back <= 1 && (!failed || back == 0));
    require(image.readFrames(dest, image.frameCount(), step) == 0);
    require(image.readFrames(dest, -1, 1) == 0);
    return 0;
}
