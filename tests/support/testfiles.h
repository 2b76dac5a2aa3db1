#pragma once

#include "wavbuilder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTest>

// Files in and out of a test's temporary folders.
namespace TestFiles {

using namespace WavBuilder;

using Files = QMap<QString, QByteArray>;

// A row of a test table, its values in the columns' order.
template <typename... Values>
void row(const char *tag, const Values &...values)
{
    (QTest::newRow(tag) << ... << values);
}

// A sheet written on one line: every ";" ends a line.
inline QByteArray lines(const QByteArray &text)
{
    return QByteArray(text).replace(';', '\n');
}

// What the 16-bit output of a source sample run is: 16-bit copied, 24-bit
// truncated to its two upper bytes.
inline QByteArray to16(const QByteArray &data, int bits)
{
    QByteArray out;
    for (qsizetype i = 0; bits == 24 && i + 2 < data.size(); i += 3)
        out.append(data.constData() + i + 1, 2);
    return bits == 24 ? out : data;
}

// A WAV image of 20-bit samples as rippers write it: 24-bit containers, the
// low 4 bits of data cleared, announced by an extensible format chunk whose
// extension names the valid bits, then PCM's format code.
inline QByteArray wave20(int channels, quint32 rate, QByteArray &data)
{
    for (qsizetype i = 0; i < data.size(); i += 3)
        data[i] = char(data[i] & 0xf0);
    const QByteArray fmt = fmtBody(quint16(channels), rate, 24, 0xfffe, 24).left(18) + le(20, 2)
        + le(0, 4) + QByteArray::fromHex("0100000000001000800000aa00389b71");
    return riffWave({chunk("fmt ", fmt), chunk("data", data)});
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file below the folder whose name matches filter, by relative path, with its bytes.
inline QMap<QString, QByteArray> filesBelow(const QString &dir, const QString &filter = "*")
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(dir, {filter}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readFile(path));
    }
    return files;
}

// Runs an encoder with its chatter thrown away.
inline bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// The samples of a FLAC track as flac -d writes them to a WAV file (20 bits
// in the upper bits of 24); flac also checks the MD5 there.
inline QByteArray flacSamples(const QString &track)
{
    const QString wav = track + ".wav";
    const QByteArray bytes = run("flac", {"-s", "-d", "-f", "-o", wav, track}) ? readFile(wav) : "";
    return bytes.mid(bytes.indexOf("data") + 8);
}

// Debian's encoders make the images, by the image's extension; ./test
// installs them. bits is the source's, for the PCM of AIFF and Wave64
// (32 bits are floating-point samples).
inline bool encode(const QString &wav, const QString &image, int bits = 16)
{
    const QString format = QFileInfo(image).suffix();
    if (format == "wv")
        return run("wavpack", {"-q", "-y", wav, "-o", image});
    if (format == "flac")
        return run("flac", {"-s", "-f", "--channel-map=none", "-o", image, wav});
    if (format == "ape") // exits 0 when it fails too
        return run("jmac", {"c2", wav, image}) && QFileInfo(image).size() > 0;
    // 20-bit samples travel in 24-bit PCM, as in the WAV.
    const QString pcm = QString("pcm_%1%2").arg(bits == 32 ? 'f' : 's').arg((bits + 7) / 8 * 8);
    const QMap<QString, QString> codecs {
        {"tta", "tta"}, {"m4a", "alac"}, {"aiff", pcm + "be"}, {"w64", pcm + "le"}, {"mp4", "aac"}};
    QStringList arguments {"-v", "error", "-y", "-i", wav};
    if (format == "m4a") // with cover art, as rippers leave it: packets that are not audio
        arguments << QStringList {"-f", "lavfi", "-i", "color=c=red:s=8x8:d=1", "-map", "0:a",
            "-map", "1:v", "-frames:v", "1", "-c:v", "png", "-disposition:v", "attached_pic"};
    return run("ffmpeg", arguments << "-c:a" << codecs.value(format) << image);
}

} // namespace TestFiles
