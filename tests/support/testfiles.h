#pragma once

#include "wavbuilder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>

// Files in and out of a test's temporary folders.
namespace TestFiles {

using Files = QMap<QString, QByteArray>;

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

// Debian's encoders make the FLAC and WavPack images; ./test installs them.
inline bool encode(const QString &wav, const QString &image)
{
    if (image.endsWith(".wv"))
        return QProcess::execute("wavpack", {"-q", "-y", wav, "-o", image}) == 0;
    return QProcess::execute("flac", {"-s", "-f", "--channel-map=none", "-o", image, wav}) == 0;
}

} // namespace TestFiles
