// The engine as a run uses it: WAV images opened, sheets read, names made,
// and tracks written byte for byte, with what a stop or a refusal leaves on
// disk.

#include "cueparser.h"
#include "recordinghost.h"
#include "testfiles.h"
#include "unpackcue.h"
#include "waveread16.h"

#include <QStringEncoder>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace WavBuilder;
using namespace TestFiles;
using L = QList<qint64>;
using Files = QMap<QString, QByteArray>;

namespace {

// A disc in a folder of its own, which is also where its tracks go: the image
// "image.wav" of generated samples and the sheet "Disc.cue" by "Band" on "Album".
struct Disc
{
    QTemporaryDir dir;
    const QString cue = dir.filePath("Disc.cue");
    const L format; // channels, rate, bits, frames
    const QByteArray data, sheet;
    ExtractionSettings settings {dir.path(), false, false, true, "%1"};

    Disc(const L &image, const QByteArray &tracks)
        : format(image)
        , data(samples(image[3], image[0], image[2]))
        , sheet("PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"image.wav\" WAVE\n" + tracks)
    {
        if (!writeFile(cue, sheet) || !writeFile(dir.filePath("image.wav"), wave()))
            qFatal("cannot write the disc");
    }
    QByteArray wave() const { return canonical(format[0], format[1], format[2], data); }
    int split(RecordingHost &host) { return unpackCue(host, settings, cue, false); }
    // The folder as it must be: the sheet, the image untouched and the track
    // files named, each "old" or the 16-bit form of source frames "from-to".
    Files expected(const QStringList &files) const
    {
        Files result {{"Disc.cue", sheet}, {"image.wav", wave()}};
        const int frame = format[0] * format[2] / 8;
        for (const QString &file : files) {
            const QStringList range = file.section('=', 1).split('-');
            const qint64 from = range[0].toLongLong(), to = range.value(1).toLongLong();
            const QByteArray part = to16(data.mid(from * frame, (to - from) * frame), format[2]);
            const QByteArray track = canonical(format[0], format[1], 16, part);
            result.insert(file.section('=', 0, 0), range[0] == "old" ? "old" : track);
        }
        return result;
    }
};

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void reader_data()
    {
        QTest::addColumn<QByteArray>("image"); // null: no file at all
        QTest::addColumn<int>("result");
        QTest::addColumn<qint64>("length");
        const QByteArray fmt = chunk("fmt ", fmtBody(2, 44100, 16));
        const QByteArray data = chunk("data", samples(10, 2, 16));
        const QByteArray wave = riffWave({fmt, data});
        // clang-format off
        QTest::newRow("16bit-stereo") << wave << 1 << 10LL;
        QTest::newRow("fmt-extension-18-bytes") << riffWave({chunk("fmt ", fmtBody(2, 44100, 16, 1, 2)), data}) << 1 << 10LL;
        QTest::newRow("odd-chunk-without-pad-byte") << riffWave({fmt, chunk("junk", "xyz"), data}) << 1 << 10LL;
        QTest::newRow("truncated-data-whole-frames-only") << riffWave({fmt, chunk("data", 4000, samples(25, 2, 16) + "ab")}) << 1 << 25LL;
        QTest::newRow("missing-file") << QByteArray() << -1 << 0LL;
        QTest::newRow("rifx-big-endian") << QByteArray(wave).replace(0, 4, "RIFX") << -2 << 0LL;
        QTest::newRow("fmt-cut-short") << wave.left(30) << -3 << 0LL;
        QTest::newRow("8bit-samples") << riffWave({chunk("fmt ", fmtBody(2, 44100, 8)), data}) << -3 << 0LL;
        QTest::newRow("zero-channels") << riffWave({chunk("fmt ", fmtBody(0, 44100, 16)), data}) << -3 << 0LL;
        QTest::newRow("no-data-chunk") << riffWave({fmt, chunk("junk", "abcd")}) << -3 << 0LL;
        // clang-format on
    }

    void reader()
    {
        QFETCH(QByteArray, image);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        QVERIFY(image.isNull() || writeFile(path, image));
        WaveRead16 reader;
        QTEST(reader.open(path), "result");
        QTEST(reader.length, "length");
    }

    void parser_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        // Read: "performer|title" of the disc, then "number|performer|title|start|end"
        // of each track. Refused: the lines logged, {cue} and {dir} standing for
        // the sheet's and its folder's paths.
        QTest::addColumn<QStringList>("expected");
        const QByteArray head = "FILE \"disc.wav\" WAVE\n";
        const QByteArray one = head + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        const QString various = "Various (No information)|Disc 1";
        const auto sized = [&](int size) {
            return one + "REM " + QByteArray(size - one.size() - 5, 'x') + "\n";
        };
        const QString invalid = "E {cue}: Invalid line found";
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        // clang-format off
        QTest::newRow("pregap-ends-the-previous-track") << head + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:02:10\nINDEX 01 00:04:00\nTRACK 03 AUDIO\nINDEX 01 00:09:00\n"
            << QStringList{various, "01|Unknown Artist|Track 01|0|160", "02|Unknown Artist|Track 02|300|675", "03|Unknown Artist|Track 03|675|-1"};
        QTest::newRow("disc-texts-and-track-texts") << "PERFORMER \"Band\"\nTITLE \"Album\"\n" + head + "TRACK 1 AUDIO\nTITLE \"Song\"\nINDEX 01 1:2:3\nTRACK 02 AUDIO\nPERFORMER \"Guest\"\nINDEX 01 99:00:00\n"
            << QStringList{"Band|Album", "1|Band|Song|4653|445500", "02|Guest|Track 02|445500|-1"};
        QTest::newRow("any-case-blanks-crlf-skipped-lines") << QByteArray("\r\n  file \"disc.wav\" wave\r\nREM GENRE x\r\nCATALOG 1\r\n\ttrack 01 audio\r\nFLAGS DCP\r\nISRC X\r\n index 01 0:0:0 \r\n")
            << QStringList{various, "01|Unknown Artist|Track 01|0|-1"};
        QTest::newRow("latin1-bytes") << "PERFORMER \"Bj\xf6rk\"\n" + one << QStringList{"Björk|Unknown Title", "01|Björk|Track 01|0|-1"};
        QTest::newRow("utf16-bom-and-lone-cr") << QByteArray(utf16.encode(QString("TITLE \"Début\"\rPERFORMER \"Ørsted\"\rTRACK 01 AUDIO\rINDEX 01 0:0:0\r"))) << QStringList{"Ørsted|Début", "01|Ørsted|Track 01|0|-1"};
        QTest::newRow("exactly-100000-bytes") << sized(100000) << QStringList{various, "01|Unknown Artist|Track 01|0|-1"};
        QTest::newRow("100001-bytes") << sized(100001) << QStringList{"E File {cue} is too large"};
        QTest::newRow("unknown-keyword") << head + "COMPOSER \"x\"\n" << QStringList{invalid, "E     COMPOSER \"x\""};
        QTest::newRow("data-track") << one + "TRACK 02 MODE1/2352\n" << QStringList{invalid, "E     TRACK 02 MODE1/2352"};
        QTest::newRow("position-past-64-bits") << one + "INDEX 00 99999999999999999999:00:00\n" << QStringList{invalid, "E     INDEX 00 99999999999999999999:00:00"};
        QTest::newRow("file-after-track") << one + head << QStringList{"E Disc 1: 'FILE' found after track enlisting"};
        QTest::newRow("image-looked-for-beside-the-sheet") << QByteArray("FILE \"C:\\rips\\gone.wav\" WAVE\n") << QStringList{"E {cue}: Cannot find {dir}/gone.wav"};
        QTest::newRow("track-without-index") << head + "TRACK 01 AUDIO\nTRACK 02 AUDIO\n" << QStringList{"E {cue}: Track without an index found"};
        QTest::newRow("index-without-track") << head + "INDEX 01 0:0:0\n" << QStringList{"E {cue}: Index without a track found"};
        QTest::newRow("double-index") << one + "INDEX 01 0:1:0\n" << QStringList{"E {cue}: Double index found"};
        // clang-format on
    }

    void parser()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QStringList, expected);
        const QString path = m_dir.filePath("Disc 1.cue");
        QVERIFY(writeFile(path, sheet) && writeFile(m_dir.filePath("disc.wav"), "any"));
        RecordingHost host;
        CueSheet parsed;
        const bool read = readCueSheet(host, path, parsed);
        QStringList got {parsed.performer + '|' + parsed.title};
        for (const CueTrack &t : std::as_const(parsed.tracks))
            got << t.number + '|' + t.performer + '|' + t.title + '|' + QString::number(t.start)
                    + '|' + QString::number(t.end);
        expected.replaceInStrings("{cue}", QDir::toNativeSeparators(path));
        QCOMPARE(read ? got : host.lines,
            expected.replaceInStrings("{dir}", QDir::toNativeSeparators(m_dir.path())));
        QCOMPARE(host.marked, read ? QStringList() : QStringList {path});
    }

    void splits_data()
    {
        // The tracks go beside the sheet and the image, where an older "01.wav" is.
        QTest::addColumn<L>("image");          // channels, rate, bits, frames
        QTest::addColumn<QByteArray>("lines"); // of the sheet, after its FILE line
        QTest::addColumn<QString>("options");  // folders per "A"rtist and al"B"um, "O"verwrite
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("files"); // name=old or name=source frames from-to
        QTest::addColumn<QString>("last");      // line logged
        const L stereo {2, 44100, 16, 3000};
        const QByteArray one = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        const QByteArray two = one + "TRACK 02 AUDIO\nINDEX 01 00:00:02\n";
        const QString done = "I {cue}: Extraction successful";
        // clang-format off
        QTest::newRow("16bit-stereo-pregap-in-no-file") << L{2, 44100, 16, 6000} << one + "TRACK 02 AUDIO\nINDEX 00 00:00:03\nINDEX 01 00:00:05\n" << "O" << "%1" << QStringList{"01.wav=0-1764", "02.wav=2940-6000"} << done;
        // A CD frame is 426.67 frames at 32,000 Hz: boundaries are truncated.
        QTest::newRow("24bit-mono-at-32000") << L{1, 32000, 24, 2000} << QByteArray("TRACK 01 AUDIO\nINDEX 01 00:00:01\nTRACK 02 AUDIO\nINDEX 01 00:00:02\n") << "O" << "%1" << QStringList{"01.wav=426-853", "02.wav=853-2000"} << done;
        QTest::newRow("track-past-the-image-refused") << stereo << one + "TRACK 02 AUDIO\nINDEX 01 00:00:10\n" << "O" << "%1" << QStringList{"01.wav=old"} << "E {cue}: The image ends before track 02 starts";
        QTest::newRow("overwrite-off-skips-the-older-file") << stereo << two << "" << "%1" << QStringList{"01.wav=old", "02.wav=1176-3000"} << done;
        QTest::newRow("two-tracks-on-one-name-refused") << stereo << two << "O" << "%2" << QStringList{"01.wav=old", "Band.wav=0-1176"} << "E Disc: Two tracks would be written to {dir}/Band.wav";
        QTest::newRow("pattern-naming-the-image-refused") << stereo << two << "O" << "image" << QStringList{"01.wav=old"} << "E Disc: Refusing to overwrite the source {dir}/image.wav";
        QTest::newRow("artist-and-album-folders") << stereo << one << "AB" << "%1 %2 - %3" << QStringList{"01.wav=old", "Band/Album/01 Band - Track 01.wav=0-3000"} << done;
        QTest::newRow("album-folder-alone-names-the-artist") << stereo << one << "B" << "%4 %3" << QStringList{"01.wav=old", "Band - Album/Band - Album Track 01.wav=0-3000"} << done;
        QTest::newRow("unsafe-characters") << stereo << QByteArray("PERFORMER \"AC/DC\"\nTITLE \"Why?\"\nTRACK 01 AUDIO\nPERFORMER \"A*B\"\nTITLE \"Rock & Roll: +`n` \\ x\"\nINDEX 01 00:00:00\n") << "AB" << "\"%2\" %3" << QStringList{"01.wav=old", "AC-DC/Why/A-B Rock and Roll_ _'n' _ x.wav=0-3000"} << done;
        QTest::newRow("slash-in-pattern-opens-no-folder") << stereo << one << "" << "%2/%3" << QStringList{"01.wav=old", "Band-Track 01.wav=0-3000"} << done;
        QTest::newRow("no-disc-texts-album-folder-named-after-the-sheet") << stereo << "PERFORMER \"Unknown Artist\"\nTITLE \"Unknown Title\"\n" + one << "" << "%1" << QStringList{"01.wav=old", "Disc/01.wav=0-3000"} << done;
        QTest::newRow("dots-never-name-a-folder") << stereo << "PERFORMER \"..\"\nTITLE \".\"\n" + one << "AB" << "%4" << QStringList{"01.wav=old", "__/_/..wav=0-3000"} << done;
        QTest::newRow("title-holding-a-later-marker") << stereo << QByteArray("TRACK 01 AUDIO\nTITLE \"Best of %4\"\nINDEX 01 00:00:00\n") << "" << "%3" << QStringList{"01.wav=old", "Best of Album.wav=0-3000"} << done;
        QTest::newRow("blank-pattern") << stereo << one << "" << "   " << QStringList{"01.wav=old", ".wav=0-3000"} << done;
        // clang-format on
    }

    void splits()
    {
        QFETCH(L, image);
        QFETCH(QByteArray, lines);
        QFETCH(QString, options);
        QFETCH(QString, pattern);
        QFETCH(QString, last);
        Disc disc(image, lines);
        disc.settings = {disc.dir.path(), options.contains('A'), options.contains('B'),
            options.contains('O'), pattern};
        // A replaced file keeps its permissions.
        const QString older = disc.dir.filePath("01.wav");
        QVERIFY(writeFile(older, "old"));
        QVERIFY(
            QFile::setPermissions(older, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QFile::Permissions permissions = QFile::permissions(older);
        RecordingHost host;
        QCOMPARE(disc.split(host), int(last.startsWith('I')));
        QCOMPARE(host.lines.value(host.lines.size() - 1),
            last.replace("{cue}", disc.cue).replace("{dir}", disc.dir.path()));
        const Files found = filesBelow(disc.dir.path());
        QFETCH(QStringList, files);
        QVERIFY2(found == disc.expected(files), qPrintable(found.keys().join(", ")));
        QCOMPARE(QFile::permissions(older), permissions);
    }

    // A stop at any yield ends the sheet there (one more turn once a part file
    // is gone): no part file stays, and each track file is the older one or whole.
    void stopAtEveryYield()
    {
        // Mono: track 2 takes two copy chunks of 2,097,152 frames.
        Disc disc({1, 44100, 16, 2098582},
            "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:00:01\n"
            "TRACK 03 AUDIO\nINDEX 01 00:47:43\n");
        const Files whole
            = disc.expected({"01.wav=0-588", "02.wav=588-2097984", "03.wav=2097984-2098582"});
        for (int stopAt = 1; stopAt < 100; ++stopAt) {
            for (const char *name : {"01.wav", "02.wav", "03.wav"})
                QVERIFY(writeFile(disc.dir.filePath(name), "old"));
            RecordingHost host;
            host.stopAtYield = stopAt;
            if (disc.split(host) == 1)
                break;
            QVERIFY(host.yields <= stopAt + 1);
            QCOMPARE(host.lines.value(host.lines.size() - 1), "E User termination");
            Files found = filesBelow(disc.dir.path());
            QCOMPARE(found.keys(), whole.keys());
            for (const QString &name : whole.keys())
                QVERIFY(found[name] == "old" || found[name] == whole[name]);
        }
        QVERIFY(filesBelow(disc.dir.path()) == whole);
    }
    // A full disk (a file-size limit, in a child process) ends the sheet with
    // the older track file untouched and no part file left behind.
    void fullDisk()
    {
        Disc disc({2, 44100, 16, 300000}, "TRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        QVERIFY(writeFile(disc.dir.filePath("01.wav"), "old"));
        const pid_t child = fork();
        if (child == 0) {
            const rlimit limit {65536, 65536};
            signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            RecordingHost host;
            const bool refused
                = disc.split(host) == 0 && host.lines.last().startsWith("E Disc: Error writing");
            _exit(refused ? 0 : 1);
        }
        int status = -1;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(status, 0);
        QVERIFY(filesBelow(disc.dir.path()) == disc.expected({"01.wav=old"}));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
