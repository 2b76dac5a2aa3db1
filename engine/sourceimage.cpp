#include "sourceimage.h"

#include "avimage.h"
#include "enginetext.h"
#include "flacimage.h"
#include "waveread16.h"
#include "wavpackimage.h"

#include <QFile>

#include <limits>

namespace {

// The formats an image may be in, told apart by their first bytes. Another
// format is one more reader class and one more line here.
struct ImageFormat
{
    bool (*recognise)(QIODevice &file);
    OpenedImage (*open)(const QString &path);
};

const ImageFormat formats[] = {
    {WaveRead16::recognise, WaveRead16::openImage},
    {FlacImage::recognise, FlacImage::open},
    {WavPackImage::recognise, WavPackImage::open},
    // Last: it takes whatever the signatures above did not claim.
    {AvImage::recognise, AvImage::open},
};

} // namespace

OpenedImage openImage(const QString &path)
{
    QFile file(path);
    // A file that cannot be read at all has no reason of its own to give.
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const ImageFormat &format : formats) {
        if (format.recognise(file)) {
            file.close();
            return format.open(path);
        }
    }
    return {};
}

qint64 sourceFrame(qint64 position, qint32 rate, qint32 positionRate)
{
    if (position <= 0 || rate <= 0 || positionRate <= 0)
        return 0;
    // Saturated, so that absurd sheet positions cannot overflow.
    if (position > std::numeric_limits<qint64>::max() / rate)
        return std::numeric_limits<qint64>::max();
    return position * rate / positionRate;
}

namespace ImageRefusal {

QString fewBits(int bits)
{
    return EngineText::tr("%1-bit samples; at least 16 bits are needed").arg(bits);
}

QString floatSamples()
{
    return EngineText::tr("floating-point samples; only integer samples can be split");
}

QString unknownLength()
{
    return EngineText::tr("the stream's header does not state its length");
}

QString channels(int count)
{
    return EngineText::tr("%1 channels; at most 8 can be split").arg(count);
}

QString damaged()
{
    return EngineText::tr("the stream's header is damaged or of an unknown kind");
}

} // namespace ImageRefusal
