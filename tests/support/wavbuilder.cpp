#include "wavbuilder.h"

#include <QFile>

namespace WavBuilder {

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xff);
    b[1] = char(v >> 8);
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray chunk(const char *id, quint32 declaredSize, const QByteArray &body)
{
    return QByteArray(id, 4) + le32(declaredSize) + body;
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    return chunk(id, quint32(body.size()), body);
}

QByteArray fmtBody(quint16 channels, quint32 rate, quint16 bits, quint16 tag, int extraBytes)
{
    const quint16 align = quint16(channels * (bits / 8));
    QByteArray b = le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align)
        + le16(bits);
    if (extraBytes >= 2)
        b += le16(quint16(extraBytes - 2)) + QByteArray(extraBytes - 2, '\x11');
    else
        b += QByteArray(extraBytes, '\x11');
    return b;
}

QByteArray smplBody(qint32 loopCount, quint32 loopStart, quint32 loopEnd, int tailBytes)
{
    QByteArray b(60, '\0');
    b.replace(28, 4, le32(quint32(loopCount)));
    b.replace(44, 4, le32(loopStart));
    b.replace(48, 4, le32(loopEnd));
    return b + QByteArray(tailBytes, '\x22');
}

QByteArray riffWave(const QList<QByteArray> &chunks, qint64 riffSize)
{
    QByteArray body = "WAVE";
    for (const QByteArray &c : chunks)
        body += c;
    const quint32 size = riffSize >= 0 ? quint32(riffSize) : quint32(body.size());
    return "RIFF" + le32(size) + body;
}

QByteArray samples(qint64 frames, int channels, int bits, quint32 seed)
{
    QByteArray b(frames * channels * (bits / 8), Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 12345u;
    for (qsizetype i = 0; i < b.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}

QByteArray canonical(int channels, quint32 rate, int bits, const QByteArray &data)
{
    return riffWave({chunk("fmt ", fmtBody(quint16(channels), rate, quint16(bits))),
                     chunk("data", data)});
}

QByteArray to16(const QByteArray &data, int bits)
{
    if (bits == 16)
        return data;
    QByteArray out;
    out.reserve(data.size() / 3 * 2);
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
