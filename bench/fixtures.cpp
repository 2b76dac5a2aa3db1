#include "fixtures.h"

#include <QDir>
#include <QtEndian>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

const qint64 ioBlock = 4 << 20;

void canonicalHeader(char *h, int channels, int rate, int bits, qint64 dataBytes)
{
    std::memcpy(h, "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0", 22);
    qToLittleEndian<quint32>(quint32(dataBytes + 36), h + 4);
    qToLittleEndian<quint16>(quint16(channels), h + 22);
    qToLittleEndian<quint32>(quint32(rate), h + 24);
    qToLittleEndian<quint32>(quint32(rate * channels * (bits / 8)), h + 28);
    qToLittleEndian<quint16>(quint16(channels * (bits / 8)), h + 32);
    qToLittleEndian<quint16>(quint16(bits), h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(quint32(dataBytes), h + 40);
}

// xorshift64*: noise at memory speed, so generating gigabytes costs seconds.
struct Noise
{
    quint64 state;
    void fill(char *out, qint64 bytes)
    {
        for (qint64 i = 0; i < bytes; i += 8) {
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
            const quint64 v = state * 0x2545F4914F6CDD1DULL;
            std::memcpy(out + i, &v, 8);
        }
    }
};

// Track lengths that vary like an album's, from the same seed every time.
QList<qint64> trackStarts(qint64 totalCd, int tracks, quint64 seed)
{
    QList<qint64> weights;
    qint64 sum = 0;
    Noise noise {seed * 0x9E3779B97F4A7C15ULL + 1};
    for (int t = 0; t < tracks; ++t) {
        quint64 v;
        noise.fill(reinterpret_cast<char *>(&v), 8);
        weights << qint64(60 + v % 140);
        sum += weights.last();
    }
    QList<qint64> starts;
    qint64 at = 0;
    for (int t = 0; t < tracks; ++t) {
        starts << at;
        at += totalCd * weights[t] / sum;
    }
    return starts;
}

QString msf(qint64 cd)
{
    return QStringLiteral("%1:%2:%3")
        .arg(cd / 4500, 2, 10, QLatin1Char('0'))
        .arg(cd / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(cd % 75, 2, 10, QLatin1Char('0'));
}

bool writeSheet(const Image &image)
{
    QFile file(image.cuePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "PERFORMER \"Bench Ensemble\"\n"
        << "TITLE \"" << image.name << "\"\n"
        << "FILE \"" << QFileInfo(image.wavPath).fileName() << "\" WAVE\n";
    for (int t = 0; t < image.trackStarts.size(); ++t) {
        out << QStringLiteral("  TRACK %1 AUDIO\n").arg(t + 1, 2, 10, QLatin1Char('0'))
            << QStringLiteral("    TITLE \"Piece %1\"\n").arg(t + 1) << "    INDEX 01 "
            << msf(image.trackStarts[t]) << "\n";
    }
    out.flush();
    return file.error() == QFileDevice::NoError;
}

bool writeWav(const Image &image, quint64 seed)
{
    QFile file(image.wavPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    char header[44];
    const qint64 dataBytes = image.wavBytes() - 44;
    canonicalHeader(header, image.channels, image.rate, image.bits, dataBytes);
    if (file.write(header, 44) != 44)
        return false;
    std::unique_ptr<char[]> block(new char[ioBlock]);
    Noise noise {seed};
    for (qint64 left = dataBytes; left > 0;) {
        const qint64 n = qMin(left, ioBlock);
        noise.fill(block.get(), ioBlock);
        if (file.write(block.get(), n) != n)
            return false;
        left -= n;
    }
    // The images are written back to disk now rather than in the middle of
    // someone's timed round.
    return ::fsync(file.handle()) == 0;
}

} // namespace

QString Image::describe() const
{
    return QStringLiteral("%1-bit %2 kHz %3ch, %4 min, %5 tracks, %6 MB")
        .arg(bits)
        .arg(rate / 1000.0, 0, 'f', 1)
        .arg(channels)
        .arg(minutes)
        .arg(trackStarts.size())
        .arg(wavBytes() / 1e6, 0, 'f', 1);
}

Image makeImage(const QString &dir, const QString &name, int minutes, int rate, int bits,
    int tracks, quint64 seed)
{
    Image image;
    image.name = name;
    image.wavPath = QDir(dir).filePath(name + QStringLiteral(".wav"));
    image.cuePath = QDir(dir).filePath(name + QStringLiteral(".cue"));
    image.minutes = minutes;
    image.rate = rate;
    image.channels = 2;
    image.bits = bits;
    image.frames = qint64(minutes) * 60 * rate;
    image.trackStarts = trackStarts(qint64(minutes) * 60 * 75, tracks, seed);
    if (!writeWav(image, seed) || !writeSheet(image))
        return Image();
    return image;
}

namespace {

// Reads exactly n bytes at offset; false on a short read.
bool readAt(QFile &file, qint64 offset, char *to, qint64 n)
{
    return file.seek(offset) && file.read(to, n) == n;
}

QString checkTrack(QFile &source, const Image &image, qint64 first, qint64 end, const QString &path)
{
    QFile track(path);
    if (!track.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QStringLiteral("cannot read %1").arg(path);
    const int inFrame = image.channels * (image.bits / 8);
    const int outFrame = image.channels * 2;
    const qint64 frames = end - first;
    if (track.size() != 44 + frames * outFrame)
        return QStringLiteral("%1 holds %2 bytes, not %3")
            .arg(path)
            .arg(track.size())
            .arg(44 + frames * outFrame);
    char want[44];
    char got[44];
    canonicalHeader(want, image.channels, image.rate, 16, frames * outFrame);
    if (!readAt(track, 0, got, 44) || std::memcmp(want, got, 44) != 0)
        return QStringLiteral("%1 has a wrong header").arg(path);

    const qint64 piece = 1 << 18;
    std::unique_ptr<char[]> in(new char[piece * inFrame]);
    std::unique_ptr<char[]> expected(new char[piece * outFrame]);
    std::unique_ptr<char[]> written(new char[piece * outFrame]);
    for (qint64 at = first; at < end; at += piece) {
        const qint64 n = qMin(piece, end - at);
        if (!readAt(source, 44 + at * inFrame, in.get(), n * inFrame)
            || !readAt(track, 44 + (at - first) * outFrame, written.get(), n * outFrame))
            return QStringLiteral("short read in %1").arg(path);
        if (image.bits == 16) {
            std::memcpy(expected.get(), in.get(), n * outFrame);
        } else {
            for (qint64 s = 0; s < n * image.channels; ++s) {
                expected[2 * s] = in[3 * s + 1];
                expected[2 * s + 1] = in[3 * s + 2];
            }
        }
        if (std::memcmp(expected.get(), written.get(), n * outFrame) != 0)
            return QStringLiteral("%1 differs from the image near frame %2").arg(path).arg(at);
    }
    return QString();
}

} // namespace

QString checkTracks(const Image &image, const QStringList &trackFiles)
{
    if (trackFiles.size() != image.trackStarts.size())
        return QStringLiteral("%1 track files, not %2")
            .arg(trackFiles.size())
            .arg(image.trackStarts.size());
    QFile source(image.wavPath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QStringLiteral("cannot read the image");
    for (int t = 0; t < trackFiles.size(); ++t) {
        const qint64 first = image.trackStarts[t] * image.rate / 75;
        const qint64 end
            = t + 1 < trackFiles.size() ? image.trackStarts[t + 1] * image.rate / 75 : image.frames;
        const QString problem = checkTrack(source, image, first, end, trackFiles[t]);
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}
