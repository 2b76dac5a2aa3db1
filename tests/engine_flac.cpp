#include "recordinghost.h"
#include "testfiles.h"
#include "unpackcue.h"

#include <QImage>
#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

namespace {

// What one of Debian's flac tools prints (stderr dropped), "" when it fails.
QString output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished(-1) && process.exitCode() == 0;
    return ok ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

// The samples of a track as flac -d writes them to a WAV file (20 bits in
// the upper bits of 24); flac also checks the MD5 there.
QByteArray decoded(const QString &track)
{
    const QString wav = track + ".wav";
    output("flac", {"-s", "-d", "-f", "-o", wav, track});
    const QByteArray bytes = readFile(wav);
    return bytes.isEmpty() ? bytes : bytes.mid(bytes.indexOf("data") + 8);
}

// A 20-bit image as rippers write it: 24-bit containers whose four low bits
// are zero, announced by an extensible format chunk. Returns the samples as a
// 20-bit track holds them: each moved down by those four bits.
QByteArray wav20(const QString &path, QByteArray &data)
{
    QByteArray down(data.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); i += 3) {
        data[i] = char(data[i] & 0xf0);
        const auto byte = [&data, i](int k) { return quint32(quint8(data[i + k])) << (8 * k + 8); };
        const qint32 v = qint32(byte(0) | byte(1) | byte(2)) >> 12;
        for (int k = 0; k < 3; ++k)
            down[i + k] = char(v >> (8 * k));
    }
    const QByteArray fmt = fmtBody(2, 44100, 24, 0xfffe, 24).left(18) + le(20, 2) + le(3, 4)
        + QByteArray::fromHex("0100000000001000800000aa00389b71");
    writeFile(path, riffWave({chunk("fmt ", fmt), chunk("data", data)}));
    return down;
}

struct Split
{
    QStringList log;
    Files files;
};

// Splits dir/Disc.cue into dir/folder, which may already hold old files.
Split split(const QTemporaryDir &dir, const QByteArray &sheet, OutputFormat format,
    const QString &pattern = "%1", const Files &old = {}, const QString &folder = "out",
    GapMode gaps = GapMode::Leave)
{
    const QString cue = dir.filePath("Disc.cue"), out = dir.filePath(folder);
    ExtractionSettings settings {out, false, false, false, pattern};
    settings.outputFormat = format;
    settings.gaps = gaps;
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
            for (int bits : {16, 24, 20}) {
                if (bits != 20 || QByteArray(image) != "image.wav")
                    QTest::addRow("%s-%dbit", image, bits) << QString(image) << bits;
            }
        }
    }

    // A late first track, a pregap and a last track of 22 s with three seek
    // points; the WAV output cuts at the same frames.
    void tracksAtFullDepth()
    {
        QFETCH(QString, image);
        QFETCH(int, bits);
        QTemporaryDir dir;
        const int rate = 44100, width = bits == 16 ? 16 : 24, frameBytes = 2 * width / 8;
        QByteArray data = samples(rate * 25, 2, width), held = data; // held: in a track
        if (bits == 20)
            held = wav20(dir.filePath("image.wav"), data);
        else
            QVERIFY(writeFile(dir.filePath("image.wav"), canonical(2, rate, bits, data)));
        QVERIFY(image.endsWith(".wav") || encode(dir.filePath("image.wav"), dir.filePath(image)));
        const QByteArray sheet = lines("TITLE A;FILE \"" + image.toUtf8()
            + "\" WAVE;TRACK 01 AUDIO;INDEX 01 00:00:37;TRACK 02 AUDIO;INDEX 00 00:01:05;"
              "INDEX 01 00:02:00;TRACK 03 AUDIO;INDEX 01 00:03:01");
        const Split flac = split(dir, sheet, OutputFormat::Flac);
        QCOMPARE(flac.log.last(), "I {dir}/Disc.cue: Extraction successful");
        QCOMPARE(flac.log.filter("Samples cut").size(), 0);
        const Split wav = split(dir, sheet, OutputFormat::Wav, "%1", {}, "wav");
        const QString cut = "I Disc: Samples cut from %1 to 16 bits; choose FLAC to keep them";
        QCOMPARE(wav.log.filter("Samples cut"), QStringList(cut.arg(bits)).mid(0, bits > 16));
        QCOMPARE(wav.log.indexOf(cut.arg(bits)), bits > 16 ? 1 : -1); // before the first track
        // Start and end of each track in CD frames; the last ends with the image.
        const QList<QPair<qint64, qint64>> tracks {{37, 80}, {150, 226}, {226, 25 * 75}};
        for (int t = 0; t < 3; ++t) {
            const QString name = QString("%1").arg(t + 1, 2, 10, QChar('0'));
            const qint64 start = tracks[t].first * rate / 75, end = tracks[t].second * rate / 75;
            const QByteArray audio = data.mid(start * frameBytes, (end - start) * frameBytes);
            QCOMPARE(decoded(dir.filePath("out/" + name + ".flac")), audio);
            const QByteArray md5 = QCryptographicHash::hash(
                held.mid(start * frameBytes, (end - start) * frameBytes), QCryptographicHash::Md5);
            const QString info
                = output("metaflac", {"--list", dir.filePath("out/" + name + ".flac")});
            const qint64 points = (end - start + 10 * rate - 1) / (10 * rate);
            for (const QString &said : {QString("bits-per-sample: %1\n").arg(bits),
                     QString("MD5 signature: " + md5.toHex() + "\n"),
                     QString("seek points: %1\n").arg(points)})
                QVERIFY2(info.contains(said), qPrintable(said));
            // Every seek point leads to its frame, not to the template's blank.
            QVERIFY2(info.contains("frame_samples=") && !info.contains("frame_samples=0\n"),
                qPrintable(info));
            QCOMPARE(wav.files.value(name + ".wav").size() - 44, (end - start) * 4);
        }
    }

    // One sheet that says everything a tag is made of; the second track
    // falls back to the disc's texts. "%5" is the disc number.
    void tags()
    {
        QTemporaryDir dir;
        QVERIFY(
            writeFile(dir.filePath("image.wav"), canonical(2, 44100, 16, samples(88200, 2, 16))));
        const Split done = split(dir,
            lines("REM GENRE \"Post Rock\";rem  Date 1999;REM DISCID 8A0B3C0D;"
                  "REM COMMENT \"Ripped\x01 with care\";REM DISCNUMBER 2;REM TOTALDISCS 3;"
                  "REM REPLAYGAIN_ALBUM_GAIN -7.50 dB;REM REPLAYGAIN_ALBUM_PEAK 0.988;"
                  "CATALOG 0724384960650;PERFORMER \"Disc Band\";SONGWRITER \"Disc Writer\";"
                  "TITLE \"Grand Album\";FILE \"image.wav\" WAVE;TRACK 01 AUDIO;"
                  "TITLE \"Ünïcode\tSong\";PERFORMER Guest;SONGWRITER \"Track Writer\";"
                  "ISRC USABC9900001;REM REPLAYGAIN_TRACK_GAIN -6.00 dB;"
                  "REM REPLAYGAIN_TRACK_PEAK 0.9;INDEX 01 00:00:00;"
                  "TRACK 02 AUDIO;TITLE \"\";INDEX 01 00:01:00"),
            OutputFormat::Flac, "%5-%1");
        QCOMPARE(done.files.keys(), QStringList({"2-01.flac", "2-02.flac"}));
        const QString disc = "ALBUM=Grand Album\nALBUMARTIST=Disc Band\n%1TRACKTOTAL=2\n"
                             "DATE=1999\nGENRE=Post Rock\nCOMMENT=Ripped with care\n"
                             "DISCID=8A0B3C0D\nCOMPOSER=%2\nDISCNUMBER=2\nDISCTOTAL=3\n%3"
                             "BARCODE=0724384960650\nREPLAYGAIN_ALBUM_GAIN=-7.50 dB\n"
                             "REPLAYGAIN_ALBUM_PEAK=0.988\n%4";
        const QStringList expected {"TITLE=Ünïcode\tSong\nARTIST=Guest\n"
                + disc.arg("TRACKNUMBER=1\n", "Track Writer", "ISRC=USABC9900001\n",
                    "REPLAYGAIN_TRACK_GAIN=-6.00 dB\nREPLAYGAIN_TRACK_PEAK=0.9\n"),
            "ARTIST=Disc Band\n" + disc.arg("TRACKNUMBER=2\n", "Disc Writer", "", "")};
        for (int t = 0; t < 2; ++t) {
            const QString tags = output("metaflac",
                {"--no-utf8-convert", "--export-tags-to=-",
                    dir.filePath(QString("out/2-0%1.flac").arg(t + 1))});
            QCOMPARE(tags, expected[t]);
        }
        // Track 00, the audio before the first track, keeps its number.
        const Split hidden
            = split(dir, lines("TITLE A;FILE image.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:1:10"),
                OutputFormat::Flac, "%1", {}, "out", GapMode::Append);
        QCOMPARE(hidden.files.keys(), QStringList({"00.flac", "01.flac"}));
        QCOMPARE(output("metaflac", {"--show-tag=TRACKNUMBER", dir.filePath("out/00.flac")}),
            "TRACKNUMBER=0\n");
    }

    void cover_data()
    {
        QTest::addColumn<QStringList>(
            "files");                      // beside the sheet: name=width x height, or =junk, =huge
        QTest::addColumn<QString>("said"); // the line about the cover, or the picture embedded
        QTest::newRow("first-name-then-suffix-any-case")
            << QStringList {"Folder.png=4x2", "cover.png=3x3", "COVER.JPG=5x3", "front.jpeg=6x6"}
            << "COVER.JPG image/jpeg 5x3x32";
        QTest::newRow("png") << QStringList {"cover.png=7x1"} << "cover.png image/png 7x1x32";
        QTest::newRow("unreadable-refused") << QStringList {"cover.png=junk", "folder.jpg=2x2"}
                                            << "I Disc: Cover {dir}/cover.png not embedded: it "
                                               "cannot be read as a picture";
        QTest::newRow("over-16MiB-refused") << QStringList {"front.jpg=huge"}
                                            << "I Disc: Cover {dir}/front.jpg not embedded: it is "
                                               "larger than 16 MiB";
    }

    void cover()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, said);
        QTemporaryDir dir;
        QVERIFY(
            writeFile(dir.filePath("image.wav"), canonical(2, 44100, 16, samples(88200, 2, 16))));
        for (const QString &file : files) {
            const QString path = dir.filePath(file.section('=', 0, 0)), size = file.section('=', 1);
            QFile huge(path);
            if (size == "junk")
                QVERIFY(writeFile(path, "not a picture"));
            else if (size == "huge") // sparse, so the test writes nothing much
                QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(16 * 1024 * 1024 + 1));
            else
                QVERIFY(QImage(size.section('x', 0, 0).toInt(), size.section('x', 1).toInt(),
                    QImage::Format_RGB32)
                            .save(path));
        }
        const Split done = split(dir,
            lines("TITLE A;FILE image.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;"
                  "INDEX 01 0:1:0"),
            OutputFormat::Flac);
        const bool refused = said.startsWith("I ");
        QCOMPARE(done.log.filter(" Cover ").size(), refused ? 1 : 0);
        QVERIFY(!refused || done.log.contains(said));
        for (const char *track : {"out/01.flac", "out/02.flac"}) {
            const QString picture = dir.filePath("picture");
            QFile::remove(picture);
            output("metaflac", {"--export-picture-to=" + picture, dir.filePath(track)});
            const QString info
                = output("metaflac", {"--list", "--block-type=PICTURE", dir.filePath(track)});
            QCOMPARE(QFile::exists(picture), !refused);
            if (refused)
                continue;
            QCOMPARE(readFile(picture), readFile(dir.filePath(said.section(' ', 0, 0))));
            const QStringList shape = said.section(' ', 2).split('x');
            QVERIFY2(info.contains(QString("type: 3 (Cover (front))\n  MIME type: %1\n")
                                       .arg(said.section(' ', 1, 1)))
                    && info.contains(QString("width: %1\n  height: %2\n  depth: %3\n")
                                         .arg(shape[0], shape[1], shape[2])),
                qPrintable(info));
        }
    }

    void skipsBySuffix_data()
    {
        QTest::addColumn<QString>("there"); // an older file in the destination
        QTest::addColumn<bool>("flac");     // the output chosen
        QTest::addColumn<bool>("skipped");
        QTest::newRow("wav-there-flac-written") << "01.wav" << true << false;
        QTest::newRow("flac-there-flac-skipped") << "01.flac" << true << true;
        QTest::newRow("flac-there-wav-written") << "01.flac" << false << false;
    }

    void skipsBySuffix()
    {
        QFETCH(QString, there);
        QFETCH(bool, flac);
        QFETCH(bool, skipped);
        QTemporaryDir dir;
        QVERIFY(
            writeFile(dir.filePath("image.wav"), canonical(2, 44100, 16, samples(4410, 2, 16))));
        const QString written = flac ? "01.flac" : "01.wav";
        const Split done
            = split(dir, lines("TITLE A;FILE image.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0"),
                flac ? OutputFormat::Flac : OutputFormat::Wav, "%1", {{there, "old"}});
        QCOMPARE(done.files.value(there), "old");
        QCOMPARE(done.files.value(written) == "old", skipped);
        QCOMPARE(done.files.size(), skipped ? 1 : 2);
        QCOMPARE(done.log.contains("I Disc: Skipping existing file {dir}/out/" + written), skipped);
    }
};

int runFlacTests(int argc, char **argv)
{
    TestFlacOutput test;
    return QTest::qExec(&test, argc, argv);
}

#include "engine_flac.moc"
