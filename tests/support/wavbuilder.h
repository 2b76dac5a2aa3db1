#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QtEndian>

// Builds RIFF WAVE images byte by byte, malformed ones included, so every test
// makes the fixture it needs instead of reading one from disk.
namespace WavBuilder {

// The low bytes of v, least significant first.
inline QByteArray le(quint32 v, int bytes)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b.left(bytes);
}

// id + size + body; no pad byte after an odd body, as the reader expects.
inline QByteArray chunk(const char *id, quint32 declaredSize, const QByteArray &body)
{
    return QByteArray(id, 4) + le(declaredSize, 4) + body;
}

inline QByteArray chunk(const char *id, const QByteArray &body)
{
    return chunk(id, quint32(body.size()), body);
}

// The "fmt " body: 16 bytes, plus extraBytes of extension (sizes 18, 40...),
// which starts with its own size.
inline QByteArray fmtBody(
    quint16 channels, quint32 rate, quint16 bits, quint16 tag = 1, int extraBytes = 0)
{
    const quint32 align = channels * (bits / 8);
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * align, 4) + le(align, 2)
        + le(bits, 2) + le(extraBytes - 2, 2).left(extraBytes)
        + QByteArray(qMax(0, extraBytes - 2), '\x11');
}

// "RIFF", the size of what follows (or riffSize when given), "WAVE", the chunks.
inline QByteArray riffWave(const QList<QByteArray> &chunks, qint64 riffSize = -1)
{
    const QByteArray body = "WAVE" + chunks.join();
    return "RIFF" + le(riffSize >= 0 ? quint32(riffSize) : quint32(body.size()), 4) + body;
}

// Deterministic non-silent samples: frames x channels samples of bits/8 bytes.
inline QByteArray samples(qint64 frames, int channels, int bits, quint32 seed = 1)
{
    QByteArray b(frames * channels * (bits / 8), Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 12345u;
    for (char &c : b)
        c = char((x = x * 1664525u + 1013904223u) >> 24);
    return b;
}

// A canonical 44-byte-header file around the given samples.
inline QByteArray canonical(int channels, quint32 rate, int bits, const QByteArray &data)
{
    return riffWave(
        {chunk("fmt ", fmtBody(quint16(channels), rate, quint16(bits))), chunk("data", data)});
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

} // namespace WavBuilder
