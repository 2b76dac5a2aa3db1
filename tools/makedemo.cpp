// Writes a demo disc to try the program on: a CUE sheet with three short
// tracks of tones and the WAV image that it names.
//   splitmere_makedemo <folder>
// The sheet is written after the image, so a folder that holds the sheet
// holds the whole disc.

#include "wavbuilder.h"

#include <QByteArray>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>
#include <QtMath>

#include <cstdio>

namespace {

struct Tone
{
    const char *title;
    double hertz;
};

const Tone tones[] = {{"Low Tone", 220.0}, {"Middle Tone", 440.0}, {"High Tone", 880.0}};
constexpr int rate = 44100;
constexpr int channels = 2;
constexpr int secondsPerTrack = 3;
constexpr int framesPerTrack = rate * secondsPerTrack;
// Long enough to keep the start and end of each tone from clicking.
constexpr int fadeFrames = rate / 50;

QByteArray toneFrames(double hertz)
{
    QByteArray b;
    b.reserve(framesPerTrack * channels * 2);
    for (int i = 0; i < framesPerTrack; ++i) {
        const int edge = qMin(i, framesPerTrack - 1 - i);
        const double fade = edge < fadeFrames ? double(edge) / fadeFrames : 1.0;
        const double v = 0.25 * fade * qSin(2 * M_PI * hertz * i / rate);
        const auto sample = qint16(qRound(v * 32767));
        for (int c = 0; c < channels; ++c)
            b += WavBuilder::le(quint16(sample), 2);
    }
    return b;
}

QByteArray waveImage()
{
    QByteArray data;
    for (const Tone &t : tones)
        data += toneFrames(t.hertz);
    return WavBuilder::canonical(channels, rate, 16, data);
}

QByteArray cueSheet(const QString &waveName)
{
    QString text;
    QTextStream out(&text);
    out << "PERFORMER \"The Sine Waves\"\n"
        << "TITLE \"Three Tones\"\n"
        << "FILE \"" << waveName << "\" WAVE\n";
    int track = 0;
    for (const Tone &t : tones) {
        out << QStringLiteral("  TRACK %1 AUDIO\n").arg(track + 1, 2, 10, QLatin1Char('0'))
            << "    TITLE \"" << t.title << "\"\n"
            << QStringLiteral("    INDEX 01 %1:%2:00\n")
                   .arg(track * secondsPerTrack / 60, 2, 10, QLatin1Char('0'))
                   .arg(track * secondsPerTrack % 60, 2, 10, QLatin1Char('0'));
        ++track;
    }
    out.flush();
    return text.toLatin1();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(QDir::toNativeSeparators(path)));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QFile::decodeName(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", argv[1]);
        return 1;
    }
    const QString waveName = QStringLiteral("tone-sampler.wav");
    const QString sheet = dir.absoluteFilePath(QStringLiteral("tone-sampler.cue"));
    if (!writeFile(dir.filePath(waveName), waveImage()) || !writeFile(sheet, cueSheet(waveName)))
        return 1;
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(sheet)));
    return 0;
}
