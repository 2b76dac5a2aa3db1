// The engine as a run uses it: WAV images opened, sheets read, names made,
// and tracks written byte for byte, with what a stop or a refusal leaves on
// disk.

#include "cueparser.h"
#include "naming.h"
#include "recordinghost.h"
#include "unpackcue.h"
#include "wavbuilder.h"
#include "waveread16.h"

#include <QStringEncoder>
#include <QtTest>

using namespace WavBuilder;
using L = QList<qint64>;
using Files = QMap<QString, QByteArray>;

namespace {

// The files of a folder (those matching filter) with their bytes.
Files contents(const QString &dir, const QString &filter = QStringLiteral("*"))
{
    Files files;
    for (const QString &name : QDir(dir).entryList({filter}, QDir::Files | QDir::Hidden))
        files.insert(name, readFile(dir + '/' + name));
    return files;
}

// A disc in a folder of its own: "image.wav" of generated samples, the sheet
// "Disc.cue" by "Band" on "Album" beside it, and the destination "out".
struct Disc
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out"), cue = dir.filePath("Disc.cue");
    const int channels, rate, bits;
    const QByteArray data, sheet;
    ExtractionSettings settings {out, false, false, false, "%1"};

    Disc(int channels, int rate, int bits, qint64 frames, const QByteArray &tracks)
        : channels(channels)
        , rate(rate)
        , bits(bits)
        , data(samples(frames, channels, bits))
        , sheet("PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"image.wav\" WAVE\n" + tracks)
    {
        if (!QDir().mkdir(out) || !writeFile(cue, sheet)
            || !writeFile(dir.filePath("image.wav"), canonical(channels, rate, bits, data)))
            qFatal("cannot write the disc");
    }
    // The track file that source frames [from, to) make; to -1 is the end.
    QByteArray track(qint64 from, qint64 to) const
    {
        const int frame = channels * bits / 8;
        const QByteArray part = data.mid(from * frame, to < 0 ? -1 : (to - from) * frame);
        return canonical(channels, rate, 16, to16(part, bits));
    }
    int split(RecordingHost &host) { return unpackCue(host, settings, cue, false); }
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
        QTest::newRow("24bit-mono") << canonical(1, 96000, 24, samples(7, 1, 24)) << 1 << 7LL;
        QTest::newRow("fmt-extension-18-bytes") << riffWave({chunk("fmt ", fmtBody(2, 44100, 16, 1, 2)), data}) << 1 << 10LL;
        QTest::newRow("fmt-extension-40-bytes") << riffWave({chunk("fmt ", fmtBody(2, 44100, 16, 1, 24)), data}) << 1 << 10LL;
        QTest::newRow("odd-chunk-without-pad-byte") << riffWave({fmt, chunk("junk", "xyz"), data}) << 1 << 10LL;
        QTest::newRow("truncated-data-whole-frames-only") << riffWave({fmt, chunk("data", 4000, samples(25, 2, 16) + "ab")}) << 1 << 25LL;
        QTest::newRow("sampler-loop-ends-the-audio") << riffWave({fmt, data, chunk("smpl", smplBody(1, 2, 5))}) << 1 << 6LL;
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
        QFETCH(qint64, length);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        QVERIFY(image.isNull() || writeFile(path, image));
        WaveRead16 reader;
        QTEST(reader.open(path), "result");
        QCOMPARE(reader.length, length);
        // Every frame comes out as 16-bit samples, and nothing past the last.
        QByteArray out(length * reader.channels * 2 + 8, 'x');
        QCOMPARE(reader.readFrames(out.data(), 0, length + 1), length);
        const qint64 frameBytes = reader.channels * reader.bytesPerSample;
        QCOMPARE(out,
            to16(image.mid(reader.dataOffset, length * frameBytes), reader.bitsPerSample)
                + "xxxxxxxx");
    }

    void naming_data()
    {
        // The disc's performer and title, the track's number, performer and title.
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("folders"); // "A" per artist, "B" per album
        QTest::addColumn<QString>("path");
        const QStringList band {"Band", "Album", "01", "Band", "Song"};
        // clang-format off
        QTest::newRow("artist-and-album-folders") << band << "%1 %2 - %3" << "AB" << "Band/Album/01 Band - Song.wav";
        QTest::newRow("album-folder-alone-names-the-artist") << band << "%4 %3" << "B" << "Band - Album/Band - Album Song.wav";
        QTest::newRow("no-folders") << band << "%1" << "" << "01.wav";
        QTest::newRow("unsafe-characters") << QStringList{"AC/DC", "Why?", "1", "A*B", "Rock & Roll: \"Live\"+`n` \\ x"} << "%2 %3" << "AB" << "AC-DC/Why/A-B Rock and Roll_ Live_'n' _ x.wav";
        QTest::newRow("slash-in-pattern-opens-no-folder") << band << "%2/%3" << "" << "Band-Song.wav";
        QTest::newRow("no-disc-texts-get-an-album-folder") << QStringList{"Various (No information)", "Disc 1", "1", "P", "T"} << "%3" << "" << "Disc 1/T.wav";
        QTest::newRow("dots-never-name-a-folder") << QStringList{"..", ".", "1", "P", "T"} << "%4" << "AB" << "__/_/..wav";
        QTest::newRow("title-holding-a-later-marker") << QStringList{"Band", "Hits", "1", "P", "Best of %4"} << "%3" << "" << "Best of Hits.wav";
        QTest::newRow("blank-pattern") << band << "   " << "" << ".wav";
        // clang-format on
    }

    void naming()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, folders);
        const FolderPlan plan
            = planFolders(texts[0], texts[1], folders.contains('A'), folders.contains('B'));
        QStringList path;
        if (plan.artistFolder)
            path << plan.artistFolderName;
        if (plan.albumFolder)
            path << plan.albumFolderName;
        QFETCH(QString, pattern);
        path << trackFileName(pattern, CueTrack {texts[2], texts[3], texts[4]}, plan.album);
        QTEST(path.join('/'), "path");
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
        const auto invalid = [](const QString &line) {
            return QStringList {"E {cue}: Invalid line found", "E     " + line};
        };
        const auto utf16 = [](const QString &text) {
            return QByteArray(
                QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
                    .encode(text));
        };
        // clang-format off
        QTest::newRow("pregap-ends-the-previous-track") << head + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:02:10\nINDEX 01 00:04:00\nTRACK 03 AUDIO\nINDEX 01 00:09:00\n"
            << QStringList{various, "01|Unknown Artist|Track 01|0|160", "02|Unknown Artist|Track 02|300|675", "03|Unknown Artist|Track 03|675|-1"};
        QTest::newRow("disc-texts-and-track-texts") << "PERFORMER \"Band\"\nTITLE \"Album\"\n" + head + "TRACK 1 AUDIO\nTITLE \"Song\"\nINDEX 01 1:2:3\nTRACK 02 AUDIO\nPERFORMER \"Guest\"\nINDEX 01 99:00:00\n"
            << QStringList{"Band|Album", "1|Band|Song|4653|445500", "02|Guest|Track 02|445500|-1"};
        QTest::newRow("any-case-blanks-crlf-skipped-lines") << QByteArray("\r\n  file \"disc.wav\" wave\r\nREM GENRE x\r\nCATALOG 1\r\n\ttrack 01 audio\r\nFLAGS DCP\r\nISRC X\r\n index 01 0:0:0 \r\n")
            << QStringList{various, "01|Unknown Artist|Track 01|0|-1"};
        QTest::newRow("latin1-bytes") << QByteArray("PERFORMER \"Bj\xf6rk\"\n") << QStringList{"Björk|Unknown Title"};
        QTest::newRow("utf16-bom-and-lone-cr") << utf16("TITLE \"Début\"\rPERFORMER \"Ørsted\"\r") << QStringList{"Ørsted|Début"};
        QTest::newRow("exactly-100000-bytes") << sized(100000) << QStringList{various, "01|Unknown Artist|Track 01|0|-1"};
        QTest::newRow("100001-bytes") << sized(100001) << QStringList{"E File {cue} is too large"};
        QTest::newRow("unknown-keyword") << head + "SONGWRITER \"x\"\n" << invalid("SONGWRITER \"x\"");
        QTest::newRow("rem-in-lower-case") << QByteArray("rem x\n") << invalid("rem x");
        QTest::newRow("position-past-64-bits") << one + "INDEX 00 99999999999999999999:00:00\n" << invalid("INDEX 00 99999999999999999999:00:00");
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
            got << QStringList {t.number, t.performer, t.title, QString::number(t.start),
                QString::number(t.end)}
                       .join('|');
        expected.replaceInStrings("{cue}", QDir::toNativeSeparators(path));
        QCOMPARE(read ? got : host.lines,
            expected.replaceInStrings("{dir}", QDir::toNativeSeparators(m_dir.path())));
        QCOMPARE(host.marked, read ? QStringList() : QStringList {path});
    }

    void tracks_data()
    {
        QTest::addColumn<L>("image"); // channels, rate, bits, frames
        QTest::addColumn<QByteArray>("tracks");
        QTest::addColumn<L>("files"); // number, first and end source frame (-1: the end) of each
        // clang-format off
        QTest::newRow("16bit-stereo-pregap-in-no-file") << L{2, 44100, 16, 6000} << QByteArray("TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:00:03\nINDEX 01 00:00:05\n") << L{1, 0, 1764, 2, 2940, -1};
        // A CD frame is 426.67 frames at 32,000 Hz: boundaries are truncated.
        QTest::newRow("24bit-mono-at-32000") << L{1, 32000, 24, 2000} << QByteArray("TRACK 01 AUDIO\nINDEX 01 00:00:01\nTRACK 02 AUDIO\nINDEX 01 00:00:02\n") << L{1, 426, 853, 2, 853, -1};
        QTest::newRow("tracks-past-the-image-cut-or-left-out") << L{2, 44100, 16, 3000} << QByteArray("TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:00:10\n") << L{1, 0, -1};
        // clang-format on
    }

    void tracks()
    {
        QFETCH(L, image);
        QFETCH(QByteArray, tracks);
        QFETCH(L, files);
        Disc disc(image[0], image[1], image[2], image[3], tracks);
        RecordingHost host;
        QCOMPARE(disc.split(host), 1);
        Files expected;
        for (int i = 0; i + 2 < files.size(); i += 3)
            expected.insert(QString("%1.wav").arg(files[i], 2, 10, QChar('0')),
                disc.track(files[i + 1], files[i + 2]));
        const Files written = contents(disc.out);
        QCOMPARE(written.keys(), expected.keys());
        QVERIFY(written == expected);
    }

    void targets_data()
    {
        // Written beside the sheet and the image, where "01.wav" holds "old".
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QStringList>("files"); // what a track file holds: "old", track 1 or 2
        QTest::addColumn<QString>("last"); // the last line logged
        const QString success = "I {cue}: Extraction successful";
        // clang-format off
        QTest::newRow("overwrite-off-skips-the-older-file") << "%1" << false << QStringList{"01.wav=old", "02.wav=2"} << success;
        QTest::newRow("overwrite-on-replaces-keeping-permissions") << "%1" << true << QStringList{"01.wav=1", "02.wav=2"} << success;
        QTest::newRow("two-tracks-on-one-name-refused") << "%2" << true << QStringList{"01.wav=old", "Band.wav=1"} << "E Disc: Two tracks would be written to {dir}/Band.wav";
        QTest::newRow("pattern-naming-the-image-refused") << "image" << true << QStringList{"01.wav=old"} << "E Disc: Refusing to overwrite the source {dir}/image.wav";
        // clang-format on
    }

    void targets()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, overwrite);
        QFETCH(QStringList, files);
        QFETCH(QString, last);
        Disc disc(2, 44100, 16, 3000,
            "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:00:02\n");
        disc.settings = {disc.dir.path(), false, false, overwrite, pattern};
        const QString older = disc.dir.filePath("01.wav");
        QVERIFY(writeFile(older, "old")
            && QFile::setPermissions(
                older, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QFile::Permissions permissions = QFile::permissions(older);
        RecordingHost host;
        QCOMPARE(disc.split(host), int(last.startsWith('I')));
        QCOMPARE(
            host.lines.last(), last.replace("{cue}", disc.cue).replace("{dir}", disc.dir.path()));
        const QByteArray held[] = {"old", disc.track(0, 1176), disc.track(1176, -1)};
        Files expected {
            {"Disc.cue", disc.sheet}, {"image.wav", canonical(2, 44100, 16, disc.data)}};
        for (const QString &file : std::as_const(files))
            expected.insert(file.section('=', 0, 0), held[file.section('=', 1).toInt()]);
        const Files found = contents(disc.dir.path());
        QCOMPARE(found.keys(), expected.keys());
        QVERIFY(found == expected);
        QCOMPARE(QFile::permissions(older), permissions);
    }

    // A stop at any yield ends the sheet there: nothing is finished after it,
    // no part file stays and an older file that a track would replace is kept.
    void stopAtEveryYield()
    {
        struct Host : RecordingHost
        {
            QString out;
            Files atStop;
            bool betweenChunks = false;
            bool yieldAndCheckStop() override
            {
                const bool stop = RecordingHost::yieldAndCheckStop();
                if (yields == stopAtYield) {
                    atStop = contents(out, "*.wav");
                    betweenChunks |= QDir(out).entryInfoList({"02.wav.*"}).value(0).size()
                        == 44 + 2 * 2097152;
                }
                return stop;
            }
        };
        // Mono: track 2 takes two copy chunks of 2,097,152 frames.
        Disc disc(1, 44100, 16, 3569 * 588 + 10,
            "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:00:01\nTRACK 03 "
            "AUDIO\nINDEX 01 00:47:43\n");
        disc.settings.overwrite = true;
        Host host;
        host.out = disc.out;
        for (host.stopAtYield = 1; host.stopAtYield < 100; ++host.stopAtYield) {
            for (const char *name : {"01.wav", "02.wav", "03.wav"})
                QVERIFY(writeFile(disc.out + '/' + name, name));
            host.yields = 0;
            host.stop = false;
            host.lines.clear();
            if (disc.split(host) == 1)
                break;
            QVERIFY2(contents(disc.out) == host.atStop, qPrintable(host.lines.join('\n')));
            QCOMPARE(host.lines.last(), "E User termination");
        }
        QVERIFY(host.betweenChunks);
        QVERIFY(contents(disc.out)
            == (Files {{"01.wav", disc.track(0, 588)}, {"02.wav", disc.track(588, 3568 * 588)},
                {"03.wav", disc.track(3568 * 588, -1)}}));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
