// How sheets in legacy encodings are read: short sheets without help, the
// code page of the user's language, what makes a reading plausible, an
// encoding chosen by hand, and the summary the CUE list's tooltip shows.

#include "codepages.h"
#include "enginetests.h"
#include "plausibility.h"
#include "sheetsplit.h"
#include "sheetsummary.h"
#include "sheettext.h"

#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

namespace {

// A sheet from a line of the data files: a name, the encoding, then the
// performer, the album title and the track titles, "|" between them.
struct Sheet
{
    QString name;
    QByteArray encoding;
    QString text;
    QByteArray bytes() const { return QStringEncoder(encoding.constData()).encode(text); }
};

QList<Sheet> readSheets(const QString &file)
{
    QFile data(file);
    if (!data.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(file));
    QList<Sheet> sheets;
    for (const QString &line : QString::fromUtf8(data.readAll()).split('\n')) {
        const QStringList texts = line.section(' ', 2).split('|');
        if (line.startsWith('#') || texts.size() < 3)
            continue;
        QString text
            = QString("REM DATE 2001\nPERFORMER \"%1\"\nTITLE \"%2\"\nFILE \"d.wav\" WAVE\n")
                  .arg(texts[0], texts[1]);
        for (int i = 2; i < texts.size(); ++i)
            text += QString("  TRACK %1 AUDIO\n    TITLE \"%2\"\n    INDEX 01 00:%1:00\n")
                        .arg(i - 1, 2, 10, QChar('0'))
                        .arg(texts[i]);
        sheets.append({line.section(' ', 0, 0), line.section(' ', 1, 1).toLatin1(), text});
    }
    return sheets;
}

QString misread(const QString &text, const char *written, const char *read)
{
    return QStringDecoder(read).decode(QStringEncoder(written).encode(text));
}

} // namespace

class TestEncodings : public QObject
{
    Q_OBJECT

    const QList<Sheet> m_short = readSheets(QFINDTESTDATA("data/short-sheets.txt"));
    const QList<Sheet> m_long = readSheets(QFINDTESTDATA("data/albums.txt"));

    Sheet named(const QString &name) const
    {
        for (const Sheet &sheet : m_short + m_long) {
            if (sheet.name == name)
                return sheet;
        }
        qFatal("no sheet %s", qPrintable(name));
    }

private slots:
    // Without a language hint a long sheet is read right. The detector sees
    // too little of a short sheet; the most plausible reading must still be
    // right nearly always, and never wrong for what old Windows rippers wrote
    // most.
    void sheetsWithoutHint()
    {
        QCOMPARE(m_long.size(), 14);
        for (const Sheet &sheet : m_long)
            QCOMPARE(decodeSheetText(sheet.bytes(), {}, QLocale::c()).text, sheet.text);
        QCOMPARE(m_short.size(), 14);
        QStringList wrong;
        for (const Sheet &sheet : m_short) {
            const SheetText read = decodeSheetText(sheet.bytes(), {}, QLocale::c());
            if (read.text != sheet.text)
                wrong << sheet.name + " as " + read.encoding;
        }
        QVERIFY2(wrong.size() <= 2, qPrintable(wrong.join(", ")));
        QVERIFY2(wrong.filter("french").isEmpty() && wrong.filter("german").isEmpty()
                && wrong.filter("nordic").isEmpty(),
            qPrintable(wrong.join(", ")));
    }

    void languageHint_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("language");
        const QStringList rows {"ru kino-performer-only windows-1251",
            "ja sakamoto-english-tracks shift-jis", "zh_CN chinese-simplified gbk",
            "zh_TW chinese-traditional big5", "ko korean euc-kr"};
        for (const QString &row : rows) {
            const QStringList parts = row.split(' ');
            for (const QString &language : {parts[0], QString("C")}) {
                for (const QString &sheet : parts.mid(1)) {
                    const QString tag
                        = sheet + (language == "C" ? "-no-hint" : "-hint-" + language);
                    QTest::newRow(qPrintable(tag)) << sheet << language;
                }
            }
        }
        // The hint gives way to bytes invalid in it, and to the detector's
        // answer for a long sheet in another code page of the same script.
        row("hint-invalid-in-bytes", "french", "ja");
        row("long-sheet-in-other-cyrillic-code-page", "koi8-r", "ru");
        row("long-sheet-in-other-chinese-code-page", "big5", "zh_CN");
        // A short Turkish sheet reads as well in Windows-1252 (Icelandic), which
        // wins the tie without the hint.
        row("short-sheet-the-hint-decides", "turkish-short", "tr");
        // A code page outside the common ones reads a short sheet when the
        // detector names it and it reads best.
        row("short-sheet-in-the-detectors-answer", "koi8-r-short", "C");
    }
    void languageHint()
    {
        QFETCH(QString, sheet);
        QFETCH(QString, language);
        const QHash<QString, Sheet> shortOnes {
            {"turkish-short", {sheet, "windows-1254", "PERFORMER \"Tarkan\"\nTITLE \"Şarkı\"\n"}},
            {"koi8-r-short", {sheet, "KOI8-R", "PERFORMER \"Кино\"\nTITLE \"Группа крови\"\n"}}};
        const Sheet written = shortOnes.contains(sheet) ? shortOnes[sheet] : named(sheet);
        QCOMPARE(decodeSheetText(written.bytes(), {}, QLocale(language)).text, written.text);
    }

    // Of two readings, the first is the more plausible one.
    void plausibility_data()
    {
        QTest::addColumn<QString>("better");
        QTest::addColumn<QString>("betterPage");
        QTest::addColumn<QString>("worse");
        QTest::addColumn<QString>("worsePage");
        row("controls-worse-than-signs", "Czes³aw", "windows-1252", "Czes\u0090aw", "windows-1252");
        row("no-combining-mark-first", "ส่ง", "windows-874", "\u0E48สง", "windows-874");
        row("one-script-per-value", "Кино Кино", "UTF-8", "Кино Ζορμπάς", "UTF-8");
        row("no-sign-between-letters", "Czesław", "windows-1250", "Czes³aw", "windows-1252");
        row("no-sign-touching-a-word", "świat", "windows-1250", "¶wiat", "windows-1250");
        row("letters-of-one-language", "Bratříčku", "windows-1250", "Bratøíèku", "windows-1252");
        row("accents-among-plain-letters", "Кино", "windows-1251", "Êèíî", "windows-1252");
        row("greek-words-have-vowels", "Ζορμπάς", "windows-1253", "Κθνξ", "windows-1253");
        row("final-sigma-ends-a-word", "Ζορμπάς", "windows-1253", "Ζορμπςά", "windows-1253");
        row("no-upper-case-inside-a-word", "Ζορμπάς", "windows-1253", "ЗорЬпЯс", "windows-1251");
        row("no-arabic-vowel-marks", "توت", "windows-1256", "توٍَ", "windows-1256");
        row("no-kana-in-chinese", "中島みゆき", "EUC-JP", "中島みゆき", "GB18030");
        row("common-kanji", "音楽図鑑", "Shift_JIS", misread("音楽図鑑", "Shift_JIS", "GB18030"),
            "GB18030");
        row("common-hanzi", "歌声伴随你", "GB18030", misread("歌声伴随你", "GB18030", "Big5"),
            "Big5");
        row("common-hangul", "좋은 날", "windows-949", misread("좋은 날", "windows-949", "GB18030"),
            "GB18030");
        row("no-hanja-in-korean", "아이유", "windows-949", "兒異柳", "windows-949");
        row("half-width-kana-rare", "ロック", "Shift_JIS", "ﾛｯｸ", "Shift_JIS");
    }
    void plausibility()
    {
        QFETCH(QString, better);
        QFETCH(QString, betterPage);
        QFETCH(QString, worse);
        QFETCH(QString, worsePage);
        QCOMPARE_LT(implausibility(better, scriptOfCodePage(betterPage.toLatin1())),
            implausibility(worse, scriptOfCodePage(worsePage.toLatin1())));
    }

    // A Turkish sheet that detection reads as Windows-1252 names its image
    // in Turkish: only the chosen encoding finds it in the check pass, and
    // names the tracks right in the extraction pass.
    void chosenEncoding_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("tracks"); // the files written, "" when refused
        row("automatic", "", "");
        row("chosen", "windows-1254", "Tarkan/Şımarık/01 Şıkıdım.wav");
        row("chosen-by-any-case", "WINDOWS-1254", "Tarkan/Şımarık/01 Şıkıdım.wav");
        // Bytes UTF-8 cannot read become replacement characters: the image
        // is found under such a name, and they are dropped from the tracks'.
        row("chosen-that-cannot-read-it", "UTF-8", "Tarkan/mark/01 kdm.wav");
    }
    void chosenEncoding()
    {
        QFETCH(QString, encoding);
        QTemporaryDir dir;
        for (const char *image : {"Şarkı.wav", "\uFFFDark\uFFFD.wav"})
            QVERIFY(writeFile(dir.filePath(image), canonical(1, 8000, 16, samples(80, 1, 16))));
        ExtractionSettings settings {dir.filePath("out"), true, true, false, "%1 %3"};
        settings.sheetEncodings.insert(dir.filePath("Disc.cue"), encoding);
        const Split run = split(dir,
            QStringEncoder("windows-1254")
                .encode("PERFORMER Tarkan\nTITLE \"Şımarık\"\nFILE \"Şarkı.wav\" WAVE\n"
                        "TRACK 01 AUDIO\nTITLE \"Şıkıdım\"\nINDEX 01 0:0:0\n"),
            settings);
        QTEST(run.files.keys().join(' '), "tracks");
    }

    // The CUE list's tooltip: what the sheet gives, and how it was read.
    void summary_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("expected");
        const QByteArray tracks = "TRACK 01 AUDIO;TITLE Low;INDEX 01 0:0:0;TRACK 02 AUDIO;"
                                  "INDEX 01 0:1:0;TRACK 3 AUDIO;TITLE High;INDEX 01 0:2:0;";
        const QByteArray kino = QStringEncoder("windows-1251").encode("PERFORMER \"Кино\";");
        QTest::newRow("four-tracks-detected")
            << kino + "TITLE Gruppa;FILE disc.wav WAVE;" + tracks + "TRACK 04 AUDIO;INDEX 01 0:3:0"
            << ""
            << "Кино – Gruppa|4 tracks|01  Low|02  Track 02|3  High|…|"
               "Text encoding: Windows-1251 (detected)";
        QTest::newRow("three-tracks-all-shown")
            << kino + "TITLE Gruppa;FILE disc.wav WAVE;" + tracks << ""
            << "Кино – Gruppa|3 tracks|01  Low|02  Track 02|3  High|"
               "Text encoding: Windows-1251 (detected)";
        QTest::newRow("one-track-utf8")
            << QByteArray("FILE disc.wav WAVE;TRACK 1 AUDIO;INDEX 01 0:0:0") << ""
            << "Various (No information) – disc|1 track|1  Track 1|"
               "Text encoding: UTF-8";
        QTest::newRow("refused-chosen") << kino + "FILE gone.wav WAVE;" + tracks << "windows-1253"
                                        << "Κθνξ – Unknown Title|{cue}: Cannot find {dir}/gone.wav|"
                                           "Text encoding: Windows-1253 (chosen)";
    }
    void summary()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, encoding);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString cue = dir.filePath("disc.cue");
        QVERIFY(writeFile(cue, lines(sheet)) && writeFile(dir.filePath("disc.wav"), "any"));
        expected.replace("{cue}", QDir::toNativeSeparators(cue))
            .replace("{dir}", QDir::toNativeSeparators(dir.path()));
        QCOMPARE(sheetSummary(cue, encoding).split('\n').join('|'), expected);
    }
};

static const bool registered = EngineTests::add<TestEncodings>();

#include "engine_encodings.moc"
