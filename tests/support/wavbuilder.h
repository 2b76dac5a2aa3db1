#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Builds RIFF WAVE images byte by byte, malformed ones included, so every test
// makes the fixture it needs instead of reading one from disk.
namespace WavBuilder {

// id + size + body; no pad byte after an odd body, as the reader expects.
QByteArray chunk(const char *id, const QByteArray &body);
QByteArray chunk(const char *id, quint32 declaredSize, const QByteArray &body);
// The "fmt " body: 16 bytes, plus extraBytes of extension (sizes 18, 40...).
QByteArray fmtBody(
    quint16 channels, quint32 rate, quint16 bits, quint16 tag = 1, int extraBytes = 0);
// A "smpl" body of 60 bytes with loopCount at 28 and the first loop at 44/48.
QByteArray smplBody(qint32 loopCount, quint32 loopStart, quint32 loopEnd);
// "RIFF", the size of what follows (or riffSize when given), "WAVE", the chunks.
QByteArray riffWave(const QList<QByteArray> &chunks, qint64 riffSize = -1);
// Deterministic non-silent samples: frames x channels samples of bits/8 bytes.
QByteArray samples(qint64 frames, int channels, int bits, quint32 seed = 1);
// A canonical 44-byte-header file around the given samples.
QByteArray canonical(int channels, quint32 rate, int bits, const QByteArray &data);
// What the 16-bit output of a source sample run is: 16-bit copied, 24-bit
// truncated to its two upper bytes.
QByteArray to16(const QByteArray &data, int bits);

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

} // namespace WavBuilder
