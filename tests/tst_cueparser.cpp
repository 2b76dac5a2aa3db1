#include "cueparser.h"
#include "recordinghost.h"
#include "unpackcue.h"
#include "wavbuilder.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace WavBuilder;
using Frames = QList<qint64>;

// Sheets are written beside small valid images; "{cue}" and "{dir}" in the
// expected lines stand for the sheet's and the folder's native paths.
class TestCueParser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeSheet(const QString &name, const QByteArray &text)
    {
        const QString path = m_dir.filePath(name);
        if (!writeFile(path, text))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // What reading the row's sheet said, "refused" added when it failed.
    QStringList parse(CueSheet &parsed)
    {
        QFETCH(QByteArray, sheet);
        RecordingHost host;
        if (!readCueSheet(host, writeSheet("Disc 1.cue", sheet), parsed))
            host.lines << "refused";
        return host.lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("sub") && QDir(m_dir.path()).mkdir("folder.cue"));
        const QByteArray wav = canonical(2, 44100, 16, samples(588, 2, 16));
        for (const char *name :
            {"disc.wav", "sub/only.wav", "Album.Wav", "Album.WAV", "album.wav", "sheet.wav"})
            QVERIFY(writeFile(m_dir.filePath(name), wav));
        QVERIFY(writeFile(m_dir.filePath("notes.txt"), "not a WAV image"));
    }

    void check_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("sheet"); // null: the file is left as it is
        QTest::addColumn<QStringList>("expected");
        const QByteArray head = "FILE \"disc.wav\" WAVE\n";
        const QByteArray one = head + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        const QByteArray noFile = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        const auto sized = [&](int size) {
            return one + "REM " + QByteArray(size - one.size() - 5, 'x') + "\n";
        };
        const auto row = [](const char *tag, const QByteArray &sheet,
                             const QStringList &expected = {}, const QString &name = "disc.cue") {
            QTest::newRow(tag) << name << sheet << expected;
        };
        const auto invalid = [&](const char *tag, const QByteArray &line) {
            row(tag, head + "  " + line + "  \n" + one,
                {"E {cue}: Invalid line found", "E     " + QString::fromUtf8(line)});
        };
        // clang-format off
        row("valid-sheet", one);
        row("no-tracks", head);
        row("lower-case-keywords", "file \"disc.wav\" wave\ntrack 1 audio\nindex 01 0:0:0\n");
        row("no-break-space-after-keyword", head + "TITLE\xc2\xa0\"x\"\n");
        row("no-blanks-around-quotes", "FILE\"disc.wav\"WAVE\nTITLE\"x\"\n");
        row("blank-lines-and-indent", "\n   \n\t" + head + "  TRACK 01 AUDIO  \n\n    INDEX 01 00:00:00\t\n \n");
        row("skipped-as-written", head + "CATALOGUE x\nCATALOG 1\nFLAGS DCP\nREM GENRE Rock\nISRCX\nISRC 1\n");
        row("windows-path-resolves-beside-sheet", "FILE \"C:\\rips\\disc.wav\" WAVE\n");
        invalid("rem-lower-case", "rem x");
        invalid("rem-alone", "REM");
        invalid("catalog-mixed-case", "Catalog 1");
        invalid("isrc-lower-case", "isrc X");
        invalid("songwriter", "SONGWRITER \"x\"");
        invalid("index-02", "INDEX 02 00:00:00");
        invalid("file-of-mp3-type", "FILE \"disc.mp3\" MP3");
        invalid("track-of-data-type", "TRACK 01 MODE1/2352");
        invalid("performer-without-quotes", "PERFORMER Band");
        invalid("title-holding-quote", "TITLE \"a\"b\"");
        invalid("index-past-64-bits", "INDEX 01 99999999999999999999:00:00");
        invalid("minutes-overflow-64-bits", "INDEX 00 3000000000000000:00:00");
        row("file-after-track", one + head, {"E disc: 'FILE' found after track enlisting"});
        row("wave-type-with-flac-name", "FILE \"disc.flac\" WAVE\n");
        row("directories-dropped-before-lookup", "FILE \"sub\\only.wav\" WAVE\n", {"E {cue}: Cannot find {dir}/only.wav"});
        row("track-without-index-at-track", head + "TRACK 01 AUDIO\nINDEX 00 00:00:00\nTRACK 02 AUDIO\n", {"E {cue}: Track without an index found"});
        row("track-without-index-at-end", one + "TRACK 02 AUDIO\n", {"E {cue}: Track without an index found"});
        row("index-without-track", head + "INDEX 01 00:00:00\n", {"E {cue}: Index without a track found"});
        row("double-index", one + "INDEX 01 00:01:00\n", {"E {cue}: Double index found"});
        row("later-file-wins-and-fails-to-open", head + "FILE \"  notes.txt\" WAVE\n", {"E {cue}: Failed to open {dir}/notes.txt", "E     not a WAV, FLAC or WavPack file"});
        row("empty-reference-names-folder", "FILE \"\" WAVE\n", {"E {cue}: Failed to open {dir}/"});
        row("missing", QByteArray(), {"E File not found ({cue})"}, "absent.cue");
        row("folder-named-cue", QByteArray(), {"E Cannot open {cue} for reading"}, "folder.cue");
        row("exactly-100000-bytes", sized(100000), {}, "big.cue");
        row("100001-bytes", sized(100001), {"E File {cue} is too large"}, "big.cue");
        row("default-wav-capitalised", noFile, {}, "Album.Cue");
        row("default-wav-capitals", noFile, {}, "Album.CUE");
        row("default-wav-mixed-case", noFile, {}, "album.cUE");
        row("default-wav-without-cue-extension", noFile, {"E {cue}: Failed to open {cue}", "E     not a WAV, FLAC or WavPack file"}, "sheet.txt");
        // clang-format on
    }

    void check()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, sheet);
        QFETCH(QStringList, expected);
        const QString path = sheet.isNull() ? m_dir.filePath(name) : writeSheet(name, sheet);
        RecordingHost host;
        const int result = unpackCue(host, {}, path, true);
        expected.replaceInStrings("{cue}", QDir::toNativeSeparators(path));
        QCOMPARE(
            host.lines, expected.replaceInStrings("{dir}", QDir::toNativeSeparators(m_dir.path())));
        QCOMPARE(result, expected.isEmpty() ? 1 : 0);
        QCOMPARE(host.marked, expected.isEmpty() ? QStringList() : QStringList {path});
    }

    void positions_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<Frames>("bounds"); // start and end of each track
        const QByteArray worked = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                  "TRACK 02 AUDIO\nINDEX 00 00:02:10\nINDEX 01 00:04:00\n"
                                  "TRACK 03 AUDIO\nINDEX 01 00:09:00\n";
        const QByteArray two = "TRACK 1 AUDIO\nINDEX 01 0:0:0\nTRACK 2 AUDIO\n";
        // clang-format off
        QTest::newRow("worked-example") << worked << Frames{0, 160, 300, 675, 675, -1};
        QTest::newRow("without-pregap") << QByteArray(worked).replace("INDEX 00 00:02:10\n", "") << Frames{0, 300, 300, 675, 675, -1};
        QTest::newRow("index-00-after-index-01-wins") << two + "INDEX 01 0:9:0\nINDEX 00 0:8:0\n" << Frames{0, 600, 675, -1};
        QTest::newRow("two-index-00-later-kept") << two + "INDEX 00 0:1:0\nINDEX 00 0:2:0\nINDEX 01 0:3:0\n" << Frames{0, 150, 225, -1};
        QTest::newRow("index-00-of-first-track-ignored") << QByteArray("INDEX 00 0:5:0\nTRACK 1 AUDIO\nINDEX 00 0:1:0\nINDEX 01 0:2:0\n") << Frames{150, -1};
        QTest::newRow("no-range-checks") << QByteArray("TRACK 1 AUDIO\nINDEX 01 01:00:00\nTRACK 2 AUDIO\nINDEX 01 00:01:74\nTRACK 3 AUDIO\nINDEX 01 00:75:00\n"
                                                       "TRACK 4 AUDIO\nINDEX 01 00:00:80\nTRACK 5 AUDIO\nINDEX 01 1000000:00:00\n")
                                         << Frames{4500, 149, 149, 5625, 5625, 80, 80, 4500000000, 4500000000, -1};
        // clang-format on
    }

    void positions()
    {
        CueSheet parsed;
        QCOMPARE(parse(parsed), QStringList());
        Frames bounds;
        for (const CueTrack &track : parsed.tracks)
            bounds << track.start << track.end;
        QTEST(bounds, "bounds");
    }

    void texts_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        // The disc's performer and title, then number, performer and title of each track.
        QTest::addColumn<QStringList>("texts");
        const QString various = QStringLiteral("Various (No information)");
        const QString lf = QStringLiteral(
            "PERFORMER \"Björk\"\nTITLE \"Début Ørsted\"\nTRACK 01 AUDIO\nINDEX 01 0:0:0\n");
        const QString crlf = QString(lf).replace("\n", "\r\n");
        const auto bom = [](QStringConverter::Encoding encoding, const QString &s) {
            return QByteArray(QStringEncoder(encoding, QStringConverter::Flag::WriteBom).encode(s));
        };
        const QStringList texts {"Björk", "Début Ørsted", "01", "Björk", "Track 01"};
        // clang-format off
        QTest::newRow("utf8-lf") << lf.toUtf8() << texts;
        QTest::newRow("utf8-bom-crlf") << bom(QStringConverter::Utf8, crlf) << texts;
        QTest::newRow("utf16le-bom-crlf") << bom(QStringConverter::Utf16LE, crlf) << texts;
        QTest::newRow("latin1-crlf") << crlf.toLatin1() << texts;
        QTest::newRow("disc-texts-copied-track-texts-own") << QByteArray("PERFORMER \"Band\"\nTITLE \"A\"\nTRACK 01 AUDIO\nINDEX 01 0:0:0\nTRACK 007 AUDIO\nTITLE \"Song\"\nPERFORMER \"Guest\"\nINDEX 01 0:1:0\n")
                                                           << QStringList{"Band", "A", "01", "Band", "Track 01", "007", "Guest", "Song"};
        QTest::newRow("blanks-after-opening-quote-dropped") << QByteArray("PERFORMER \"  A B  \"\nTITLE \"\"\n") << QStringList{"A B  ", ""};
        QTest::newRow("texts-only-after-tracks") << QByteArray("TRACK 1 AUDIO\nPERFORMER \"P\"\nTITLE \"T\"\nINDEX 01 0:0:0\nTRACK 2 AUDIO\nINDEX 01 0:1:0\n")
                                                 << QStringList{various, "Disc 1", "1", "P", "T", "2", "Unknown Artist", "Track 2"};
        QTest::newRow("title-without-performer") << QByteArray("TITLE \"Album\"\n") << QStringList{"Unknown Artist", "Album"};
        QTest::newRow("stated-unknowns-count-as-none") << QByteArray("PERFORMER \"Unknown Artist\"\nTITLE \"Unknown Title\"\n") << QStringList{various, "Disc 1"};
        // clang-format on
    }

    void texts()
    {
        CueSheet parsed;
        QCOMPARE(parse(parsed), QStringList());
        QStringList texts {parsed.performer, parsed.title};
        for (const CueTrack &track : parsed.tracks)
            texts << track.number << track.performer << track.title;
        QTEST(texts, "texts");
    }

    void stops_data()
    {
        // The sheet has three lines: a yield before each read, one before the read
        // that meets the end, one after the end-of-file rule.
        QTest::addColumn<int>("stopAt");
        // clang-format off
        QTest::newRow("before-first-line") << 1;
        QTest::newRow("before-last-line") << 3;
        QTest::newRow("before-reading-the-end") << 4;
        QTest::newRow("after-end-of-file-rule") << 5;
        QTest::newRow("never") << 0;
        // clang-format on
    }

    void stops()
    {
        QFETCH(int, stopAt);
        const QString path
            = writeSheet("disc.cue", "FILE \"disc.wav\" WAVE\nTRACK 1 AUDIO\nINDEX 01 0:0:0\n");
        const QString bad = writeSheet("bad.cue", "BOGUS\n");
        RecordingHost host;
        host.stopAtYield = stopAt;
        QCOMPARE(unpackCue(host, {}, path, true), stopAt ? 0 : 1);
        QCOMPARE(host.yields, stopAt ? stopAt : 5);
        // Once stopped, every later call stops before it reads a line, and the
        // extraction pass has announced the sheet first.
        host.stop = true;
        QCOMPARE(unpackCue(host, {}, bad, true), 0);
        QCOMPARE(unpackCue(host, {}, bad, false), 0);
        QStringList lines = stopAt ? QStringList {"E User termination"} : QStringList();
        QStringList marked = stopAt ? QStringList {path} : QStringList();
        lines << "E User termination"
              << "I Extracting tracks from " + QDir::toNativeSeparators(bad)
              << "E User termination";
        QCOMPARE(host.lines, lines);
        QCOMPARE(host.marked, marked << bad << bad);
    }
};

QTEST_GUILESS_MAIN(TestCueParser)
#include "tst_cueparser.moc"
