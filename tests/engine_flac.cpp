#include "recordinghost.h"
#include "testfiles.h"
#include "unpackcue.h"

#include <QImage>
#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

namespace {

// What one of Debian's flac tools prints (stderr dropped), "" when it fails.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished(-1) && process.exitCode() == 0;
    return ok ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

// The samples of a track as flac -d gives them: little-endian, signed, as
// many bytes as the image's samples take. flac also checks the MD5 there.
QByteArray decoded(const QString &track)
{
    const QString raw = track + ".raw";
    run("flac",
        {"-s", "-d", "-f", "--force-raw-format", "--endian=little", "--sign=signed", "-o", raw,
            track});
    return readFile(raw);
}

struct Split
{
    QStringList log;
    Files files;
};

// Splits dir/Disc.cue into dir/folder, which may already hold old files.
Split split(const QTemporaryDir &dir, const QByteArray &sheet, OutputFormat format,
    const QString &pattern = "%1", const Files &old = {}, const QString &folder = "out")
{
    const QString cue = dir.filePath("Disc.cue"), out = dir.filePath(folder);
    ExtractionSettings settings {out, false, false, false, pattern};
    settings.outputFormat = format;
    QDir(out).removeRecursively();
    QDir().mkdir(out);
    for (auto it = old.begin(); it != old.end(); ++it)
        writeFile(out + '/' + it.key(), it.value());
    RecordingHost host;
    if (writeFile(cue, sheet) && unpackCue(host, settings, cue, true) == 1)
        unpackCue(host, settings, cue, false);
    return {host.lines.replaceInStrings(QDir::toNativeSeparators(dir.path()), "{dir}"),
        filesBelow(out)};
}

} // namespace

class TestFlacOutput : public QObject
{
    Q_OBJECT

private slots:
    void tracksAtFullDepth_data()
    {
        QTest::addColumn<QString>("image"); // made from a WAV image of these bits
        QTest::addColumn<int>("bits");
        for (const char *image : {"image.wav", "image.flac", "image.wv"}) {
            for (int bits : {16, 24})
                QTest::addRow("%s-%dbit", image, bits) << QString(image) << bits;
        }
    }

    // A late first track, a pregap and a last track of 22 s with three seek
    // points; the WAV output cuts at the same frames.
    void tracksAtFullDepth()
    {
        QFETCH(QString, image);
        QFETCH(int, bits);
        QTemporaryDir dir;
        const int rate = 44100, frameBytes = 2 * bits / 8;
        const QByteArray data = samples(rate * 25, 2, bits);
        QVERIFY(writeFile(dir.filePath("image.wav"), canonical(2, rate, bits, data)));
        if (!image.endsWith(".wav")) {
            const QStringList encoder = image.endsWith(".wv")
                ? QStringList {"wavpack", "-q", "-y", "image.wav", "-o", image}
                : QStringList {"flac", "-s", "-f", "-o", image, "image.wav"};
            QCOMPARE(
                QProcess::execute("sh", {"-c", "cd " + dir.path() + " && " + encoder.join(' ')}),
                0);
        }
        const QByteArray sheet = lines("TITLE A;FILE \"" + image.toUtf8()
            + "\" WAVE;TRACK 01 AUDIO;INDEX 01 00:00:37;TRACK 02 AUDIO;INDEX 00 00:01:05;"
              "INDEX 01 00:02:00;TRACK 03 AUDIO;INDEX 01 00:03:01");
        const Split flac = split(dir, sheet, OutputFormat::Flac);
        QCOMPARE(flac.log.last(), "I {dir}/Disc.cue: Extraction successful");
        QCOMPARE(flac.log.filter("Samples cut").size(), 0);
        const Split wav = split(dir, sheet, OutputFormat::Wav, "%1", {}, "wav");
        QCOMPARE(wav.log.filter("Samples cut"),
            QStringList(bits == 24
                    ? "I Disc: Samples cut from 24 to 16 bits; choose FLAC to keep them"
                    : nullptr)
                .mid(0, bits == 24));
        // Start and end of each track in CD frames; the last ends with the image.
        const QList<QPair<qint64, qint64>> tracks {{37, 80}, {150, 226}, {226, 25 * 75}};
        for (int t = 0; t < 3; ++t) {
            const QString name = QString("%1").arg(t + 1, 2, 10, QChar('0'));
            const qint64 start = tracks[t].first * rate / 75, end = tracks[t].second * rate / 75;
            const QByteArray audio = data.mid(start * frameBytes, (end - start) * frameBytes);
            QCOMPARE(decoded(dir.filePath("out/" + name + ".flac")), audio);
            const QString info = run("metaflac", {"--list", dir.filePath("out/" + name + ".flac")});
            const qint64 points = (end - start + 10 * rate - 1) / (10 * rate);
            for (const QString &said : {QString("bits-per-sample: %1\n").arg(bits),
                     QString("MD5 signature: ")
                         + QCryptographicHash::hash(audio, QCryptographicHash::Md5).toHex() + "\n",
                     QString("seek points: %1\n").arg(points)})
                QVERIFY2(info.contains(said), qPrintable(said));
            QCOMPARE(wav.files.value(name + ".wav").size() - 44, (end - start) * 4);
        }
    }
};

int runFlacTests(int argc, char **argv)
{
    TestFlacOutput test;
    return QTest::qExec(&test, argc, argv);
}

#include "engine_flac.moc"
