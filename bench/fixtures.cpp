#include "fixtures.h"

#include "wavbuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

const qint64 ioBlock = 4 << 20;

// xorshift64*: noise at memory speed, so generating gigabytes costs seconds.
struct Noise
{
    quint64 state;
    quint64 next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
    void fill(char *out, qint64 bytes)
    {
        for (qint64 i = 0; i < bytes; i += 8) {
            const quint64 v = next();
            std::memcpy(out + i, &v, 8);
        }
    }
};

// 16-bit stereo: three decaying tones at a time, each a resonator that the
// encoders' linear prediction follows almost exactly, over noise of +-64 that
// they cannot predict, so that an image comes out at about half its size as
// recorded music does. A new chord every quarter to one and three quarters of
// a second; the tones are panned and the noise differs between the channels.
class Music
{
public:
    Music(quint64 seed, int rate)
        : m_noise {seed}
        , m_rate(rate)
    {
    }

    // 16-bit frames, or 24-bit ones whose low byte is noise.
    void fill(char *out, qint64 bytes, int bits = 16)
    {
        const int frame = bits / 4;
        for (qint64 i = 0; i + frame <= bytes; i += frame) {
            if (m_chordLeft-- <= 0)
                newChord();
            double left = 0;
            double right = 0;
            for (Tone &t : m_tones) {
                const double y = t.k * t.y1 - t.r2 * t.y2;
                t.y2 = t.y1;
                t.y1 = y;
                left += y * t.left;
                right += y * t.right;
            }
            const quint64 noise = m_noise.next();
            const qint16 l = sample(left + int(noise % 129) - 64);
            const qint16 r = sample(right + int((noise >> 32) % 129) - 64);
            if (bits == 16) {
                qToLittleEndian<qint16>(l, out + i);
                qToLittleEndian<qint16>(r, out + i + 2);
                continue;
            }
            out[i] = char(noise >> 8);
            qToLittleEndian<qint16>(l, out + i + 1);
            out[i + 3] = char(noise >> 40);
            qToLittleEndian<qint16>(r, out + i + 4);
        }
    }

private:
    struct Tone
    {
        double y1, y2, k, r2, left, right;
    };

    static qint16 sample(double v) { return qint16(std::clamp(std::lrint(v), -32768L, 32767L)); }

    void newChord()
    {
        // Two octaves of a pentatonic scale from A2.
        static const double pitches[] = {110.0, 123.5, 146.8, 164.8, 185.0, 220.0, 246.9, 293.7,
            329.6, 370.0, 440.0, 493.9, 587.3, 659.3, 740.0, 880.0};
        m_chordLeft = m_rate / 4 + qint64(m_noise.next() % quint64(m_rate * 3 / 2));
        for (Tone &t : m_tones) {
            const double w = 2 * M_PI * pitches[m_noise.next() % 16] / m_rate;
            const double decaySeconds = 0.3 + m_noise.next() % 200 / 100.0;
            const double r = 1 - 1 / (m_rate * decaySeconds);
            const double pan = m_noise.next() % 100 / 100.0;
            t = {(1500 + m_noise.next() % 4000) * std::sin(w), 0, 2 * r * std::cos(w), r * r,
                0.5 + 0.5 * pan, 1 - 0.5 * pan};
        }
    }

    Noise m_noise;
    int m_rate;
    qint64 m_chordLeft = 0;
    Tone m_tones[3] {};
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
        << "FILE \"" << QFileInfo(image.imagePath).fileName() << "\" WAVE\n";
    for (int t = 0; t < image.trackStarts.size(); ++t) {
        out << QStringLiteral("  TRACK %1 AUDIO\n").arg(t + 1, 2, 10, QLatin1Char('0'))
            << QStringLiteral("    TITLE \"Piece %1\"\n").arg(t + 1) << "    INDEX 01 "
            << msf(image.trackStarts[t]) << "\n";
    }
    out.flush();
    return file.error() == QFileDevice::NoError;
}

// Written back to disk now rather than in the middle of someone's timed round.
bool syncFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && ::fsync(file.handle()) == 0;
}

bool writeWav(const Image &image, const ImagePlan &plan)
{
    QFile file(image.wavPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const qint64 dataBytes = image.wavBytes() - 44;
    const QByteArray header
        = WavBuilder::canonicalHeader(image.channels, image.rate, image.bits, quint32(dataBytes));
    if (file.write(header) != header.size())
        return false;
    std::unique_ptr<char[]> block(new char[ioBlock]);
    Noise noise {plan.seed};
    Music music(plan.seed, plan.rate);
    for (qint64 left = dataBytes; left > 0;) {
        const qint64 n = qMin(left, ioBlock);
        if (plan.music)
            music.fill(block.get(), ioBlock, plan.bits);
        else
            noise.fill(block.get(), ioBlock);
        if (file.write(block.get(), n) != n)
            return false;
        left -= n;
    }
    file.close();
    return syncFile(image.wavPath);
}

// Each program at its default level, as a ripper leaves the image.
bool encode(const Image &image)
{
    const QString wav = image.wavPath, out = image.imagePath;
    QString program;
    QStringList args;
    switch (image.format) {
    case Format::Flac:
        program = QStringLiteral("flac");
        args = QStringList {
            QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), out, wav};
        break;
    case Format::WavPack:
        program = QStringLiteral("wavpack");
        args = QStringList {
            QStringLiteral("-q"), QStringLiteral("-y"), wav, QStringLiteral("-o"), out};
        break;
    case Format::Ape: // normal compression; jmac exits 0 when it fails too
        program = QStringLiteral("jmac");
        args = QStringList {QStringLiteral("c2"), wav, out};
        break;
    default:
        program = QStringLiteral("ffmpeg");
        args = QStringList {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
            QStringLiteral("-i"), wav, QStringLiteral("-c:a"), QStringLiteral("alac"), out};
    }
    QProcess encoder;
    encoder.setStandardOutputFile(QProcess::nullDevice());
    encoder.start(program, args);
    return encoder.waitForFinished(-1) && encoder.exitCode() == 0 && QFileInfo(out).size() > 0
        && syncFile(out);
}

} // namespace

QString Image::describe() const
{
    QString text = QStringLiteral("%1-bit %2 kHz %3ch, %4 min, %5 tracks, %6 MB")
                       .arg(bits)
                       .arg(rate / 1000.0, 0, 'f', 1)
                       .arg(channels)
                       .arg(minutes)
                       .arg(trackStarts.size())
                       .arg(wavBytes() / 1e6, 0, 'f', 1);
    if (format != Format::Wav)
        text += QStringLiteral(" as WAV; as %1 %2 MB, %3 of it")
                    .arg(formatName())
                    .arg(imageBytes / 1e6, 0, 'f', 1)
                    .arg(compression(), 0, 'f', 2);
    return text;
}

QString Image::formatName() const
{
    static const char *const names[] = {"WAV", "FLAC", "WavPack", "Monkey's Audio", "ALAC"};
    return QLatin1String(names[int(format)]);
}

Image makeImage(const QString &dir, const ImagePlan &plan, int tracks)
{
    static const char *const extensions[] = {".wav", ".flac", ".wv", ".ape", ".m4a"};
    const QDir folder(dir);
    Image image;
    image.name = QLatin1String(plan.name);
    image.format = plan.format;
    image.wavPath = folder.filePath(QLatin1String(plan.audio) + QStringLiteral(".wav"));
    image.imagePath = plan.format == Format::Wav
        ? image.wavPath
        : folder.filePath(image.name + QLatin1String(extensions[int(plan.format)]));
    image.cuePath = folder.filePath(image.name + QStringLiteral(".cue"));
    image.minutes = plan.minutes;
    image.rate = plan.rate;
    image.channels = 2;
    image.bits = plan.bits;
    image.frames = qint64(plan.minutes) * 60 * plan.rate;
    image.trackStarts = trackStarts(qint64(plan.minutes) * 60 * 75, tracks, plan.seed);
    image.flacTracks = plan.flacTracks;
    if ((!QFileInfo::exists(image.wavPath) && !writeWav(image, plan)) || !writeSheet(image)
        || (plan.format != Format::Wav && !encode(image)))
        return Image();
    image.imageBytes = QFileInfo(image.imagePath).size();
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
    const QByteArray want
        = WavBuilder::canonicalHeader(image.channels, image.rate, 16, quint32(frames * outFrame));
    char got[44];
    if (!readAt(track, 0, got, 44) || std::memcmp(want.constData(), got, 44) != 0)
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

namespace {

// A FLAC track decoded by flac -d to raw samples, against the WAV's slice.
QString checkFlacTrack(
    QFile &source, const Image &image, qint64 first, qint64 end, const QString &path)
{
    const QString raw = path + QStringLiteral(".raw");
    const int frame = image.channels * (image.bits / 8);
    const bool decoded
        = QProcess::execute(QStringLiteral("flac"),
              {QStringLiteral("-s"), QStringLiteral("-d"), QStringLiteral("-f"),
                  QStringLiteral("--force-raw-format"), QStringLiteral("--endian=little"),
                  QStringLiteral("--sign=signed"), QStringLiteral("-o"), raw, path})
        == 0;
    QFile track(raw);
    QString problem;
    if (!decoded || !track.open(QIODevice::ReadOnly))
        problem = QStringLiteral("flac -d cannot decode %1").arg(path);
    else if (track.size() != (end - first) * frame)
        problem = QStringLiteral("%1 holds %2 frames, not %3")
                      .arg(path)
                      .arg(track.size() / frame)
                      .arg(end - first);
    const qint64 piece = 1 << 20;
    std::unique_ptr<char[]> a(new char[piece]);
    std::unique_ptr<char[]> b(new char[piece]);
    for (qint64 at = 0; problem.isEmpty() && at < track.size(); at += piece) {
        const qint64 n = qMin(piece, track.size() - at);
        if (!readAt(source, 44 + first * frame + at, a.get(), n) || !readAt(track, at, b.get(), n)
            || std::memcmp(a.get(), b.get(), n) != 0)
            problem = QStringLiteral("%1 differs from the image").arg(path);
    }
    QFile::remove(raw);
    return problem;
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
        const QString problem = image.flacTracks
            ? checkFlacTrack(source, image, first, end, trackFiles[t])
            : checkTrack(source, image, first, end, trackFiles[t]);
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}
