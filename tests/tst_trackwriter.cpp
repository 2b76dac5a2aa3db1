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

QString writing(int index)
{
    return "I Disc: Writing {out}/" + trackName(index) + "...";
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// One split in a fresh folder: a generated image, the destination "out" and
// the sheet path "Disc.cue" beside them.
struct Split
{
    QTemporaryDir tmp;
    const QString out = tmp.filePath("out");
    QString cue = tmp.filePath("Disc.cue");
    const QString wav = tmp.filePath("image.wav");
    const int channels, rate, bits;
    const QByteArray data;
    ExtractionSettings settings {out, false, false, false, "%1"};
    RecordingHost host;

    explicit Split(int channels = 2, int rate = 44100, int bits = 16, qint64 frames = 3000,
        qint64 loopEnd = -1)
        : channels(channels)
        , rate(rate)
        , bits(bits)
        , data(samples(frames, channels, bits, quint32(frames)))
    {
        const QByteArray loop
            = loopEnd < 0 ? QByteArray() : chunk("smpl", smplBody(1, 0, quint32(loopEnd)));
        const QByteArray fmt = chunk("fmt ", fmtBody(channels, rate, bits));
        if (!QDir().mkdir(out) || !writeFile(wav, riffWave({fmt, chunk("data", data), loop})))
            qFatal("cannot write %s", qPrintable(wav));
    }

    // The file that source frames [from, to) must give.
    QByteArray track(qint64 from, qint64 to) const
    {
        const int frame = channels * bits / 8;
        return canonical(
            channels, rate, 16, to16(data.mid(from * frame, (to - from) * frame), bits));
    }
    QString file(int index) const { return out + '/' + trackName(index); }
    // Tracks "01", "02"... by "Band" on "Album"; at holds the start and end of
    // each in CD frames, as the parser leaves them. keptFrames >= 0 cuts the
    // image to that many frames once it is open.
    int run(const L &at, qint64 keptFrames = -1, RecordingHost *other = nullptr)
    {
        CueSheet sheet {"Band", "Album", wav, {}};
        for (int i = 0; i + 1 < at.size(); i += 2)
            sheet.tracks << CueTrack {trackName(i / 2).left(2), "Band", "Track", at[i], at[i + 1]};
        WaveRead16 source;
        WrittenFiles written;
        if (source.open(wav) <= 0
            || (keptFrames >= 0 && !QFile::resize(wav, 44 + keptFrames * channels * bits / 8)))
            return -1;
        return writeTracks(other ? *other : host, settings, cue, sheet, source, written);
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
    void tracks_data()
    {
        QTest::addColumn<L>(
            "image"); // channels, rate, bits, frames, loop end, frames left after open
        QTest::addColumn<L>("positions"); // start and end of each track in CD frames
        QTest::addColumn<L>("files"); // index, first and end source frame of every file written
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("yields"); // one per step and one per chunk
        const QString cut = "I Disc: Track %1 cut short: the WAV image ends before the track does";
        const QString warning = "I Disc: Warning in file {out}/%1.wav";
        const QString size = "I Disc: No track data, size=%1";
        const QStringList two {writing(0), writing(1)};
        // clang-format off
        QTest::newRow("stereo-16bit-44100") << L{2, 44100, 16, 220600, -1, -1} << L{0, 150, 150, -1} << L{0, 0, 88200, 1, 88200, 220600} << two << 12;
        QTest::newRow("source-24bit-gives-16bit") << L{2, 44100, 24, 3000, -1, -1} << L{0, 2, 2, -1} << L{0, 0, 1176, 1, 1176, 3000} << two << 12;
        QTest::newRow("mono-22050") << L{1, 22050, 16, 5000, -1, -1} << L{0, 3, 3, -1} << L{0, 0, 882, 1, 882, 5000} << two << 12;
        QTest::newRow("six-channel-48k-lead-in-two-chunks") << L{6, 48000, 16, 700001, -1, -1} << L{1, -1} << L{0, 640, 700001} << QStringList{writing(0), "I Disc: Pregap audio not written: 0.01 s in 1 tracks"} << 8;
        QTest::newRow("track-of-exactly-one-chunk") << L{1, 44100, 16, 2097152, -1, -1} << L{0, -1} << L{0, 0, 2097152} << QStringList{writing(0)} << 7;
        QTest::newRow("track-one-frame-over-a-chunk") << L{1, 44100, 16, 2097153, -1, -1} << L{0, -1} << L{0, 0, 2097153} << QStringList{writing(0)} << 8;
        QTest::newRow("index00-pregap-in-no-file") << L{2, 44100, 16, 6000, -1, -1} << L{0, 3, 5, -1} << L{0, 0, 1764, 1, 2940, 6000} << two + QStringList{"I Disc: Pregap audio not written: 0.03 s in 1 tracks"} << 12;
        QTest::newRow("smpl-loop-shortens-last-track") << L{2, 44100, 16, 6000, 4999, -1} << L{0, 5, 5, -1} << L{0, 0, 2940, 1, 2940, 5000} << two << 12;
        QTest::newRow("positions-truncate-at-32000") << L{2, 32000, 16, 2000, -1, -1} << L{0, 1, 1, 2, 2, -1} << L{0, 0, 426, 1, 426, 853, 2, 853, 2000} << QStringList{writing(0), writing(1), writing(2)} << 17;
        QTest::newRow("equal-index01-no-track-data") << L{2, 44100, 16, 3000, -1, -1} << L{0, 2, 2, 2, 2, -1} << L{0, 0, 1176, 2, 1176, 3000} << QStringList{writing(0), warning.arg("02"), size.arg(0), writing(2)} << 13;
        QTest::newRow("backwards-index01-negative-size") << L{2, 44100, 16, 3000, -1, -1} << L{0, 4, 4, 2, 2, -1} << L{0, 0, 2352, 2, 1176, 3000} << QStringList{writing(0), warning.arg("02"), size.arg(-1176), writing(2)} << 13;
        QTest::newRow("tracks-past-the-end") << L{2, 44100, 16, 3000, -1, -1} << L{0, 10, 10, 20, 20, -1} << L{0, 0, 3000} << QStringList{writing(0), cut.arg("01"), cut.arg("02"), warning.arg("02"), size.arg(0), warning.arg("03"), size.arg(-8760)} << 9;
        // Half of track 2 and all of track 3 vanish once the image has been checked.
        QTest::newRow("image-shrinks-after-open") << L{2, 44100, 16, 3000, -1, 1500} << L{0, 2, 2, 4, 4, -1} << L{0, 0, 1176, 1, 1176, 1500} << two + QStringList{cut.arg("02"), writing(2), cut.arg("03"), warning.arg("03"), size.arg(0)} << 16;
        // clang-format on
    }

    void tracks()
    {
        QFETCH(L, image);
        QFETCH(L, positions);
        QFETCH(L, files);
        QFETCH(QStringList, lines);
        Split split(image[0], image[1], image[2], image[3], image[4]);
        QCOMPARE(split.run(positions, image[5]), 1);
        QCOMPARE(split.host.lines, split.expand(lines << "I {cue}: Extraction successful"));
        QStringList names;
        for (int i = 0; i + 2 < files.size(); i += 3) {
            names << trackName(files[i]);
            QVERIFY2(readFile(split.file(files[i])) == split.track(files[i + 1], files[i + 2]),
                qPrintable(names.last()));
        }
        QCOMPARE(entries(split.out), names);
        QTEST(split.host.yields, "yields");
    }

    void existingTargets_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("older"); // an older file has the first track's name
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QStringList>("lines");
        const QString band = "{out}/Band.wav";
        const QString success = "I {cue}: Extraction successful";
        // clang-format off
        QTest::newRow("overwrite-off-skips-and-goes-on") << "%1" << true << false << QStringList{"I Disc: Skipping existing file {out}/01.wav", writing(1), success};
        QTest::newRow("overwrite-on-replaces") << "%1" << true << true << QStringList{"I Disc: Overwriting existing file {out}/01.wav", writing(0), writing(1), success};
        QTest::newRow("one-name-fresh-second-track-fails") << "%2" << false << true << QStringList{"I Disc: Writing " + band + "...", "E Disc: Two tracks would be written to " + band};
        QTest::newRow("one-name-older-file-skipped-twice") << "%2" << true << false << QStringList{"I Disc: Skipping existing file " + band, "I Disc: Skipping existing file " + band, success};
        QTest::newRow("one-name-older-file-overwritten-once") << "%2" << true << true << QStringList{"I Disc: Overwriting existing file " + band, "I Disc: Writing " + band + "...", "E Disc: Two tracks would be written to " + band};
        // clang-format on
    }

    void existingTargets()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, older);
        QFETCH(bool, overwrite);
        QFETCH(QStringList, lines);
        Split split;
        split.settings = {split.out, false, false, overwrite, pattern};
        const QString first = split.out + (pattern == "%1" ? "/01.wav" : "/Band.wav");
        QVERIFY(!older || writeFile(first, "older"));
        const int result = split.run({0, 2, 2, -1});
        QCOMPARE(split.host.lines, split.expand(lines));
        QCOMPARE(result, lines.last().startsWith("E ") ? 0 : 1);
        QCOMPARE(split.host.marked, result ? QStringList() : QStringList {split.cue});
        QCOMPARE(readFile(first), overwrite ? split.track(0, 1176) : "older");
    }

    void workedExampleRunTwice()
    {
        Split split(2, 44100, 16, 700 * 588 + 123);
        QVERIFY(writeFile(split.cue,
            "PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"image.wav\" WAVE\n"
            "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:02:17\n"
            "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 00:07:40\n"));
        const ExtractionSettings settings {split.out, true, true, false, "%1 %2 - %3"};
        const QStringList names {"01 Band - One.wav", "02 Band - Two.wav", "03 Band - Three.wav"};
        const L bounds {0, 167 * 588, 565 * 588, 700 * 588 + 123};
        const QString album = split.out + "/Band/Album/";
        for (const char *action : {"Writing %1...", "Skipping existing file %1"}) {
            RecordingHost host;
            QCOMPARE(unpackCue(host, settings, split.cue, false), 1);
            QStringList lines {"I Extracting tracks from {cue}"};
            for (const QString &name : names)
                lines << "I Disc: " + QString(action).arg("{out}/Band/Album/" + name);
            QCOMPARE(host.lines, split.expand(lines << "I {cue}: Extraction successful"));
            QCOMPARE(entries(album), names);
            for (int i = 0; i < 3; ++i)
                QVERIFY(readFile(album + names[i]) == split.track(bounds[i], bounds[i + 1]));
        }

        // The same cut made by an independent tool.
        const QString shnsplit = QStandardPaths::findExecutable("shnsplit");
        if (shnsplit.isEmpty())
            QSKIP("shnsplit (Debian package shntool) is not installed");
        const QString theirs = split.tmp.filePath("theirs");
        QVERIFY(QDir().mkdir(theirs));
        const QStringList args {"-q", "-f", split.cue, "-o", "wav", "-d", theirs, split.wav};
        QCOMPARE(QProcess::execute(shnsplit, args), 0);
        for (int i = 0; i < 3; ++i) {
            const QByteArray peer = readFile(theirs + '/' + entries(theirs).value(i));
            QVERIFY2(readFile(album + names[i]).mid(44) == peer.mid(peer.indexOf("data") + 8),
                qPrintable(names[i]));
        }
    }

    void stopAtEveryYield_data()
    {
        QTest::addColumn<bool>("overwriteOld");
        QTest::newRow("fresh-folder") << false;
        QTest::newRow("old-files-survive-overwrite") << true;
    }

    void stopAtEveryYield()
    {
        QFETCH(bool, overwriteOld);
        const auto old = [&](int i) { return overwriteOld ? "old " + trackName(i).toUtf8() : ""; };
        // Mono 44,100 Hz: track 2 takes two chunks, so the sheet yields at
        // 1-2 (folders), 3-7 (track 1), 8-13 (track 2) and 14-18 (track 3).
        Split split(1, 44100, 16, 3569 * 588 + 10);
        split.settings.overwrite = overwriteOld;
        const L bounds {0, 588, 3568 * 588, 3569 * 588 + 10};
        int stopAt = 1;
        for (; stopAt < 30; ++stopAt) {
            QVERIFY(QDir(split.out).removeRecursively() && QDir().mkdir(split.out));
            for (int i = 0; overwriteOld && i < 3; ++i)
                QVERIFY(writeFile(split.file(i), old(i)));
            split.host = RecordingHost();
            split.host.stopAtYield = stopAt;
            const int result = split.run({0, 1, 1, 3568, 3568, -1});
            const int complete = (stopAt > 7) + (stopAt > 13) + (stopAt > 18);
            QCOMPARE(entries(split.out),
                QStringList({"01.wav", "02.wav", "03.wav"}).mid(0, overwriteOld ? 3 : complete));
            for (int i = 0; i < 3; ++i)
                QVERIFY(readFile(split.file(i))
                    == (i < complete ? split.track(bounds[i], bounds[i + 1]) : old(i)));
            if (result == 1)
                break;
            QCOMPARE(result, 0);
            QCOMPARE(split.host.lines.last(), "E User termination");
            QCOMPARE(split.host.marked, QStringList {split.cue});
        }
        QCOMPARE(stopAt, 19);
    }

    // A part file that cannot be removed is left behind, so the log names it.
    void stopNamesPartFileItCannotDelete()
    {
        struct Host : RecordingHost
        {
            QString out, partFile;
            bool yieldAndCheckStop() override
            {
                // Yield 7 follows the first chunk; a folder then takes the part file's name.
                if (++yields == 7) {
                    partFile = out + '/' + entries(out).value(0);
                    stop = QFile::remove(partFile) && QDir().mkpath(partFile + "/in-the-way");
                }
                return stop;
            }
        };
        Split split;
        Host host;
        host.out = split.out;
        QCOMPARE(split.run({0, -1}, -1, &host), 0);
        QVERIFY(host.partFile.startsWith(split.file(0) + '.'));
        QCOMPARE(host.lines.mid(host.lines.size() - 2),
            QStringList(
                {"E Disc: Cannot delete incomplete file " + QDir::toNativeSeparators(host.partFile),
                    "E User termination"}));
    }

    void diskFullKeepsOlderFiles()
    {
        Split split(1, 44100, 16, 500 * 588);
        split.settings.overwrite = true;
        QVERIFY(writeFile(split.file(1), "older track 2"));
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // No file may grow past 100,000 bytes: track 1 fits, track 2 does not.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit {100000, 100000};
            setrlimit(RLIMIT_FSIZE, &limit);
            split.host.lines.prepend(QString::number(split.run({0, 10, 10, 490, 490, -1})));
            _exit(!writeFile(split.tmp.filePath("report"), split.host.lines.join('\n').toUtf8()));
        }
        // The child writes its report last, so a report means it ran to the end.
        QCOMPARE(waitpid(child, nullptr, 0), child);
        QCOMPARE(QString::fromUtf8(readFile(split.tmp.filePath("report"))).split('\n'),
            split.expand({"0", writing(0), "I Disc: Overwriting existing file {out}/02.wav",
                writing(1), "E Disc: Error writing {out}/02.wav (check disk space?)"}));
        QCOMPARE(entries(split.out), (QStringList {"01.wav", "02.wav"}));
        QCOMPARE(readFile(split.file(0)), split.track(0, 5880));
        QCOMPARE(readFile(split.file(1)), "older track 2");
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("dest"); // below the temporary folder, "" for itself
        QTest::addColumn<bool>("subArtist");
        QTest::addColumn<bool>("subAlbum");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("line");
        // clang-format off
        // Tests run as root, so a plain file is what makes a destination unusable.
        QTest::newRow("artist-folder-full-path-prefix") << "plain-file" << true << true << "%1" << "E {cue}: Cannot create directory {tmp}/plain-file/Band";
        QTest::newRow("album-folder-base-name-prefix") << "plain-file" << false << true << "%1" << "E Sheet: Cannot create directory {tmp}/plain-file/Band - Album";
        QTest::newRow("missing-destination-is-not-made") << "missing" << true << true << "%1" << "E {cue}: Cannot create directory {tmp}/missing/Band";
        QTest::newRow("track-file-cannot-be-opened") << "missing" << false << false << "%1" << "E Sheet: Cannot write file {tmp}/missing/01.wav";
        QTest::newRow("pattern-names-the-image") << "" << false << false << "image" << "E Sheet: Refusing to overwrite the source {tmp}/image.wav";
        QTest::newRow("symlink-to-the-image") << "" << false << false << "link" << "E Sheet: Refusing to overwrite the source {tmp}/link.wav";
        QTest::newRow("pattern-names-the-sheet") << "" << false << false << "Sheet" << "E Sheet: Refusing to overwrite the source {tmp}/Sheet.wav";
        // clang-format on
    }

    void refusals()
    {
        QFETCH(QString, dest);
        QFETCH(bool, subArtist);
        QFETCH(bool, subAlbum);
        QFETCH(QString, pattern);
        QFETCH(QString, line);
        Split split;
        // The sheet's own name is one a track could take.
        split.cue = split.tmp.filePath("Sheet.wav");
        const QByteArray sheet = "FILE \"image.wav\" WAVE\n";
        QVERIFY(writeFile(split.cue, sheet));
        QVERIFY(writeFile(split.tmp.filePath("plain-file"), "not a folder"));
        QVERIFY(QFile::link(split.wav, split.tmp.filePath("link.wav")));
        const QStringList before = entries(split.tmp.path());
        const QByteArray image = readFile(split.wav);
        const QString destPath = dest.isEmpty() ? split.tmp.path() : split.tmp.filePath(dest);
        split.settings = {destPath, subArtist, subAlbum, true, pattern};
        QCOMPARE(split.run({0, -1}), 0);
        QCOMPARE(split.host.lines, split.expand({line}));
        QCOMPARE(split.host.marked, QStringList {split.cue});
        QCOMPARE(entries(split.tmp.path()), before);
        QVERIFY(readFile(split.wav) == image);
        QCOMPARE(readFile(split.cue), sheet);
    }

    void refusesTrackPast4GiB()
    {
        Split split;
        // 2^31 - 1 mono frames: 4 GiB - 2 bytes of data, more than a header can count.
        const quint32 dataBytes = 0xfffffffe;
        const QByteArray fmt = chunk("fmt ", fmtBody(1, 44100, 16));
        QVERIFY(writeFile(split.wav, riffWave({fmt, chunk("data", dataBytes, {})}, 0x7fffffff)));
        QVERIFY(QFile::resize(split.wav, 44 + qint64(dataBytes))); // sparse: no data is written
        split.host.stopAtYield = 4; // were the track let through, stop before it is opened
        QCOMPARE(split.run({0, -1}), 0);
        QCOMPARE(split.host.lines,
            split.expand(
                {"E Disc: Cannot write {out}/01.wav: a WAV file holds at most 4 GiB of audio"}));
        QVERIFY(entries(split.out).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTrackWriter)
#include "tst_trackwriter.moc"
