#pragma once

#include <QList>
#include <QString>

// A generated CD-style image: one WAV file of noise and a sheet that cuts it
// into tracks at INDEX 01 only, so that every frame belongs to exactly one track.
struct Image
{
    QString name;
    QString wavPath;
    QString cuePath;
    int minutes = 0;
    int rate = 0;
    int channels = 0;
    int bits = 0;
    qint64 frames = 0;
    // INDEX 01 of every track, in CD frames (1/75 s).
    QList<qint64> trackStarts;

    qint64 wavBytes() const { return 44 + frames * channels * (bits / 8); }
    // What the tracks hold together once written as 16-bit files.
    qint64 outputBytes() const { return trackStarts.size() * 44 + frames * channels * 2; }
    QString describe() const;
};

// Writes image and sheet into dir; the samples depend only on seed, so every
// run of the benchmark cuts the same audio. Empty name on failure.
Image makeImage(const QString &dir, const QString &name, int minutes, int rate, int bits,
    int tracks, quint64 seed);

// The bytes of every track file as the image and sheet define them (a 16-bit
// source copied, a 24-bit one truncated to its upper two bytes), compared with
// the files in trackFiles, in track order. Empty when they all match.
QString checkTracks(const Image &image, const QStringList &trackFiles);
