#include "wavbuilder.h"

#include <QFile>

namespace WavBuilder {

namespace {

QByteArray le(quint32 v, int bytes)
{
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b += char(v >> (8 * i));
    return b;
}

} // namespace

QByteArray chunk(const char *id, quint32 declaredSize, const QByteArray &body)
{
    return QByteArray(id, 4) + le(declaredSize, 4) + body;
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    return chunk(id, quint32(body.size()), body);
}

QByteArray fmtBody(quint16 channels, quint32 rate, quint16 bits, quint16 tag, int extraBytes)
{
    const quint32 align = channels * (bits / 8);
    // An extension of two bytes or more starts with its own size.
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * align, 4) + le(align, 2)
        + le(bits, 2) + le(extraBytes - 2, 2).left(extraBytes)
        + QByteArray(qMax(0, extraBytes - 2), '\x11');
}

QByteArray smplBody(qint32 loopCount, quint32 loopStart, quint32 loopEnd)
{
    return QByteArray(28, '\0') + le(loopCount, 4) + QByteArray(12, '\0') + le(loopStart, 4)
        + le(loopEnd, 4) + QByteArray(8, '\0');
}

QByteArray riffWave(const QList<QByteArray> &chunks, qint64 riffSize)
{
    const QByteArray body = "WAVE" + chunks.join();
    return "RIFF" + le(riffSize >= 0 ? quint32(riffSize) : quint32(body.size()), 4) + body;
}

QByteArray samples(qint64 frames, int channels, int bits, quint32 seed)
{
    QByteArray b(frames * channels * (bits / 8), Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 12345u;
    for (char &c : b) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    return b;
}

QByteArray canonical(int channels, quint32 rate, int bits, const QByteArray &data)
{
    return riffWave(
        {chunk("fmt ", fmtBody(quint16(channels), rate, quint16(bits))), chunk("data", data)});
}

QByteArray to16(const QByteArray &data, int bits)
{
    if (bits == 16)
        return data;
    QByteArray out;
    for (qsizetype i = 0; i + 2 < data.size(); i += 3)
        out.append(data.constData() + i + 1, 2);
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace WavBuilder
