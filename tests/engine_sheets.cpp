#include "cueparser.h"
#include "enginetests.h"
#include "recordinghost.h"
#include "testfiles.h"
#include "unpackcue.h"

#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

// Sheets as common rippers write them, each beside a one-second image. In the
// template, {head} ends the disc's lines and {track} lies inside track 2.
static const QString rippedTemplate = QStringLiteral(
    "REM GENRE Rock\r\nREM DATE 1994\r\nREM DISCID 8A0B5C0C\r\n"
    "REM COMMENT \"ExactAudioCopy v1.6\"\r\nCATALOG 0724384960650\r\nPERFORMER \"Band\"\r\n"
    "TITLE \"Album\"\r\nFILE \"disc.wav\" WAVE\r\n{head}\r\n  TRACK 01 AUDIO\r\n"
    "    TITLE \"One\"\r\n    ISRC GBAYE9400001\r\n    INDEX 01 00:00:10\r\n  TRACK 02 AUDIO\r\n"
    "    TITLE \"Two\"\r\n{track}\r\n    INDEX 00 00:00:30\r\n    INDEX 01 00:00:40\r\n");

static QByteArray ripped(const QString &head, const QString &track = {})
{
    return QString(rippedTemplate).replace("{head}", head).replace("{track}", track).toUtf8();
}

class TestSheets : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_cue = m_dir.filePath("disc.cue");

    // The sides of a record: mono at 7,500 Hz, a CD frame 100 samples, each
    // side 4 seconds of its own noise; z is silent for its first 2 seconds, s
    // is a short side of 2 seconds.
    QMap<QString, QByteArray> m_sides {{"a", samples(30000, 1, 16, 1)},
        {"s", samples(15000, 1, 16, 5)}, {"b", samples(30000, 1, 16, 2)},
        {"c", samples(30000, 1, 16, 3)}, {"z", QByteArray(30000, '\0') + samples(15000, 1, 16, 4)}};

    QString write(const QByteArray &b) { return writeFile(m_cue, b) ? m_cue : ""; }

    // A track file holding "a:10-+b:0-75": side a from CD frame 10 to its end,
    // then side b up to CD frame 75.
    QByteArray track(const QString &pieces) const
    {
        QByteArray data;
        for (const QString &piece : pieces.split('+')) {
            const QStringList range = piece.section(':', 1).split('-');
            const QByteArray side = m_sides[piece.section(':', 0, 0)];
            const qsizetype to = range[1].isEmpty() ? side.size() : range[1].toInt() * 200;
            data += side.mid(range[0].toInt() * 200, to - range[0].toInt() * 200);
        }
        return canonical(1, 7500, 16, data);
    }

private slots:
    void initTestCase()
    {
        const QByteArray wav = canonical(1, 8000, 16, samples(8000, 1, 16));
        for (const char *name : {"disc.wav", "my disc", "my \"best\" disc.wav"})
            QVERIFY(writeFile(m_dir.filePath(name), wav));
        QVERIFY(writeFile(m_dir.filePath("d24.wav"), canonical(1, 8000, 24, samples(8000, 1, 24))));
        QVERIFY(writeFile(m_dir.filePath("st.wav"), canonical(2, 7500, 16, samples(7500, 2, 16))));
        for (auto side = m_sides.cbegin(); side != m_sides.cend(); ++side)
            QVERIFY(writeFile(m_dir.filePath(side.key() + ".wav"), canonical(1, 7500, 16, *side)));
    }

    // What reading a sheet gives: the disc's performer, title and first
    // image, then each track's number, performer, title, start and pregap in
    // CD frames ("?" for "Unknown Artist|Track <number>", -1 for none); or the
    // lines logged, {cue} and {dir} standing for the sheet's and its folder's
    // paths.
    void texts_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<QString>("expected"); // "," between entries
        const auto row = [](const char *tag, const QByteArray &sheet, const QString &expected) {
            QTest::newRow(tag) << sheet << expected;
        };
        const QByteArray file = "FILE \"disc.wav\" WAVE;",
                         one = file + "TRACK 01 AUDIO;INDEX 01 0:0:0;";
        const QString plain = "Band|Album|disc.wav,01|Band|One|10|-1,02|Band|Two|40|30",
                      various = "Various (No information)|disc|disc.wav,01|?|0|-1",
                      invalid = "E {cue}: Invalid line found,E     ";
        const auto sized = [&](int size) {
            return lines(one + "REM " + QByteArray(size - one.size() - 4, 'x'));
        };
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        row("pregap-ends-the-previous-track",
            lines(one
                + "TRACK 02 AUDIO;INDEX 00 00:02:10;INDEX 01 00:04:00;TRACK 03 AUDIO;"
                  "INDEX 01 0:9:0"),
            various + ",02|?|300|160,03|?|675|-1");
        row("disc-and-track-texts",
            lines("PERFORMER Band;TITLE Album;" + file + "TRACK 1 AUDIO;TITLE Song;"
                + "INDEX 01 1:2:3;TRACK 02 AUDIO;PERFORMER Guest;INDEX 01 99:0:0"),
            "Band|Album|disc.wav,1|Band|Song|4653|-1,02|Guest|Track 02|445500|-1");
        row("any-case-blanks-crlf-skipped-lines",
            lines("\r;  file \"disc.wav\" wave\r;REM GENRE x\r;rem\r;catalog 1\r;"
                  "\ttrack 01 audio\r;flags DCP\r;Isrc X\r; index 01 0:0:0 \r;"),
            various);
        row("utf16-bom-lone-cr",
            utf16.encode(QString("TITLE \"Début\"\rPERFORMER Ørsted\r"
                                 "TRACK 01 AUDIO\rINDEX 01 0:0:0")),
            "Ørsted|Début|disc.wav,01|Ørsted|Track 01|0|-1");
        row("songwriter-and-cdtextfile",
            ripped("CDTEXTFILE \"disc.cdt\"\nSONGWRITER", "  songwriter \"Someone Else\""), plain);
        row("gaps-and-later-indexes",
            ripped("", "PREGAP 00:02:00\nPOSTGAP 00:01:00\nINDEX 02 00:00:50\nINDEX 99 00:00:60"),
            plain);
        row("unquoted-values",
            ripped("PERFORMER The  Band \nTITLE B\nFILE my disc   WAVE", "PERFORMER Guest"),
            "The  Band|B|my disc,01|The  Band|One|10|-1,02|Guest|Two|40|30");
        row("quotes-inside-values",
            ripped("FILE \"my \"best\" disc.wav\"WAVE", "TITLE \"12\" Mix \"Extended\" \""),
            "Band|Album|my \"best\" disc.wav,01|Band|One|10|-1,02|Band|12\" Mix \"Extended\" "
            "|40|30");
        row("100000-bytes", sized(maxSheetBytes), various);
        row("100001-bytes", sized(maxSheetBytes + 1), "E File {cue} is too large");
        row("unknown-keyword", lines(one + "COMPOSER x"), invalid + "COMPOSER x");
        row("single-quote", ripped("", "TITLE \"Two"), invalid + "TITLE \"Two");
        row("text-after-last-quote", ripped("", "TITLE \"Two\" live"),
            invalid + "TITLE \"Two\" live");
        row("gap-without-time", ripped("", "PREGAP soon"), invalid + "PREGAP soon");
        row("file-after-last-track", lines(one + file),
            "E disc: 'FILE' found after the last track");
        row("image-looked-for-beside-the-sheet", "FILE \"C:\\rips\\gone.wav\" WAVE",
            "E {cue}: Cannot find {dir}/gone.wav");
        row("track-without-index", lines(file + "TRACK 01 AUDIO;TRACK 02 AUDIO"),
            "E {cue}: Track without an index found");
        row("second-index-01", lines(one + "INDEX 01 0:0:5"), "E {cue}: Double index found");
    }

    void texts()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, expected);
        RecordingHost host;
        CueSheet s;
        const bool read = readCueSheet(host, write(sheet), s);
        QStringList got {
            s.performer + '|' + s.title + '|' + QFileInfo(s.files.value(0).path).fileName()};
        for (const CueTrack &t : std::as_const(s.tracks)) {
            const QString texts = t.performer + '|' + t.title;
            got << t.number + '|' + (texts == "Unknown Artist|Track " + t.number ? "?" : texts)
                    + '|' + QString::number(t.start) + '|' + QString::number(t.pregap);
        }
        expected.replace("{cue}", QDir::toNativeSeparators(m_cue))
            .replace("{dir}", QDir::toNativeSeparators(m_dir.path()));
        QCOMPARE((read ? got : host.lines).join(','), expected);
        QCOMPARE(host.marked, read ? QStringList() : QStringList {m_cue});
    }

    // Refused sheets write nothing in either pass; the others split, and the
    // extraction pass says what pregap audio it left out.
    void splits_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<QString>("said"); // errors and the pregap line
        const auto row = [](const char *tag, const QByteArray &sheet, const QString &said) {
            QTest::newRow(tag) << (sheet.contains('\n') ? sheet : lines(sheet)) << said;
        };
        const QByteArray file = "FILE disc.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:10;TRACK 02 AUDIO;";
        const QString backwards = "E {cue}: Track 01 ends before it starts",
                      differ = "E {cue}: The images of this sheet differ in format";
        row("no-track", "REM GENRE Rock;FILE disc.wav WAVE", "E {cue}: No track found");
        row("index-01-goes-back", file + "INDEX 01 0:0:5", backwards);
        row("index-00-before-previous-start", file + "INDEX 00 0:0:5;INDEX 01 0:0:40", backwards);
        row("lead-in-and-pregap", ripped(""),
            "I disc: Pregap audio not written: 0.27 s in 2 tracks");
        row("mp3-image", "FILE x.mp3 MP3;TRACK 01 AUDIO;INDEX 01 0:0:0",
            "E {cue}: MP3 images cannot be split; only lossless images can");
        row("binary-image", "FILE disc.wav BINARY",
            "E {cue}: Invalid line foundE     FILE disc.wav BINARY");
        row("flac-type-word-wav-content",
            QByteArray(file).replace("WAVE", "FLAC") + "INDEX 01 0:0:20",
            "I disc: Pregap audio not written: 0.13 s in 1 track");
        row("data-track-only", "FILE disc.wav WAVE;TRACK 01 MODE1/2352;INDEX 01 0:0:0",
            "E {cue}: No track found");
        row("images-differ-in-format",
            file + "INDEX 01 0:0:20;FILE a.wav WAVE;TRACK 03 AUDIO;INDEX 01 0:0:0", differ);
        row("images-differ-in-channels",
            "FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;FILE st.wav WAVE;TRACK 02 AUDIO;"
            "INDEX 01 0:0:0",
            differ);
        row("images-differ-in-depth",
            file + "INDEX 01 0:0:20;FILE d24.wav WAVE;TRACK 03 AUDIO;INDEX 01 0:0:0", differ);
        row("index-back-in-second-file",
            "FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;FILE b.wav WAVE;TRACK 02 AUDIO;"
            "INDEX 01 0:1:0;TRACK 03 AUDIO;INDEX 01 0:0:50",
            "E {cue}: Track 02 ends before it starts");
        row("no-index-01-in-any-file", file + "INDEX 00 0:0:20;FILE a.wav WAVE",
            "E {cue}: Track without an index found");
        row("lead-in-only", ripped("", "").replace("INDEX 00 00:00:30\r\n", ""),
            "I disc: Pregap audio not written: 0.13 s in 1 track");
        row("equal-index-01-no-pregap",
            QByteArray(file).replace("0:0:10", "0:0:0") + "INDEX 01 0:0:0", "");
    }

    void splits()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, said);
        const bool refused = said.startsWith("E ");
        QTemporaryDir out;
        const QString cue = write(sheet);
        for (const bool checkOnly : {true, false}) {
            RecordingHost host;
            QCOMPARE(unpackCue(host, {out.path()}, cue, checkOnly), int(!refused));
            const QStringList lines = host.lines.filter(QRegularExpression("^E |Pregap"));
            QCOMPARE(lines.join("").replace(QDir::toNativeSeparators(cue), "{cue}"),
                refused || !checkOnly ? said : QString());
            QCOMPARE(host.marked.size(), int(refused));
        }
        QCOMPARE(QDir(out.path()).isEmpty(), refused);
    }

    // Sheets of several files, data tracks and hidden tracks, each split with
    // gaps left out, appended and prepended.
    void gaps_data()
    {
        QTest::addColumn<QByteArray>("sheet"); // ";" ends a line
        // Per mode: the tracks by number (or name) with their audio in CD
        // frames, "," between them, then "|" and the lines said about gaps
        // and data tracks.
        QTest::addColumn<QStringList>("modes");
        const QString data2 = "Track 02 is a data track; not written;",
                      data4 = "Track 04 is a data track; not written",
                      cut = "Track 01 cut short: the WAV image ends before the track does";
        const auto row = [](const char *tag, const char *sheet, const QString &leave,
                             const QString &append, const QString &prepend) {
            QTest::newRow(tag) << lines(sheet) << QStringList {leave, append, prepend};
        };
        row("two-sides",
            "FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;INDEX 00 0:1:0;"
            "INDEX 01 0:1:50;FILE b.wav WAVE;TRACK 03 AUDIO;INDEX 01 0:0:0;TRACK 04 AUDIO;"
            "INDEX 00 0:2:0;INDEX 01 0:2:30",
            "01=a:0-75,02=a:125-,03=b:0-150,04=b:180-|Pregap audio not written: 1.07 s in 2 tracks",
            "01=a:0-125,02=a:125-,03=b:0-180,04=b:180-|",
            "01=a:0-75,02=a:75-,03=b:0-150,04=b:150-|");
        row("one-file-per-track-gaps-appended",
            "FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;INDEX 00 0:3:0;"
            "FILE b.wav WAVE;INDEX 01 0:0:0;TRACK 03 AUDIO;INDEX 00 0:3:50;FILE c.wav WAVE;"
            "INDEX 01 0:0:0",
            "01=a:0-225,02=b:0-275,03=c:0-|Pregap audio not written: 1.33 s in 2 tracks",
            "01=a:0-,02=b:0-,03=c:0-|", "01=a:0-225,02=a:225-+b:0-275,03=b:275-+c:0-|");
        row("gap-at-start-of-next-file-short-hidden-track",
            "FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:10;FILE b.wav WAVE;TRACK 02 AUDIO;"
            "INDEX 00 0:0:0;INDEX 01 0:1:0",
            "01=a:10-,02=b:75-|Pregap audio not written: 1.13 s in 2 tracks",
            "01=a:10-+b:0-75,02=b:75-|Pregap audio not written: 0.13 s in 1 track",
            "01=a:0-,02=b:0-|");
        row("long-side-then-short-side",
            "FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;INDEX 01 0:3:0;"
            "FILE s.wav WAVE;TRACK 03 AUDIO;INDEX 01 0:1:0",
            "01=a:0-225,02=a:225-+s:0-75,03=s:75-|", "01=a:0-225,02=a:225-+s:0-75,03=s:75-|",
            "01=a:0-225,02=a:225-+s:0-75,03=s:75-|");
        row("gap-past-the-end-of-its-file",
            "FILE s.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 AUDIO;INDEX 00 0:3:0;"
            "FILE b.wav WAVE;INDEX 01 0:0:0",
            "01=s:0-,02=b:0-|" + cut, "01=s:0-,02=b:0-|", "01=s:0-,02=b:0-|" + cut);
        row("hidden-track",
            "PERFORMER P;FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:1:30;"
            "TRACK 02 AUDIO;INDEX 01 0:3:0",
            "01=a:105-225,02=a:225-|Pregap audio not written: 1.40 s in 1 track",
            "00 P (HTOA)=a:0-105,01=a:105-225,02=a:225-|", "01=a:0-225,02=a:225-|");
        row("silent-hidden-track", "FILE z.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:1:30",
            "01=z:105-|Pregap audio not written: 1.40 s in 1 track",
            "01=z:105-|Pregap audio not written: 1.40 s in 1 track", "01=z:0-|");
        // EAC ends an enhanced CD with a data track that is not in the image.
        row("data-tracks",
            "FILE a.wav WAVE;TRACK 01 AUDIO;INDEX 01 0:0:0;TRACK 02 MODE2/2352;INDEX 00 0:2:0;"
            "INDEX 01 0:2:20;TRACK 03 AUDIO;INDEX 00 0:2:60;INDEX 01 0:3:0;"
            "TRACK 04 MODE1/2352;INDEX 01 9:0:0",
            "01=a:0-170,03=a:225-|" + data2 + data4
                + ";Pregap audio not written: 0.20 s in 1 track",
            "01=a:0-170,03=a:225-|" + data2 + data4, "01=a:0-170,03=a:210-|" + data2 + data4);
    }

    void gaps()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QStringList, modes);
        const QString cue = write(sheet);
        for (const GapMode gaps : {GapMode::Leave, GapMode::Append, GapMode::Prepend}) {
            const QString expected = modes[int(gaps)];
            QTemporaryDir out;
            const ExtractionSettings settings {
                out.path(), true, false, false, "%1 %2 %3", OutputFormat::Wav, gaps, {}};
            RecordingHost host;
            QCOMPARE(unpackCue(host, settings, cue, false), 1);
            const QStringList said = host.lines.filter(
                QRegularExpression("Pregap|data track|cut short|No track data"));
            QCOMPARE(said.join(';').remove("I disc: "), expected.section('|', 1));
            Files wanted;
            for (const QString &file : expected.section('|', 0, 0).split(','))
                wanted[file.section('=', 0, 0)] = track(file.section('=', 1));
            // Tracks named by their number alone are listed by it.
            Files found;
            const Files written = filesBelow(out.path());
            for (auto file = written.cbegin(); file != written.cend(); ++file) {
                const QString name = QFileInfo(file.key()).completeBaseName();
                found[wanted.contains(name.left(2)) ? name.left(2) : name] = *file;
            }
            QVERIFY2(found == wanted, qPrintable(found.keys().join(',')));
        }
    }
};

static const bool registered = EngineTests::add<TestSheets>();

#include "engine_sheets.moc"
