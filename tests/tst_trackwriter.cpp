#include "cuesheet.h"
#include "recordinghost.h"
#include "trackwriter.h"
#include "unpackcue.h"
#include "wavbuilder.h"
#include "waveread16.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace WavBuilder;
using L = QList<qint64>;

namespace {

QString trackName(int index)
{
    return QString("%1.wav").arg(index + 1, 2, 10, QLatin1Char('0'));
}

QStringList trackNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << trackName(i);
    return names;
}

QStringList entries(const QString &dir)
{
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    return QDir(dir).entryList(all, QDir::Name);
}

// Tracks "01", "02"... by "Band" on "Album", positions in CD frames as the
// parser leaves them.
CueSheet makeSheet(const QString &wav, const L &starts, const L &ends)
{
    CueSheet sheet {"Band", "Album", wav, {}};
    for (int i = 0; i < starts.size(); ++i)
        sheet.tracks << CueTrack {trackName(i).left(2), "Band", "Track", starts[i], ends[i]};
    return sheet;
}

// One split in a fresh folder: a generated image, the destination "out" and
// the sheet path "Disc.cue" beside them.
struct Split
{
    QTemporaryDir tmp;
    const QString out = tmp.filePath("out");
    const QString cue = tmp.filePath("Disc.cue");
    const QString wav = tmp.filePath("image.wav");
    int channels;
    int bits;
    int rate;
    QByteArray data;
    RecordingHost host;

    explicit Split(int channels = 2, int rate = 44100, int bits = 16, qint64 frames = 3000,
        qint64 loopEnd = -1)
        : channels(channels)
        , bits(bits)
        , rate(rate)
    {
        QDir().mkdir(out);
        data = samples(frames, channels, bits, quint32(frames));
        QList<QByteArray> chunks {
            chunk("fmt ", fmtBody(channels, rate, bits)), chunk("data", data)};
        if (loopEnd >= 0)
            chunks << chunk("smpl", smplBody(1, 0, quint32(loopEnd)));
        writeFile(wav, riffWave(chunks));
    }

    // The file that source frames [from, to) must give.
    QByteArray track(qint64 from, qint64 to) const
    {
        const int frame = channels * bits / 8;
        return canonical(
            channels, rate, 16, to16(data.mid(from * frame, (to - from) * frame), bits));
    }
    QString file(int index) const { return out + '/' + trackName(index); }
    ExtractionSettings settings(bool overwrite = false, const QString &pattern = "%1") const
    {
        return ExtractionSettings {out, false, false, overwrite, pattern};
    }
    int run(const ExtractionSettings &settings, const CueSheet &sheet)
    {
        WaveRead16 source;
        if (source.open(sheet.wavFile) <= 0)
            return -1;
        WrittenFiles written;
        return writeTracks(host, settings, cue, sheet, source, written);
    }
    int run(const L &starts, const L &ends, bool overwrite = false)
    {
        return run(settings(overwrite), makeSheet(wav, starts, ends));
    }
    QStringList expand(QStringList lines) const
    {
        lines.replaceInStrings("{out}", QDir::toNativeSeparators(out));
        lines.replaceInStrings("{cue}", QDir::toNativeSeparators(cue));
        return lines.replaceInStrings("{tmp}", QDir::toNativeSeparators(tmp.path()));
    }
};

} // namespace

class TestTrackWriter : public QObject
{
    Q_OBJECT

private slots:
    void tracksAreByteExact_data();
    void tracksAreByteExact();
    void existingTarget_data();
    void existingTarget();
    void emptyAndShortTracks_data();
    void emptyAndShortTracks();
    void sourceShrinksAfterOpen();
    void destinationUnusable_data();
    void destinationUnusable();
    void workedExampleRunTwice();
    void stopAtEveryYield_data();
    void stopAtEveryYield();
    void diskFullKeepsOlderFiles();
    void sourceIsNeverOverwritten_data();
    void sourceIsNeverOverwritten();
    void refusesTrackPast4GiB();
    void twoTracksOneName_data();
    void twoTracksOneName();
    void matchesShnsplit();
};

void TestTrackWriter::tracksAreByteExact_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("loopEnd");
    QTest::addColumn<L>("starts"); // CD frames
    QTest::addColumn<L>("ends");
    QTest::addColumn<L>("bounds"); // source frames, from and to of every track
    QTest::addColumn<int>("yields");

    QTest::newRow("stereo-16bit-44100")
        << 2 << 44100 << 16 << qint64(220600) << qint64(-1) << L {0, 150} << L {150, -1}
        << L {0, 88200, 88200, 220600} << 12;
    QTest::newRow("source-24bit-gives-16bit")
        << 2 << 44100 << 24 << qint64(3000) << qint64(-1) << L {0, 2} << L {2, -1}
        << L {0, 1176, 1176, 3000} << 12;
    QTest::newRow("mono-22050") << 1 << 22050 << 16 << qint64(5000) << qint64(-1) << L {0, 3}
                                << L {3, -1} << L {0, 882, 882, 5000} << 12;
    QTest::newRow("six-channel-48k-lead-in-two-chunks")
        << 6 << 48000 << 16 << qint64(700001) << qint64(-1) << L {1} << L {-1} << L {640, 700001}
        << 8;
    QTest::newRow("track-one-frame-over-a-chunk")
        << 1 << 44100 << 16 << qint64(2097153) << qint64(-1) << L {0} << L {-1} << L {0, 2097153}
        << 8;
    QTest::newRow("index00-pregap-in-no-file")
        << 2 << 44100 << 16 << qint64(6000) << qint64(-1) << L {0, 5} << L {3, -1}
        << L {0, 1764, 2940, 6000} << 12;
    QTest::newRow("smpl-loop-shortens-last-track")
        << 2 << 44100 << 16 << qint64(6000) << qint64(4999) << L {0, 5} << L {5, -1}
        << L {0, 2940, 2940, 5000} << 12;
    QTest::newRow("positions-truncate-at-32000")
        << 2 << 32000 << 16 << qint64(2000) << qint64(-1) << L {0, 1, 2} << L {1, 2, -1}
        << L {0, 426, 426, 853, 853, 2000} << 17;
}

void TestTrackWriter::tracksAreByteExact()
{
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(qint64, frames);
    QFETCH(qint64, loopEnd);
    QFETCH(L, starts);
    QFETCH(L, ends);
    QFETCH(L, bounds);
    QFETCH(int, yields);

    Split split(channels, rate, bits, frames, loopEnd);
    QCOMPARE(split.run(starts, ends), 1);
    QStringList lines;
    for (int i = 0; i < starts.size(); ++i) {
        QVERIFY2(readFile(split.file(i)) == split.track(bounds[2 * i], bounds[2 * i + 1]),
            qPrintable(trackName(i)));
        lines << "I Disc: Writing {out}/" + trackName(i) + "...";
    }
    QCOMPARE(split.host.lines, split.expand(lines << "I {cue}: Extraction successful"));
    QCOMPARE(entries(split.out), trackNames(starts.size()));
    QCOMPARE(split.host.yields, yields); // one per step and one per chunk
}

void TestTrackWriter::existingTarget_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("overwrite-off-skips-and-goes-on")
        << false
        << QStringList {
               "I Disc: Skipping existing file {out}/01.wav", "I Disc: Writing {out}/02.wav..."};
    QTest::newRow("overwrite-on-replaces")
        << true
        << QStringList {"I Disc: Overwriting existing file {out}/01.wav",
               "I Disc: Writing {out}/01.wav...", "I Disc: Writing {out}/02.wav..."};
}

void TestTrackWriter::existingTarget()
{
    QFETCH(bool, overwrite);
    QFETCH(QStringList, lines);

    Split split;
    QVERIFY(writeFile(split.file(0), "old track"));
    QCOMPARE(split.run({0, 2}, {2, -1}, overwrite), 1);
    QCOMPARE(split.host.lines, split.expand(lines << "I {cue}: Extraction successful"));
    QCOMPARE(readFile(split.file(0)), overwrite ? split.track(0, 1176) : "old track");
    QCOMPARE(readFile(split.file(1)), split.track(1176, 3000));
}

void TestTrackWriter::emptyAndShortTracks_data()
{
    QTest::addColumn<L>("starts");
    QTest::addColumn<L>("ends");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<L>("files"); // index, from and to of every file written

    const QString cut = "I Disc: Track %1 cut short: the WAV image ends before the track does";
    QTest::newRow("equal-index01-no-track-data")
        << L {0, 2, 2} << L {2, 2, -1}
        << QStringList {"I Disc: Writing {out}/01.wav...", "I Disc: Warning in file {out}/02.wav",
               "I Disc: No track data, size=0", "I Disc: Writing {out}/03.wav..."}
        << L {0, 0, 1176, 2, 1176, 3000};
    QTest::newRow("backwards-index01-negative-size")
        << L {0, 4, 2} << L {4, 2, -1}
        << QStringList {"I Disc: Writing {out}/01.wav...", "I Disc: Warning in file {out}/02.wav",
               "I Disc: No track data, size=-1176", "I Disc: Writing {out}/03.wav..."}
        << L {0, 0, 2352, 2, 1176, 3000};
    QTest::newRow("last-track-starts-past-end")
        << L {0, 10} << L {10, -1}
        << QStringList {"I Disc: Writing {out}/01.wav...", cut.arg("01"),
               "I Disc: Warning in file {out}/02.wav", "I Disc: No track data, size=-2880"}
        << L {0, 0, 3000};
    QTest::newRow("middle-track-past-end")
        << L {0, 10, 20} << L {10, 20, -1}
        << QStringList {"I Disc: Writing {out}/01.wav...", cut.arg("01"), cut.arg("02"),
               "I Disc: Warning in file {out}/02.wav", "I Disc: No track data, size=0",
               "I Disc: Warning in file {out}/03.wav", "I Disc: No track data, size=-8760"}
        << L {0, 0, 3000};
}

void TestTrackWriter::emptyAndShortTracks()
{
    QFETCH(L, starts);
    QFETCH(L, ends);
    QFETCH(QStringList, lines);
    QFETCH(L, files);

    Split split;
    QCOMPARE(split.run(starts, ends), 1);
    QCOMPARE(split.host.lines, split.expand(lines << "I {cue}: Extraction successful"));
    QStringList names;
    for (int i = 0; i < files.size(); i += 3) {
        names << trackName(files[i]);
        QCOMPARE(readFile(split.file(files[i])), split.track(files[i + 1], files[i + 2]));
    }
    QCOMPARE(entries(split.out), names);
}

void TestTrackWriter::sourceShrinksAfterOpen()
{
    Split split;
    WaveRead16 source;
    QCOMPARE(source.open(split.wav), 1);
    // Half of track 2 and all of track 3 vanish once the image has been checked.
    QVERIFY(QFile::resize(split.wav, 44 + 1500 * 4));
    WrittenFiles written;
    QCOMPARE(writeTracks(split.host, split.settings(), split.cue,
                 makeSheet(split.wav, {0, 2, 4}, {2, 4, -1}), source, written),
        1);
    const QString cut = "I Disc: Track %1 cut short: the WAV image ends before the track does";
    QCOMPARE(split.host.lines,
        split.expand({"I Disc: Writing {out}/01.wav...", "I Disc: Writing {out}/02.wav...",
            cut.arg("02"), "I Disc: Writing {out}/03.wav...", cut.arg("03"),
            "I Disc: Warning in file {out}/03.wav", "I Disc: No track data, size=0",
            "I {cue}: Extraction successful"}));
    QCOMPARE(entries(split.out), trackNames(2));
    QCOMPARE(readFile(split.file(0)), split.track(0, 1176));
    QCOMPARE(readFile(split.file(1)), split.track(1176, 1500));
}

void TestTrackWriter::destinationUnusable_data()
{
    QTest::addColumn<QString>("dest");
    QTest::addColumn<bool>("folders");
    QTest::addColumn<bool>("subArtist");
    QTest::addColumn<QString>("line");

    // Tests run as root, so a plain file is what makes a destination unusable.
    QTest::newRow("artist-folder-full-path-prefix")
        << "plain-file" << true << true << "E {cue}: Cannot create directory {tmp}/plain-file/Band";
    QTest::newRow("album-folder-base-name-prefix")
        << "plain-file" << true << false
        << "E Disc: Cannot create directory {tmp}/plain-file/Band - Album";
    QTest::newRow("missing-destination-is-not-made")
        << "missing" << true << true << "E {cue}: Cannot create directory {tmp}/missing/Band";
    QTest::newRow("track-file-cannot-be-opened")
        << "missing" << false << false << "E Disc: Cannot write file {tmp}/missing/01.wav";
}

void TestTrackWriter::destinationUnusable()
{
    QFETCH(QString, dest);
    QFETCH(bool, folders);
    QFETCH(bool, subArtist);
    QFETCH(QString, line);

    Split split;
    QVERIFY(writeFile(split.tmp.filePath("plain-file"), "not a folder"));
    const ExtractionSettings settings {split.tmp.filePath(dest), subArtist, folders, false, "%1"};
    QCOMPARE(split.run(settings, makeSheet(split.wav, {0}, {-1})), 0);
    QCOMPARE(split.host.lines, split.expand({line}));
    QCOMPARE(split.host.marked, QStringList {split.cue});
    QCOMPARE(entries(split.tmp.path()), (QStringList {"image.wav", "out", "plain-file"}));
}

void TestTrackWriter::workedExampleRunTwice()
{
    Split split(2, 44100, 16, 2000);
    const QString cue = split.tmp.filePath("Disc.cue");
    QVERIFY(writeFile(cue,
        "PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"image.wav\" WAVE\n"
        "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:00:01\n"));
    const ExtractionSettings settings {split.out, true, true, false, "%1 %2 - %3"};
    const QString album = split.out + "/Band/Album/";

    RecordingHost first;
    QCOMPARE(unpackCue(first, settings, cue, false), 1);
    QCOMPARE(first.lines,
        split.expand({"I Extracting tracks from {cue}",
            "I Disc: Writing {out}/Band/Album/01 Band - One.wav...",
            "I Disc: Writing {out}/Band/Album/02 Band - Two.wav...",
            "I {cue}: Extraction successful"}));
    QCOMPARE(readFile(album + "01 Band - One.wav"), split.track(0, 588));
    QCOMPARE(readFile(album + "02 Band - Two.wav"), split.track(588, 2000));

    RecordingHost second;
    QCOMPARE(unpackCue(second, settings, cue, false), 1);
    QCOMPARE(second.lines,
        split.expand({"I Extracting tracks from {cue}",
            "I Disc: Skipping existing file {out}/Band/Album/01 Band - One.wav",
            "I Disc: Skipping existing file {out}/Band/Album/02 Band - Two.wav",
            "I {cue}: Extraction successful"}));
    QCOMPARE(entries(album), (QStringList {"01 Band - One.wav", "02 Band - Two.wav"}));
}

void TestTrackWriter::stopAtEveryYield_data()
{
    QTest::addColumn<bool>("overwriteOld");

    QTest::newRow("fresh-folder") << false;
    QTest::newRow("old-files-survive-overwrite") << true;
}

void TestTrackWriter::stopAtEveryYield()
{
    QFETCH(bool, overwriteOld);

    // Mono 44,100 Hz: track 2 takes two chunks, so the sheet yields at
    // 1-2 (folders), 3-7 (track 1), 8-13 (track 2) and 14-18 (track 3).
    Split split(1, 44100, 16, 3569 * 588 + 10);
    const L bounds {0, 588, 588, 3568 * 588, 3568 * 588, 3569 * 588 + 10};
    const QList<int> lastYieldOfTrack {7, 13, 18};
    int stopAt = 1;
    for (;; ++stopAt) {
        QVERIFY(QDir(split.out).removeRecursively() && QDir().mkdir(split.out));
        for (int i = 0; overwriteOld && i < 3; ++i)
            QVERIFY(writeFile(split.file(i), "old " + trackName(i).toUtf8()));
        split.host = RecordingHost();
        split.host.stopAtYield = stopAt;
        const int result = split.run({0, 1, 3568}, {1, 3568, -1}, overwriteOld);
        int complete = 0;
        while (complete < 3 && lastYieldOfTrack[complete] < stopAt)
            ++complete;
        QCOMPARE(entries(split.out), trackNames(overwriteOld ? 3 : complete));
        for (int i = 0; i < 3; ++i) {
            const QByteArray bytes = readFile(split.file(i));
            if (i < complete)
                QVERIFY(bytes == split.track(bounds[2 * i], bounds[2 * i + 1]));
            else if (overwriteOld)
                QCOMPARE(bytes, "old " + trackName(i).toUtf8());
        }
        if (result == 1)
            break;
        QCOMPARE(result, 0);
        QCOMPARE(split.host.lines.last(), "E User termination");
        QCOMPARE(split.host.marked, QStringList {split.cue});
        QVERIFY(stopAt < 30);
    }
    QCOMPARE(stopAt, lastYieldOfTrack.last() + 1);
}

void TestTrackWriter::diskFullKeepsOlderFiles()
{
    Split split(1, 44100, 16, 500 * 588);
    QVERIFY(writeFile(split.file(1), "older track 2"));
    int pipeFds[2];
    QCOMPARE(pipe(pipeFds), 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // No file may grow past 100,000 bytes: track 1 fits, track 2 does not.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int result = split.run({0, 10, 490}, {10, 490, -1}, true);
        const QByteArray report
            = QByteArray::number(result) + '\n' + split.host.lines.join('\n').toUtf8();
        _exit(write(pipeFds[1], report.constData(), report.size()) == report.size() ? 0 : 1);
    }
    close(pipeFds[1]);
    QByteArray report;
    char piece[4096];
    for (ssize_t n; (n = read(pipeFds[0], piece, sizeof piece)) > 0;)
        report.append(piece, n);
    close(pipeFds[0]);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    QCOMPARE(QString::fromUtf8(report).split('\n'),
        split.expand({"0", "I Disc: Writing {out}/01.wav...",
            "I Disc: Overwriting existing file {out}/02.wav", "I Disc: Writing {out}/02.wav...",
            "E Disc: Error writing {out}/02.wav (check disk space?)"}));
    QCOMPARE(entries(split.out), trackNames(2));
    QCOMPARE(readFile(split.file(0)), split.track(0, 5880));
    QCOMPARE(readFile(split.file(1)), "older track 2");
}

void TestTrackWriter::sourceIsNeverOverwritten_data()
{
    QTest::addColumn<QString>("cueName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("line");

    QTest::newRow("pattern-names-the-image")
        << "Disc.cue"
        << "image"
        << "E Disc: Refusing to overwrite the source {tmp}/image.wav";
    QTest::newRow("symlink-to-the-image")
        << "Disc.cue"
        << "link"
        << "E Disc: Refusing to overwrite the source {tmp}/link.wav";
    QTest::newRow("pattern-names-the-sheet")
        << "Sheet.wav"
        << "Sheet"
        << "E Sheet: Refusing to overwrite the source {tmp}/Sheet.wav";
}

void TestTrackWriter::sourceIsNeverOverwritten()
{
    QFETCH(QString, cueName);
    QFETCH(QString, title);
    QFETCH(QString, line);

    Split split;
    const QByteArray image = readFile(split.wav);
    QVERIFY(QFile::link(split.wav, split.tmp.filePath("link.wav")));
    const QString cue = split.tmp.filePath(cueName);
    QVERIFY(writeFile(cue, "FILE \"image.wav\" WAVE\n"));
    CueSheet sheet = makeSheet(split.wav, {0}, {-1});
    sheet.tracks[0].title = title;
    ExtractionSettings settings {split.tmp.path(), false, false, true, "%3"};
    WaveRead16 source;
    QCOMPARE(source.open(split.wav), 1);
    WrittenFiles written;
    QCOMPARE(writeTracks(split.host, settings, cue, sheet, source, written), 0);
    QCOMPARE(split.host.lines, split.expand({line}));
    QCOMPARE(split.host.marked, QStringList {cue});
    QVERIFY(readFile(split.wav) == image);
    QCOMPARE(readFile(cue), "FILE \"image.wav\" WAVE\n");
}

void TestTrackWriter::refusesTrackPast4GiB()
{
    Split split;
    // 2^31 - 1 mono frames: 4 GiB - 2 bytes of data, more than a header can count.
    const quint32 dataBytes = 0xfffffffe;
    QVERIFY(writeFile(split.wav,
        "RIFF" + le32(0x7fffffff) + "WAVE" + chunk("fmt ", fmtBody(1, 44100, 16)) + "data"
            + le32(dataBytes)));
    QVERIFY(QFile::resize(split.wav, 44 + qint64(dataBytes))); // sparse: no data is written
    split.host.stopAtYield = 4; // were the track let through, stop before it is opened
    QCOMPARE(split.run({0}, {-1}), 0);
    QCOMPARE(split.host.lines,
        split.expand(
            {"E Disc: Cannot write {out}/01.wav: a WAV file holds at most 4 GiB of audio"}));
    QVERIFY(entries(split.out).isEmpty());
}

void TestTrackWriter::twoTracksOneName_data()
{
    QTest::addColumn<bool>("existedBefore");
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("fresh-name-second-track-fails")
        << false << true
        << QStringList {"I Disc: Writing {out}/Band.wav...",
               "E Disc: Two tracks would be written to {out}/Band.wav"};
    QTest::newRow("older-file-skipped-twice")
        << true << false
        << QStringList {"I Disc: Skipping existing file {out}/Band.wav",
               "I Disc: Skipping existing file {out}/Band.wav", "I {cue}: Extraction successful"};
    QTest::newRow("older-file-overwritten-once")
        << true << true
        << QStringList {"I Disc: Overwriting existing file {out}/Band.wav",
               "I Disc: Writing {out}/Band.wav...",
               "E Disc: Two tracks would be written to {out}/Band.wav"};
}

void TestTrackWriter::twoTracksOneName()
{
    QFETCH(bool, existedBefore);
    QFETCH(bool, overwrite);
    QFETCH(QStringList, lines);

    Split split;
    const QString file = split.out + "/Band.wav";
    if (existedBefore)
        QVERIFY(writeFile(file, "older"));
    const int result
        = split.run(split.settings(overwrite, "%2"), makeSheet(split.wav, {0, 2}, {2, -1}));
    QCOMPARE(split.host.lines, split.expand(lines));
    QCOMPARE(result, lines.last().startsWith("E ") ? 0 : 1);
    QCOMPARE(int(split.host.marked.size()), 1 - result);
    QCOMPARE(readFile(file), overwrite ? split.track(0, 1176) : "older");
}

void TestTrackWriter::matchesShnsplit()
{
    const QString shnsplit = QStandardPaths::findExecutable("shnsplit");
    if (shnsplit.isEmpty())
        QSKIP("shnsplit (Debian package shntool) is not installed");
    Split split(2, 44100, 16, 700 * 588 + 123);
    QVERIFY(writeFile(split.cue,
        "PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"image.wav\" WAVE\n"
        "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
        "TRACK 02 AUDIO\nINDEX 01 00:02:17\nTRACK 03 AUDIO\nINDEX 01 00:07:40\n"));
    const QString theirs = split.tmp.filePath("theirs");
    QVERIFY(QDir().mkdir(theirs));
    QProcess peer;
    peer.start(shnsplit, {"-q", "-f", split.cue, "-o", "wav", "-d", theirs, split.wav});
    QVERIFY(peer.waitForFinished(60000));
    QCOMPARE(peer.exitCode(), 0);
    QCOMPARE(unpackCue(split.host, split.settings(), split.cue, false), 1);

    const QStringList peerFiles = entries(theirs);
    QCOMPARE(peerFiles.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QByteArray peerBytes = readFile(theirs + '/' + peerFiles[i]);
        const qsizetype peerData = peerBytes.indexOf("data") + 8;
        QVERIFY(peerData >= 8);
        QVERIFY2(
            readFile(split.file(i)).mid(44) == peerBytes.mid(peerData), qPrintable(peerFiles[i]));
    }
}

QTEST_GUILESS_MAIN(TestTrackWriter)
#include "tst_trackwriter.moc"
