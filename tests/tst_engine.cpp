// The engine as a run uses it: WAV images opened, sheets read, names made,
// and tracks written byte for byte, with what a stop or a refusal leaves on
// disk. The FLAC and WavPack images and sheets as rippers write them have test
// classes of their own in this program.

#include "enginetests.h"
#include "recordinghost.h"
#include "splicepipe.h"
#include "testfiles.h"
#include "unpackcue.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace WavBuilder;
using namespace TestFiles;
using L = QList<qint64>;

namespace {

// A disc in a folder of its own, which is also where its tracks go: the image
// "image.wav" of generated samples (after a chunk of odd size, with no pad
// byte, as rippers write them) and the sheet "Live 1.2.cue" by
// "Band" on "Album", whose name is its file's less the last suffix.
struct Disc
{
    QTemporaryDir dir;
    const QString cue = dir.filePath("Live 1.2.cue");
    const L format; // channels, rate, bits, frames[, fmt extension bytes, frames declared]
    const QByteArray data, sheet;
    ExtractionSettings settings {dir.path(), false, false, true, "%1"};

    Disc(const L &image, const QByteArray &tracks)
        : format(image)
        , data(samples(image[3], image[0], image[2]))
        , sheet(lines("PERFORMER \"Band\";TITLE \"Album\";FILE \"image.wav\" WAVE;" + tracks))
    {
        if (!writeFile(cue, sheet) || !writeFile(dir.filePath("image.wav"), wave()))
            qFatal("cannot write the disc");
    }
    QByteArray wave() const
    {
        const qint64 declared = format.value(5, format[3]) * format[0] * format[2] / 8;
        return riffWave(
            {chunk("fmt ", fmtBody(format[0], format[1], format[2], 1, format.value(4))),
                chunk("LIST", "odd"), chunk("data", declared, data)});
    }
    int split(RecordingHost &host) { return unpackCue(host, settings, cue, false); }
    // The folder as it must be: the sheet, the image untouched and the track
    // files named, each "old" or the 16-bit form of source frames "from-to".
    Files expected(const QStringList &files) const
    {
        Files result {{"Live 1.2.cue", sheet}, {"image.wav", wave()}};
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

// Rows of the table below: the texts' "," separates list entries.
void splitRow(const char *tag, const L &image, const QByteArray &sheet, const QString &options,
    const QString &pattern, const QString &files, const QString &last = {})
{
    QTest::newRow(tag) << image << sheet << options << pattern << files.split(',') << last;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void splits_data()
    {
        // The tracks go beside the sheet and the image, where an older "01.wav" is.
        QTest::addColumn<L>("image");          // channels, rate, bits, frames
        QTest::addColumn<QByteArray>("sheet"); // after its FILE line, ";" ending a line
        QTest::addColumn<QString>("options");  // folders per "A"rtist and al"B"um, "O"verwrite
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("files"); // name=old or name=source frames from-to
        QTest::addColumn<QString>("last");      // line logged; empty: the sheet was split
        const L stereo {2, 44100, 16, 3000};
        const QByteArray one = "TRACK 01 AUDIO;INDEX 01 00:00:00;";
        const QByteArray two = one + "TRACK 02 AUDIO;INDEX 01 00:00:02";
        splitRow("16bit-stereo-pregap-in-no-file", {2, 44100, 16, 6000},
            one + "TRACK 02 AUDIO;INDEX 00 00:00:03;INDEX 01 00:00:05", "O", "%1",
            "01.wav=0-1764,02.wav=2940-6000");
        // A CD frame is 426.67 frames at 32,000 Hz: boundaries are truncated.
        splitRow("24bit-mono-at-32000", {1, 32000, 24, 2000},
            "TRACK 01 AUDIO;INDEX 01 0:0:1;TRACK 02 AUDIO;INDEX 01 0:0:2", "O", "%1",
            "01.wav=426-853,02.wav=853-2000");
        // Only what the file holds counts, whatever its data chunk declares.
        splitRow("data-chunk-cut-short", {2, 44100, 16, 3000, 0, 5000},
            one + "TRACK 02 AUDIO;INDEX 01 00:00:06", "O", "%1", "01.wav=old",
            "E {cue}: The image ends before track 02 starts");
        splitRow("32bit-refused", {2, 44100, 32, 3000}, one, "O", "%1", "01.wav=old",
            "E {cue}: Failed to open {dir}/image.wav");
        splitRow("overwrite-off-skips", stereo, two, "", "%1", "01.wav=old,02.wav=1176-3000");
        splitRow("two-tracks-on-one-name", stereo, two, "O", "%2", "01.wav=old,Band.wav=0-1176",
            "E Live 1.2: Two tracks would be written to {dir}/Band.wav");
        splitRow("pattern-naming-the-image", stereo, two, "O", "image", "01.wav=old",
            "E Live 1.2: Refusing to overwrite the source {dir}/image.wav");
        splitRow("artist-and-album-folders", stereo, one, "AB", "%1 %2 - %3",
            "01.wav=old,Band/Album/01 Band - Track 01.wav=0-3000");
        splitRow("unsafe-characters", stereo,
            "PERFORMER \"AC/DC\";TITLE \"Why?\";TRACK 01 AUDIO;PERFORMER \"A*B\";"
            "TITLE \"Rock &\x01 Roll: +`n` \\ x %2\";INDEX 01 00:00:00",
            "AB", "\"%2\" %3", "01.wav=old,AC-DC/Why/A-B Rock and Roll_ _'n' _ x %2.wav=0-3000");
        // "." and ".." name no folder of their own.
        const QByteArray dots = "PERFORMER \"..\";TITLE \".\";" + one;
        splitRow(
            "dot-names-both-folders", stereo, dots, "AB", "%1", "01.wav=old,__/_/01.wav=0-3000");
        splitRow("no-disc-texts", stereo,
            "PERFORMER \"Unknown Artist\";TITLE \"Unknown Title\";" + one, "", "%1",
            "01.wav=old,Live 1.2/01.wav=0-3000");
    }

    void splits()
    {
        QFETCH(L, image);
        QFETCH(QByteArray, sheet);
        QFETCH(QString, options);
        QFETCH(QString, pattern);
        QFETCH(QString, last);
        Disc disc(image, sheet);
        disc.settings = {disc.dir.path(), options.contains('A'), options.contains('B'),
            options.contains('O'), pattern};
        // A replaced file keeps its permissions.
        const QString older = disc.dir.filePath("01.wav");
        QVERIFY(writeFile(older, "old"));
        QVERIFY(
            QFile::setPermissions(older, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QFile::Permissions permissions = QFile::permissions(older);
        RecordingHost host;
        QCOMPARE(disc.split(host), int(last.isEmpty()));
        if (last.isEmpty())
            last = "I {cue}: Extraction successful";
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
            "TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;INDEX 01 0:0:1;TRACK 03 AUDIO;INDEX 01 "
            "0:47:43");
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

    void imageShrinks_data()
    {
        QTest::addColumn<qint64>("left"); // frames of track 02's second chunk left in the image
        QTest::addColumn<int>("torn");    // bytes of a frame after them
        QTest::newRow("cut-inside-a-piece-torn") << qint64(500) << 3;
        QTest::newRow("cut-at-a-chunk-end") << qint64(0) << 0;
        QTest::newRow("cut-past-a-page") << qint64(4000) << 1;
    }

    // The image is cut while track 02 is being written: the track ends where
    // the audio now does, as a valid file, and the run goes on; a frame the
    // cut tore in two stays out of it.
    void imageShrinks()
    {
        QFETCH(qint64, left);
        QFETCH(int, torn);
        Disc disc(
            {2, 44100, 16, 2300000}, "TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;INDEX 01 0:0:1");
        const QString image = disc.dir.filePath("image.wav");
        const qint64 firstChunk = 2097152, end = 588 + firstChunk + left;
        RecordingHost host;
        host.atYield = [&] {
            const QStringList parts = QDir(disc.dir.path()).entryList({"02.wav.*"});
            if (!parts.isEmpty() && QFileInfo(disc.dir.filePath(parts[0])).size() > 4 * firstChunk)
                QFile::resize(image, disc.wave().size() - disc.data.size() + end * 4 + torn);
        };
        QCOMPARE(disc.split(host), 1);
        QCOMPARE(host.lines.mid(3),
            QStringList({"I Live 1.2: Track 02 cut short: the WAV image ends before the track does",
                "I " + disc.cue + ": Extraction successful"}));
        QCOMPARE(readFile(disc.dir.filePath("02.wav")),
            canonical(2, 44100, 16, disc.data.mid(588 * 4, (end - 588) * 4)));
        // Nor does it keep the disk space set aside for the rest.
        struct stat track;
        QVERIFY(stat(QFile::encodeName(disc.dir.filePath("02.wav")).constData(), &track) == 0
            && track.st_blocks * 512 < track.st_size + 65536);
    }

    // The pipe moves any length in loads of its own size, and only whole
    // units: the tail of a file cut inside one stays behind.
    void splicePipeMovesWholeUnits()
    {
        QTemporaryDir dir;
        const QByteArray data = samples(3 * 1048576 + 7, 1, 8);
        QVERIFY(writeFile(dir.filePath("from"), data));
        QFile from(dir.filePath("from")), to(dir.filePath("to"));
        QVERIFY(from.open(QIODevice::ReadOnly) && to.open(QIODevice::WriteOnly));
        SplicePipe pipe;
        const qint64 first = 2621440; // two and a half loads
        QCOMPARE(pipe.move(from.handle(), 44, first, to.handle(), 4).bytes, first);
        QCOMPARE(pipe.move(from.handle(), 44 + first, first, to.handle(), 4).bytes, 524248);
        to.close();
        QCOMPARE(readFile(dir.filePath("to")), data.mid(44, first + 524248));
    }

    void fullDisk_data()
    {
        QTest::addColumn<QString>("track");
        QTest::addColumn<int>("bits");
        QTest::addColumn<qint64>("limit"); // below zero: so much short of the whole track
        QTest::newRow("wav") << "01.wav" << 16 << qint64(65536);
        QTest::newRow("wav-in-its-last-piece") << "01.wav" << 16 << qint64(44 + 1049576);
        QTest::newRow("wav-from-24-bit") << "01.wav" << 24 << qint64(65536);
        QTest::newRow("flac-in-its-last-write") << "01.flac" << 16 << qint64(-10);
    }

    // A full disk (a file-size limit, in a child process) ends the sheet with
    // the older track file untouched and no part file left behind.
    void fullDisk()
    {
        QFETCH(QString, track);
        QFETCH(int, bits);
        QFETCH(qint64, limit);
        Disc disc({2, 44100, bits, 300000}, "TRACK 01 AUDIO;INDEX 01 00:00:00");
        const bool flac = track.endsWith("flac");
        disc.settings.outputFormat = flac ? OutputFormat::Flac : OutputFormat::Wav;
        // A limit within the track's last piece or write: a short write there
        // must fail the track too, not leave it short under a full header.
        RecordingHost probe;
        const quint64 size = limit < 0 && disc.split(probe)
            ? QFileInfo(disc.dir.filePath(track)).size() + limit
            : limit;
        QVERIFY(writeFile(disc.dir.filePath(track), "old"));
        const pid_t child = fork();
        if (child == 0) {
            const rlimit limit {size, size};
            signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            RecordingHost host;
            _exit(
                disc.split(host) == 0 && host.lines.last().startsWith("E Live 1.2: Error writing"));
        }
        int status = -1;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(status, 1 << 8);
        QVERIFY(filesBelow(disc.dir.path()) == disc.expected({track + "=old"}));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestEngine engine;
    int failed = QTest::qExec(&engine, argc, argv);
    for (const EngineTests::Make &make : EngineTests::classes())
        failed |= QTest::qExec(make().get(), argc, argv);
    return failed;
}

#include "tst_engine.moc"
