#include "cuesheet.h"
#include "naming.h"

#include <QtTest>

class TestNaming : public QObject
{
    Q_OBJECT

private slots:
    void toFname_data();
    void toFname();
    void baseNames_data();
    void baseNames();
    void expandTrackFormat_data();
    void expandTrackFormat();
    void trackFileName_data();
    void trackFileName();
    void planFolders_data();
    void planFolders();
};

void TestNaming::toFname_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("slash-becomes-hyphen") << "AC/DC" << "AC-DC";
    QTest::newRow("ampersand-spaces-collapse") << "Rock & Roll" << "Rock and Roll";
    QTest::newRow("ampersand-between-letters") << "R&B" << "R and B";
    QTest::newRow("question-mark-removed") << "What?" << "What";
    QTest::newRow("colon-and-backslash") << "a:b\\c" << "a_b_c";
    QTest::newRow("whitespace-runs-collapse") << "   x   y   " << "x y";
    QTest::newRow("tab-and-newline-collapse") << "a\t\n b" << "a b";
    QTest::newRow("plus-becomes-underscore") << "C+ Sharp" << "C_ Sharp";
    QTest::newRow("double-quote-removed") << "\"Live\" Set" << "Live Set";
    QTest::newRow("grave-becomes-apostrophe") << "Rock`n" << "Rock'n";
    QTest::newRow("star-becomes-hyphen") << "a*b" << "a-b";
    QTest::newRow("bar-angles-dots-pass") << "<a|b.c>" << "<a|b.c>";
    QTest::newRow("semicolon-passes") << "a;b" << "a;b";
    QTest::newRow("non-ascii-passes") << "Café Ørsted" << "Café Ørsted";
    QTest::newRow("removal-leaves-blank-ends") << "? x ?" << "x";
    QTest::newRow("only-removed-characters") << "\"?\"" << "";
}

void TestNaming::toFname()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(::toFname(text), expected);
}

void TestNaming::baseNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("bare");
    QTest::newRow("dots-in-name") << "/music/Live.at.Home.cue" << "Live.at.Home";
    QTest::newRow("blank-in-name") << "/music/Disc 1.cue" << "Disc 1";
    QTest::newRow("dotted-folder") << "/my.rips/x.cue" << "x";
    QTest::newRow("no-extension") << "/music/sheet" << "sheet";
}

void TestNaming::baseNames()
{
    QFETCH(QString, path);
    QFETCH(QString, bare);
    QCOMPARE(bareFile(path), bare);
    QCOMPARE(fnPrefix(path), bare + ": ");
}

void TestNaming::expandTrackFormat_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("values"); // number, artist, title, album
    QTest::addColumn<QString>("expected");
    const QStringList plain{"01", "Band", "Song", "Album"};
    QTest::newRow("default-pattern") << "%1 %2 - %3" << plain << "01 Band - Song";
    QTest::newRow("all-markers-reordered") << "%4-%3-%2-%1" << plain << "Album-Song-Band-01";
    QTest::newRow("marker-repeated") << "%1%1" << plain << "0101";
    QTest::newRow("pattern-trimmed") << "  %1  " << plain << "01";
    QTest::newRow("values-trimmed-at-ends") << "%2" << QStringList{"1", " B ", "", ""} << "B";
    QTest::newRow("empty-pattern") << "" << plain << "";
    QTest::newRow("other-percent-kept") << "%5 %% %0" << plain << "%5 %% %0";
    QTest::newRow("title-holding-album-marker")
        << "%3" << QStringList{"1", "A", "Best of %4", "Hits"} << "Best of Hits";
    QTest::newRow("number-holding-title-marker")
        << "%1" << QStringList{"%3", "A", "Song", "X"} << "Song";
    QTest::newRow("album-not-scanned-again")
        << "%4" << QStringList{"7", "A", "T", "%1 %2"} << "%1 %2";
    QTest::newRow("title-not-scanned-for-number")
        << "%3" << QStringList{"7", "A", "%1", "X"} << "%1";
}

void TestNaming::expandTrackFormat()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, values);
    QFETCH(QString, expected);
    QCOMPARE(::expandTrackFormat(pattern, values[0], values[1], values[2], values[3]), expected);
}

void TestNaming::trackFileName_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default-pattern") << "%1 %2 - %3" << "01" << "Song" << "01 Band - Song.wav";
    QTest::newRow("number-not-padded") << "%1 %3" << "1" << "Song" << "1 Song.wav";
    QTest::newRow("empty-pattern") << "" << "01" << "Song" << ".wav";
    QTest::newRow("blank-pattern") << "   " << "01" << "Song" << ".wav";
    QTest::newRow("slash-in-pattern-no-subfolder") << "%2/%3" << "01" << "Song" << "Band-Song.wav";
    QTest::newRow("title-sanitised") << "%3" << "01" << "Why? / How" << "Why - How.wav";
    QTest::newRow("album-marker") << "%4 %1" << "02" << "Song" << "Band - Live 02.wav";
}

void TestNaming::trackFileName()
{
    QFETCH(QString, pattern);
    QFETCH(QString, number);
    QFETCH(QString, title);
    QFETCH(QString, expected);
    CueTrack track;
    track.number = number;
    track.performer = QStringLiteral("Band");
    track.title = title;
    QCOMPARE(::trackFileName(pattern, track, QStringLiteral("Band - Live")), expected);
}

void TestNaming::planFolders_data()
{
    QTest::addColumn<QString>("performer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("subArtist");
    QTest::addColumn<bool>("subAlbum");
    QTest::addColumn<QString>("artistFolder"); // name on disk, empty when not used
    QTest::addColumn<QString>("albumFolder");
    QTest::addColumn<QString>("album"); // what "%4" gives
    const auto row = [](const char *tag, const QString &performer, const QString &title,
                        bool subArtist, bool subAlbum, const QString &artistFolder,
                        const QString &albumFolder, const QString &album) {
        QTest::newRow(tag) << performer << title << subArtist << subAlbum << artistFolder
                           << albumFolder << album;
    };
    const QString various = QStringLiteral("Various (No information)");
    row("both-folders", "Band", "Album", true, true, "Band", "Album", "Album");
    row("album-only-prefixes", "Band", "Album", false, true, "", "Band - Album", "Band - Album");
    row("artist-only", "Band", "Album", true, false, "Band", "", "Album");
    row("no-folders", "Band", "Album", false, false, "", "", "Album");
    row("various-forces-album-folder", various, "Disc 1", false, false, "", "Disc 1", "Disc 1");
    row("various-below-artist-folder", various, "Disc 1", true, false, various, "Disc 1", "Disc 1");
    row("various-other-case-is-plain", "various (no information)", "D", false, false, "", "", "D");
    row("texts-sanitised", "AC/DC", "Back: In Black", true, true, "AC-DC", "Back_ In Black",
        "Back_ In Black");
    row("dot-artist", ".", "Album", true, true, "_", "Album", "Album");
    row("dot-dot-album", "Band", "..", true, true, "Band", "__", "..");
    row("padded-dot-dot-artist", " .. ", "A", true, true, "__", "A", "A");
    row("dot-dot-album-after-artist", "Band", "..", false, true, "", "Band - ..", "Band - ..");
    row("empty-artist", "\"?\"", "Album", true, true, "_", "Album", "Album");
    row("empty-album", "Band", "", true, true, "Band", "_", "");
    row("three-dots-kept", "...", "A", true, true, "...", "A", "A");
}

void TestNaming::planFolders()
{
    QFETCH(QString, performer);
    QFETCH(QString, title);
    QFETCH(bool, subArtist);
    QFETCH(bool, subAlbum);
    QFETCH(QString, artistFolder);
    QFETCH(QString, albumFolder);
    QFETCH(QString, album);
    const FolderPlan plan = ::planFolders(performer, title, subArtist, subAlbum);
    QCOMPARE(plan.artistFolder, !artistFolder.isEmpty());
    QCOMPARE(plan.albumFolder, !albumFolder.isEmpty());
    if (plan.artistFolder)
        QCOMPARE(plan.artistFolderName, artistFolder);
    if (plan.albumFolder)
        QCOMPARE(plan.albumFolderName, albumFolder);
    QCOMPARE(plan.album, album);
}

QTEST_GUILESS_MAIN(TestNaming)
#include "tst_naming.moc"
