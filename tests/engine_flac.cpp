#include "enginetests.h"
#include "sheetsplit.h"

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

} // namespace

class TestFlacOutput : public QObject
{
    Q_OBJECT

private slots:
    void tracksAtFullDepth_data()
    {
        QTest::addColumn<QString>("image"); // made from a WAV image of these bits
        QTest::addColumn<int>("bits");
        // FLAC and WavPack images hand over 16 and 24 bits alike; only
        // WavPack's 20 bits are moved down to be read at depth.
        QTest::newRow("wav-16bit") << "image.wav" << 16;
        QTest::newRow("wav-24bit") << "image.wav" << 24;
        QTest::newRow("flac-24bit") << "image.flac" << 24;
        QTest::newRow("wavpack-24bit") << "image.wv" << 24;
        QTest::newRow("wavpack-20bit") << "image.wv" << 20;
        // libavcodec hands over samples deeper than 16 bits left-justified in 32.
        QTest::newRow("aiff-24bit") << "image.aiff" << 24;
        QTest::newRow("alac-24bit") << "image.m4a" << 24;
    }

    // A late first track, a pregap and a last track of 22 s with three seek
    // points. An older track in the other format is no reason to skip one.
    void tracksAtFullDepth()
    {
        QFETCH(QString, image);
        QFETCH(int, bits);
        QTemporaryDir dir;
        const int rate = 44100, width = bits == 16 ? 16 : 24, frameBytes = 2 * width / 8;
        QByteArray data = samples(rate * 25, 2, width);
        QVERIFY(writeFile(dir.filePath("image.wav"),
            bits == 20 ? wave20(2, rate, data) : canonical(2, rate, bits, data)));
        QVERIFY(
            image.endsWith(".wav") || encode(dir.filePath("image.wav"), dir.filePath(image), bits));
        const QByteArray sheet = lines("TITLE A;FILE \"" + image.toUtf8()
            + "\" WAVE;TRACK 01 AUDIO;INDEX 01 00:00:37;TRACK 02 AUDIO;INDEX 00 00:01:05;"
              "INDEX 01 00:02:00;TRACK 03 AUDIO;INDEX 01 00:03:01");
        const Split flac = split(dir, sheet, flat(dir, OutputFormat::Flac), {{"01.wav", "old"}});
        QCOMPARE(flac.log.filter("Samples cut").size(), 0);
        const Split wav = split(dir, sheet, flat(dir, OutputFormat::Wav, "%1", "wav"));
        const QString cut = "I Disc: Samples cut from %1 to 16 bits; choose FLAC to keep them";
        QCOMPARE(wav.log.filter("Samples cut"), QStringList(cut.arg(bits)).mid(0, bits > 16));
        QCOMPARE(wav.log.indexOf(cut.arg(bits)), bits > 16 ? 1 : -1); // before the first track
        // Start and end of each track in CD frames; the last ends with the image.
        const QList<QPair<qint64, qint64>> tracks {{37, 80}, {150, 226}, {226, 25 * 75}};
        for (int t = 0; t < 3; ++t) {
            const QString track = dir.filePath(QString("out/0%1.flac").arg(t + 1));
            const qint64 start = tracks[t].first * rate / 75, end = tracks[t].second * rate / 75;
            QCOMPARE(flacSamples(track), data.mid(start * frameBytes, (end - start) * frameBytes));
            const QString info = output("metaflac", {"--list", track});
            const qint64 points = (end - start + 10 * rate - 1) / (10 * rate);
            // Every seek point leads to its frame, not to the template's blank;
            // the MD5 signature is set, so flac -d above has checked it.
            QVERIFY2(info.contains(QString("bits-per-sample: %1\n").arg(bits))
                    && info.contains(QString("seek points: %1\n").arg(points))
                    && info.contains("frame_samples=") && !info.contains("frame_samples=0\n")
                    && !info.contains("MD5 signature: " + QString(32, '0')),
                qPrintable(info));
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
            flat(dir, OutputFormat::Flac, "%5-%1"));
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
            const QString track = dir.filePath(QString("out/2-0%1.flac").arg(t + 1));
            QCOMPARE(output("metaflac", {"--no-utf8-convert", "--export-tags-to=-", track}),
                expected[t]);
        }
        // Track 00, the audio before the first track, keeps its number.
        ExtractionSettings appended = flat(dir, OutputFormat::Flac);
        appended.gaps = GapMode::Append;
        split(dir, lines("TITLE A;FILE image.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:1:10"), appended);
        QCOMPARE(output("metaflac", {"--show-tag=TRACKNUMBER", dir.filePath("out/00.flac")}),
            "TRACKNUMBER=0\n");
    }

    void cover_data()
    {
        // files: beside the sheet, "," between, as name=width x height, name=junk
        // or name=huge; said: the line about the cover, or the picture embedded
        // as its file, MIME type, width, height and depth.
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("said");
        row("first-name-then-suffix-any-case",
            "Folder.png=4x2,cover.png=3x3,COVER.JPG=5x3,front.jpeg=6x6",
            "COVER.JPG image/jpeg 5 3 32");
        row("png", "cover.png=7x1", "cover.png image/png 7 1 32");
        row("unreadable-refused", "cover.png=junk,folder.jpg=2x2",
            "I Disc: Cover {dir}/cover.png not embedded: it cannot be read as a picture");
        row("over-16MiB-refused", "front.jpg=huge",
            "I Disc: Cover {dir}/front.jpg not embedded: it is larger than 16 MiB");
    }

    void cover()
    {
        QFETCH(QString, files);
        QFETCH(QString, said);
        QTemporaryDir dir;
        QVERIFY(
            writeFile(dir.filePath("image.wav"), canonical(2, 44100, 16, samples(88200, 2, 16))));
        for (const QString &file : files.split(',')) {
            const QString path = dir.filePath(file.section('=', 0, 0)), size = file.section('=', 1);
            if (size == "junk")
                QVERIFY(writeFile(path, "not a picture"));
            else if (size == "huge") // sparse, so the test writes nothing much
                QVERIFY(writeFile(path, {}) && QFile::resize(path, 16 * 1024 * 1024 + 1));
            else
                QVERIFY(QImage(size.section('x', 0, 0).toInt(), size.section('x', 1).toInt(),
                    QImage::Format_RGB32)
                            .save(path));
        }
        const Split done = split(dir,
            lines("TITLE A;FILE image.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;"
                  "INDEX 01 0:1:0"),
            flat(dir, OutputFormat::Flac));
        const bool refused = said.startsWith("I ");
        QCOMPARE(done.log.filter(" Cover "), QStringList(said).mid(0, refused));
        // Both tracks hold the same picture block: the listing shows its data too.
        const auto listed = [&dir](const char *track) {
            return output("metaflac", {"--list", "--block-type=PICTURE", dir.filePath(track)});
        };
        const QString info = listed("out/01.flac");
        QCOMPARE(listed("out/02.flac"), info);
        QCOMPARE(info.isEmpty(), refused);
        if (refused)
            return;
        const QStringList picture = said.split(' ');
        QVERIFY(run("metaflac",
            {"--export-picture-to=" + dir.filePath("picture"), dir.filePath("out/01.flac")}));
        QCOMPARE(readFile(dir.filePath("picture")), readFile(dir.filePath(picture[0])));
        const QString fields = "type: 3 (Cover (front))\n  MIME type: %1\n  description: \n"
                               "  width: %2\n  height: %3\n  depth: %4\n";
        QVERIFY2(info.contains(fields.arg(picture[1], picture[2], picture[3], picture[4])),
            qPrintable(info));
    }
};

static const bool registered = EngineTests::add<TestFlacOutput>();

#include "engine_flac.moc"
