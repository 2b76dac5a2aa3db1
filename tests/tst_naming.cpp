#include "cuesheet.h"
#include "naming.h"

#include <QtTest>

class TestNaming : public QObject
{
    Q_OBJECT

private slots:
    void toFname_data();
    void toFname();
    void baseNames();
    void trackNames_data();
    void trackNames();
    void planFolders_data();
    void planFolders();
};

void TestNaming::toFname_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("slash-becomes-hyphen") << "AC/DC" << "AC-DC";
    QTest::newRow("ampersand-spaces-collapse") << "Rock & Roll" << "Rock and Roll";
    QTest::newRow("question-mark-removed") << "What?" << "What";
    QTest::newRow("colon-and-backslash") << "a:b\\c" << "a_b_c";
    QTest::newRow("whitespace-runs-collapse") << "   x   y   " << "x y";
    QTest::newRow("plus-quote-grave-star") << "C+ \"Live\" Rock`n a*b" << "C_ Live Rock'n a-b";
    QTest::newRow("bar-angles-dots-semicolon-letters-pass") << "<a|b.c>;Ørsted" << "<a|b.c>;Ørsted";
    QTest::newRow("removal-leaves-blank-ends") << "? x ?" << "x";
    // clang-format on
}

void TestNaming::toFname()
{
    QFETCH(QString, text);
    QTEST(::toFname(text), "expected");
}

void TestNaming::baseNames()
{
    QCOMPARE(bareFile("/my.rips/Live.at.Home.cue"), "Live.at.Home");
    QCOMPARE(fnPrefix("/my.rips/Live.at.Home.cue"), "Live.at.Home: ");
    QCOMPARE(bareFile("/music/sheet"), "sheet");
}

void TestNaming::trackNames_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("values"); // number, artist, title, album
    QTest::addColumn<QString>("expanded"); // what the preview shows
    QTest::addColumn<QString>("fileName"); // what the track is called
    const QStringList plain {"01", "Band", "Song", "Album"};
    // clang-format off
    QTest::newRow("default-pattern") << "%1 %2 - %3" << plain << "01 Band - Song" << "01 Band - Song.wav";
    QTest::newRow("markers-reordered-and-repeated") << "%4-%3-%2-%1-%1" << plain << "Album-Song-Band-01-01" << "Album-Song-Band-01-01.wav";
    QTest::newRow("number-not-padded") << "%1 %3" << QStringList{"1", "B", "Song", "A"} << "1 Song" << "1 Song.wav";
    QTest::newRow("blanks-trimmed-at-ends") << "  %2  " << QStringList{"1", " B ", "", ""} << "B" << "B.wav";
    QTest::newRow("blank-pattern") << "   " << plain << "" << ".wav";
    QTest::newRow("other-percent-kept") << "%5 %% %0" << plain << "%5 %% %0" << "%5 %% %0.wav";
    QTest::newRow("value-scanned-by-later-markers") << "%1" << QStringList{"%3", "A", "Best of %4", "Hits"} << "Best of Hits" << "Best of Hits.wav";
    QTest::newRow("value-not-scanned-by-earlier-markers") << "%3 %4" << QStringList{"7", "A", "%1", "%1 %2"} << "%1 %1 %2" << "%1 %1 %2.wav";
    QTest::newRow("slash-in-pattern-no-subfolder") << "%2/%3" << QStringList{"1", "Band", "Why?", "A"} << "Band/Why?" << "Band-Why.wav";
    // clang-format on
}

void TestNaming::trackNames()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, values);
    QTEST(expandTrackFormat(pattern, values[0], values[1], values[2], values[3]), "expanded");
    const CueTrack track {values[0], values[1], values[2]};
    QTEST(trackFileName(pattern, track, values[3]), "fileName");
}

void TestNaming::planFolders_data()
{
    QTest::addColumn<QStringList>("disc"); // performer, title
    QTest::addColumn<bool>("subArtist");
    QTest::addColumn<bool>("subAlbum");
    QTest::addColumn<QStringList>("expected"); // artist folder, album folder ("" unused), "%4"
    const QString various = QStringLiteral("Various (No information)");
    const QStringList band {"Band", "Album"};
    // clang-format off
    QTest::newRow("both-folders") << band << true << true << QStringList{"Band", "Album", "Album"};
    QTest::newRow("album-only-prefixes") << band << false << true << QStringList{"", "Band - Album", "Band - Album"};
    QTest::newRow("artist-only") << band << true << false << QStringList{"Band", "", "Album"};
    QTest::newRow("no-folders") << band << false << false << QStringList{"", "", "Album"};
    QTest::newRow("various-forces-album-folder") << QStringList{various, "Disc 1"} << false << false << QStringList{"", "Disc 1", "Disc 1"};
    QTest::newRow("various-below-artist-folder") << QStringList{various, "Disc 1"} << true << false << QStringList{various, "Disc 1", "Disc 1"};
    QTest::newRow("various-other-case-is-plain") << QStringList{"various (no information)", "D"} << false << false << QStringList{"", "", "D"};
    QTest::newRow("texts-sanitised") << QStringList{"AC/DC", "Back: In Black"} << true << true << QStringList{"AC-DC", "Back_ In Black", "Back_ In Black"};
    // "." and ".." would name the destination or its parent, "" no folder.
    QTest::newRow("padded-dot-artist") << QStringList{" . ", "Album"} << true << true << QStringList{"_", "Album", "Album"};
    QTest::newRow("dot-dot-album") << QStringList{"Band", ".."} << true << true << QStringList{"Band", "__", ".."};
    QTest::newRow("artist-empty-once-sanitised") << QStringList{"\"?\"", "Album"} << true << true << QStringList{"_", "Album", "Album"};
    // clang-format on
}

void TestNaming::planFolders()
{
    QFETCH(QStringList, disc);
    QFETCH(bool, subArtist);
    QFETCH(bool, subAlbum);
    const FolderPlan plan = ::planFolders(disc[0], disc[1], subArtist, subAlbum);
    const QStringList got {plan.artistFolder ? plan.artistFolderName : QString(),
        plan.albumFolder ? plan.albumFolderName : QString(), plan.album};
    QTEST(got, "expected");
}

QTEST_GUILESS_MAIN(TestNaming)
#include "tst_naming.moc"
