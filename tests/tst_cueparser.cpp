#include "cueparser.h"
#include "recordinghost.h"
#include "unpackcue.h"
#include "wavbuilder.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

using Frames = QList<qint64>;

// Every sheet is written beside a small valid "disc.wav"; "{cue}" and "{dir}"
// in the expected lines stand for the sheet's and the folder's native paths.
class TestCueParser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messages_data();
    void messages();
    void openingChecks_data();
    void openingChecks();
    void defaultWavPath_data();
    void defaultWavPath();
    void fileResolution_data();
    void fileResolution();
    void positions_data();
    void positions();
    void texts_data();
    void texts();
    void encodings_data();
    void encodings();
    void stops_data();
    void stops();
    void stoppedRunStaysStopped();
    void extractionPassAnnounces();

private:
    QString writeSheet(const QString &name, const QByteArray &text);
    QStringList expand(QStringList lines, const QString &cue) const;
    bool readOk(const QByteArray &text, CueSheet &sheet,
                const QString &name = QStringLiteral("disc.cue"));

    QTemporaryDir m_dir;
    const QByteArray m_wav = WavBuilder::canonical(2, 44100, 16, WavBuilder::samples(588, 2, 16));
};

void TestCueParser::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkdir("sub"));
    for (const char *name : {"disc.wav", "other.wav", "sub/only.wav"})
        QVERIFY(WavBuilder::writeFile(m_dir.filePath(name), m_wav));
    QVERIFY(WavBuilder::writeFile(m_dir.filePath("notes.txt"), "not a WAV image"));
}

QString TestCueParser::writeSheet(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    if (!WavBuilder::writeFile(path, text))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QStringList TestCueParser::expand(QStringList lines, const QString &cue) const
{
    for (QString &line : lines)
        line.replace("{cue}", QDir::toNativeSeparators(cue))
            .replace("{dir}", QDir::toNativeSeparators(m_dir.path()));
    return lines;
}

bool TestCueParser::readOk(const QByteArray &text, CueSheet &sheet, const QString &name)
{
    RecordingHost host;
    const bool ok = readCueSheet(host, writeSheet(name, text), sheet);
    if (!host.lines.isEmpty())
        qWarning() << host.lines;
    return ok && host.lines.isEmpty();
}

void TestCueParser::messages_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QStringList>("expected");
    const QByteArray head = "FILE \"disc.wav\" WAVE\n";
    const QByteArray one = head + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    const auto valid = [](const char *tag, const QByteArray &sheet) {
        QTest::newRow(tag) << sheet << QStringList();
    };
    const auto invalid = [&](const char *tag, const QByteArray &line) {
        QTest::newRow(tag) << head + "  " + line + "  \n" + one
                           << QStringList{"E {cue}: Invalid line found",
                                          "E     " + QString::fromUtf8(line)};
    };
    const auto error = [](const char *tag, const QByteArray &sheet, const QString &line) {
        QTest::newRow(tag) << sheet << QStringList{"E " + line};
    };
    valid("valid-sheet", one);
    valid("no-tracks", head);
    valid("lower-case-keywords", "file \"disc.wav\" wave\ntrack 1 audio\nindex 01 0:2:0\n");
    valid("no-break-space-after-keyword", head + "TITLE\xc2\xa0\"x\"\n");
    valid("no-blanks-around-quotes", "FILE\"disc.wav\"WAVE\nTITLE\"x\"\n");
    valid("blank-lines-and-indent",
          "\n   \n\t" + head + "  TRACK 01 AUDIO  \n\n    INDEX 01 00:00:00\t\n \n");
    valid("skipped-as-written",
          head + "CATALOGUE x\nCATALOG 1\nFLAGS DCP\nREM GENRE Rock\nISRCX\nISRC 1\n");
    invalid("rem-lower-case", "rem x");
    invalid("rem-alone", "REM");
    invalid("catalog-mixed-case", "Catalog 1");
    invalid("isrc-lower-case", "isrc X");
    invalid("songwriter", "SONGWRITER \"x\"");
    invalid("pregap", "PREGAP 00:02:00");
    invalid("index-02", "INDEX 02 00:00:00");
    invalid("file-of-mp3-type", "FILE \"disc.mp3\" MP3");
    invalid("track-of-data-type", "TRACK 01 MODE1/2352");
    invalid("performer-without-quotes", "PERFORMER Band");
    invalid("title-holding-quote", "TITLE \"a\"b\"");
    invalid("index-past-64-bits", "INDEX 01 99999999999999999999:00:00");
    invalid("minutes-overflow-64-bits", "INDEX 00 3000000000000000:00:00");
    error("file-after-track", one + head, "disc: 'FILE' found after track enlisting");
    error("wave-type-with-flac-name", "FILE \"disc.flac\" WAVE\n",
          "{cue}: Cannot find {dir}/disc.flac");
    error("directories-dropped-before-lookup", "FILE \"sub\\only.wav\" WAVE\n",
          "{cue}: Cannot find {dir}/only.wav");
    error("track-without-index-at-track",
          head + "TRACK 01 AUDIO\nINDEX 00 00:00:00\nTRACK 02 AUDIO\n",
          "{cue}: Track without an index found");
    error("track-without-index-at-end", one + "TRACK 02 AUDIO\n",
          "{cue}: Track without an index found");
    error("index-without-track", head + "INDEX 01 00:00:00\n",
          "{cue}: Index without a track found");
    error("double-index", one + "INDEX 01 00:01:00\n", "{cue}: Double index found");
    error("failed-to-open-non-wav", "FILE \"notes.txt\" WAVE\n",
          "{cue}: Failed to open {dir}/notes.txt");
    error("empty-reference-names-folder", "FILE \"\" WAVE\n", "{cue}: Failed to open {dir}/");
}

void TestCueParser::messages()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QStringList, expected);
    const QString path = writeSheet("disc.cue", sheet);
    RecordingHost host;
    const int result = unpackCue(host, ExtractionSettings(), path, true);
    QCOMPARE(host.lines, expand(expected, path));
    QCOMPARE(result, expected.isEmpty() ? 1 : 0);
    QCOMPARE(host.marked, expected.isEmpty() ? QStringList() : QStringList{path});
}

void TestCueParser::openingChecks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size"); // -1: no file; -2: a folder
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("missing") << "absent.cue" << -1 << QStringList{"E File not found ({cue})"};
    QTest::newRow("folder-named-cue") << "folder.cue" << -2
                                      << QStringList{"E Cannot open {cue} for reading"};
    QTest::newRow("exactly-100000-bytes") << "big.cue" << 100000 << QStringList{};
    QTest::newRow("100001-bytes") << "big.cue" << 100001
                                  << QStringList{"E File {cue} is too large"};
}

void TestCueParser::openingChecks()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(QStringList, expected);
    const QString path = m_dir.filePath(name);
    if (size == -2)
        QVERIFY(QDir(m_dir.path()).mkpath(name));
    if (size >= 0) {
        const QByteArray body = "FILE \"disc.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        writeSheet(name, body + "REM " + QByteArray(size - body.size() - 5, 'x') + "\n");
        QCOMPARE(QFileInfo(path).size(), qint64(size));
    }
    RecordingHost host;
    QCOMPARE(unpackCue(host, ExtractionSettings(), path, true), expected.isEmpty() ? 1 : 0);
    QCOMPARE(host.lines, expand(expected, path));
}

void TestCueParser::defaultWavPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("wavName"); // written beside the sheet
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("capitalised-extension") << "Album.Cue" << "Album.Wav" << QStringList{};
    QTest::newRow("capital-extension") << "Album.CUE" << "Album.WAV" << QStringList{};
    QTest::newRow("mixed-case-extension") << "album.cUE" << "album.wav" << QStringList{};
    QTest::newRow("case-follows-sheet")
        << "Live.Cue" << "Live.wav" << QStringList{"E {cue}: Failed to open {dir}/Live.Wav"};
    QTest::newRow("no-cue-extension")
        << "sheet.txt" << "sheet.wav" << QStringList{"E {cue}: Failed to open {cue}"};
}

void TestCueParser::defaultWavPath()
{
    QFETCH(QString, name);
    QFETCH(QString, wavName);
    QFETCH(QStringList, expected);
    QVERIFY(WavBuilder::writeFile(m_dir.filePath(wavName), m_wav));
    const QString path = writeSheet(name, "TRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    RecordingHost host;
    QCOMPARE(unpackCue(host, ExtractionSettings(), path, true), expected.isEmpty() ? 1 : 0);
    QCOMPARE(host.lines, expand(expected, path));
}

void TestCueParser::fileResolution_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QString>("wavFile");
    QTest::newRow("windows-path")
        << QByteArray("FILE \"C:\\rips\\disc.wav\" WAVE") << "{dir}/disc.wav";
    QTest::newRow("later-file-wins")
        << QByteArray("FILE \"disc.wav\" WAVE\nFILE \"  other.wav\" WAVE") << "{dir}/other.wav";
}

void TestCueParser::fileResolution()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QString, wavFile);
    CueSheet parsed;
    QVERIFY(readOk(sheet, parsed));
    QCOMPARE(parsed.wavFile, expand({wavFile}, QString()).first());
}

void TestCueParser::positions_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<Frames>("starts");
    QTest::addColumn<Frames>("ends");
    const QByteArray worked = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                              "TRACK 02 AUDIO\nINDEX 00 00:02:10\nINDEX 01 00:04:00\n"
                              "TRACK 03 AUDIO\nINDEX 01 00:09:00\n";
    QTest::newRow("worked-example") << worked << Frames{0, 300, 675} << Frames{160, 675, -1};
    QTest::newRow("without-pregap") << QByteArray(worked).replace("INDEX 00 00:02:10\n", "")
                                    << Frames{0, 300, 675} << Frames{300, 675, -1};
    const QByteArray two = "TRACK 1 AUDIO\nINDEX 01 0:0:0\nTRACK 2 AUDIO\n";
    QTest::newRow("index-00-after-index-01-wins")
        << two + "INDEX 01 0:9:0\nINDEX 00 0:8:0\n" << Frames{0, 675} << Frames{600, -1};
    QTest::newRow("two-index-00-later-kept")
        << two + "INDEX 00 0:1:0\nINDEX 00 0:2:0\nINDEX 01 0:3:0\n" << Frames{0, 225}
        << Frames{150, -1};
    QTest::newRow("index-00-of-first-track-ignored")
        << QByteArray("INDEX 00 0:5:0\nTRACK 1 AUDIO\nINDEX 00 0:1:0\nINDEX 01 0:2:0\n")
        << Frames{150} << Frames{-1};
    const auto single = [](const char *tag, const char *index, qint64 start) {
        QTest::newRow(tag) << "TRACK 1 AUDIO\n" + QByteArray(index) << Frames{start} << Frames{-1};
    };
    single("one-minute", "INDEX 01 01:00:00", 4500);
    single("last-frame-of-second", "INDEX 01 00:01:74", 149);
    single("seconds-out-of-range", "INDEX 01 00:75:00", 5625);
    single("frames-out-of-range", "INDEX 01 00:00:80", 80);
    single("past-32-bits", "INDEX 01 1000000:00:00", 4500000000);
    QTest::newRow("no-tracks") << QByteArray("REM x\n") << Frames{} << Frames{};
}

void TestCueParser::positions()
{
    QFETCH(QByteArray, sheet);
    QFETCH(Frames, starts);
    QFETCH(Frames, ends);
    CueSheet parsed;
    QVERIFY(readOk(sheet, parsed));
    Frames gotStarts;
    Frames gotEnds;
    for (const CueTrack &track : parsed.tracks) {
        gotStarts << track.start;
        gotEnds << track.end;
    }
    QCOMPARE(gotStarts, starts);
    QCOMPARE(gotEnds, ends);
}

void TestCueParser::texts_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QStringList>("disc"); // performer, title
    QTest::addColumn<QStringList>("tracks"); // number, performer, title for each
    const QString various = QStringLiteral("Various (No information)");
    QTest::newRow("disc-texts-copied")
        << QByteArray("PERFORMER \"Band\"\nTITLE \"Album\"\nTRACK 01 AUDIO\nINDEX 01 0:0:0\n")
        << QStringList{"Band", "Album"} << QStringList{"01", "Band", "Track 01"};
    QTest::newRow("track-texts-own")
        << QByteArray("PERFORMER \"Band\"\nTITLE \"A\"\nTRACK 007 AUDIO\nTITLE \"Song\"\n"
                      "PERFORMER \"Guest\"\nINDEX 01 0:0:0\n")
        << QStringList{"Band", "A"} << QStringList{"007", "Guest", "Song"};
    QTest::newRow("blanks-after-opening-quote-dropped")
        << QByteArray("PERFORMER \"  A B  \"\nTITLE \"\"\n") << QStringList{"A B  ", ""}
        << QStringList{};
    QTest::newRow("texts-only-after-tracks")
        << QByteArray("TRACK 1 AUDIO\nPERFORMER \"P\"\nTITLE \"T\"\nINDEX 01 0:0:0\n"
                      "TRACK 2 AUDIO\nINDEX 01 0:1:0\n")
        << QStringList{various, "Disc 1"}
        << QStringList{"1", "P", "T", "2", "Unknown Artist", "Track 2"};
    QTest::newRow("title-without-performer")
        << QByteArray("TITLE \"Album\"\n") << QStringList{"Unknown Artist", "Album"}
        << QStringList{};
    QTest::newRow("stated-unknowns-count-as-none")
        << QByteArray("PERFORMER \"Unknown Artist\"\nTITLE \"Unknown Title\"\n")
        << QStringList{various, "Disc 1"} << QStringList{};
}

void TestCueParser::texts()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QStringList, disc);
    QFETCH(QStringList, tracks);
    CueSheet parsed;
    QVERIFY(readOk(sheet, parsed, QStringLiteral("Disc 1.cue")));
    QCOMPARE((QStringList{parsed.performer, parsed.title}), disc);
    QStringList got;
    for (const CueTrack &track : parsed.tracks)
        got << track.number << track.performer << track.title;
    QCOMPARE(got, tracks);
}

void TestCueParser::encodings_data()
{
    QTest::addColumn<QByteArray>("sheet");
    const QString text = QStringLiteral("PERFORMER \"Björk\"\nTITLE \"Début Ørsted\"\n"
                                        "FILE \"disc.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 0:0:0\n");
    QString crlf = text;
    crlf.replace("\n", "\r\n");
    const auto withBom = [](QStringConverter::Encoding encoding, const QString &s) {
        return QByteArray(QStringEncoder(encoding, QStringConverter::Flag::WriteBom).encode(s));
    };
    QTest::newRow("utf8") << text.toUtf8();
    QTest::newRow("utf8-crlf") << crlf.toUtf8();
    QTest::newRow("utf8-bom") << withBom(QStringConverter::Utf8, text);
    QTest::newRow("utf16le-bom-crlf") << withBom(QStringConverter::Utf16LE, crlf);
    QTest::newRow("utf16be-bom") << withBom(QStringConverter::Utf16BE, text);
    QTest::newRow("latin1") << text.toLatin1();
    QTest::newRow("latin1-crlf") << crlf.toLatin1();
}

void TestCueParser::encodings()
{
    QFETCH(QByteArray, sheet);
    CueSheet parsed;
    QVERIFY(readOk(sheet, parsed));
    QCOMPARE(parsed.performer, QStringLiteral("Björk"));
    QCOMPARE(parsed.title, QStringLiteral("Début Ørsted"));
    QCOMPARE(parsed.wavFile, m_dir.filePath("disc.wav"));
    QCOMPARE(parsed.tracks.size(), 1);
}

void TestCueParser::stops_data()
{
    // The sheet has three lines: a yield before each read, one before the read
    // that meets the end, one after the end-of-file rule.
    QTest::addColumn<int>("stopAt");
    QTest::newRow("before-first-line") << 1;
    QTest::newRow("before-last-line") << 3;
    QTest::newRow("before-reading-the-end") << 4;
    QTest::newRow("after-end-of-file-rule") << 5;
    QTest::newRow("never") << 0;
}

void TestCueParser::stops()
{
    QFETCH(int, stopAt);
    const QString path = writeSheet("disc.cue", "FILE \"disc.wav\" WAVE\n"
                                                "TRACK 1 AUDIO\n"
                                                "INDEX 01 0:0:0\n");
    RecordingHost host;
    host.stopAtYield = stopAt;
    const int result = unpackCue(host, ExtractionSettings(), path, true);
    QCOMPARE(host.yields, stopAt ? stopAt : 5);
    QCOMPARE(result, stopAt ? 0 : 1);
    QCOMPARE(host.lines, stopAt ? QStringList{"E User termination"} : QStringList());
    QCOMPARE(host.marked, stopAt ? QStringList{path} : QStringList());
}

void TestCueParser::stoppedRunStaysStopped()
{
    const QString good = writeSheet("good.cue", "FILE \"disc.wav\" WAVE\n");
    const QString bad = writeSheet("bad.cue", "BOGUS\n");
    RecordingHost host;
    host.stop = true;
    QCOMPARE(unpackCue(host, ExtractionSettings(), good, true), 0);
    QCOMPARE(unpackCue(host, ExtractionSettings(), bad, true), 0);
    QCOMPARE(host.lines, (QStringList{"E User termination", "E User termination"}));
    QCOMPARE(host.marked, (QStringList{good, bad}));
}

void TestCueParser::extractionPassAnnounces()
{
    const QString path = writeSheet("disc.cue", "FILE \"disc.wav\" WAVE\nBOGUS\n");
    RecordingHost host;
    QCOMPARE(unpackCue(host, ExtractionSettings(), path, false), 0);
    QCOMPARE(host.lines, expand({"I Extracting tracks from {cue}", "E {cue}: Invalid line found",
                                 "E     BOGUS"}, path));
}

QTEST_GUILESS_MAIN(TestCueParser)
#include "tst_cueparser.moc"
