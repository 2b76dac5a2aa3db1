#pragma once

#include <QList>
#include <QString>

// The file a sheet names: the generated WAV itself, or that WAV encoded at
// the default level of Debian's flac or wavpack program, at jmac's normal
// compression (Monkey's Audio) or by ffmpeg's ALAC encoder.
enum class Format { Wav, Flac, WavPack, Ape, Alac };

// What to generate. Plans that name the same audio share one WAV file.
struct ImagePlan
{
    const char *name;
    Format format;
    const char *audio; // base name of the WAV
    // Tones over quiet noise, which the encoders bring down to about half as
    // they do recorded music; otherwise noise, which nothing compresses.
    bool music;
    int minutes;
    int rate;
    int bits; // music at 24 bits has a noisy low byte, as a recording does
    quint64 seed;
    // The short image is there to show that memory does not grow with the
    // image; its few hundred milliseconds say little about speed.
    bool speedTargets;
    // The run writes FLAC tracks rather than WAV ones.
    bool flacTracks = false;
};

// A generated CD-style image and a sheet that cuts it into tracks at INDEX 01
// only, so that every frame belongs to exactly one track.
struct Image
{
    QString name;
    Format format = Format::Wav;
    QString wavPath;   // the audio as WAV: the image itself or what it was encoded from
    QString imagePath; // the file the sheet names
    QString cuePath;
    qint64 imageBytes = 0;
    int minutes = 0;
    int rate = 0;
    int channels = 0;
    int bits = 0;
    qint64 frames = 0;
    // INDEX 01 of every track, in CD frames (1/75 s).
    QList<qint64> trackStarts;
    bool flacTracks = false;

    qint64 wavBytes() const { return 44 + frames * channels * (bits / 8); }
    // What the tracks hold together once written as 16-bit files.
    qint64 outputBytes() const { return trackStarts.size() * 44 + frames * channels * 2; }
    double compression() const { return double(imageBytes) / wavBytes(); }
    QString describe() const;
    QString formatName() const;
};

// Writes image and sheet into dir, the WAV only if an earlier plan has not
// written it already; the samples depend only on the seed, so every run of
// the benchmark cuts the same audio. Empty name on failure.
Image makeImage(const QString &dir, const ImagePlan &plan, int tracks);

// The bytes of every track file as the WAV and sheet define them (a 16-bit
// source copied, a 24-bit one truncated to its upper two bytes), compared with
// the files in trackFiles, in track order. Empty when they all match. FLAC
// tracks are decoded by flac -d and compared with the samples at full depth.
QString checkTracks(const Image &image, const QStringList &trackFiles);
