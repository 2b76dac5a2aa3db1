#include "sheettext.h"

#include <QStringEncoder>
#include <QtTest>

// The bytes of a sheet as the lines the parser is given.
class TestSheetText : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
};

void TestSheetText::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    const QString text = QStringLiteral("TITLE \"Début Ørsted\"");
    const auto bom = [&](QStringConverter::Encoding encoding) {
        return QByteArray(QStringEncoder(encoding, QStringConverter::Flag::WriteBom).encode(text));
    };
    // clang-format off
    QTest::newRow("utf8-without-bom") << text.toUtf8() << QStringList{text};
    QTest::newRow("utf8-bom-dropped") << bom(QStringConverter::Utf8) << QStringList{text};
    QTest::newRow("utf16le-bom") << bom(QStringConverter::Utf16LE) << QStringList{text};
    QTest::newRow("utf16be-bom") << bom(QStringConverter::Utf16BE) << QStringList{text};
    QTest::newRow("utf32le-bom") << bom(QStringConverter::Utf32LE) << QStringList{text};
    QTest::newRow("latin1-letters") << text.toLatin1() << QStringList{text};
    // One byte that is not UTF-8 makes the whole sheet Latin-1, the valid
    // UTF-8 pair included: a sheet is written in one encoding.
    QTest::newRow("mixed-falls-back-entirely") << QByteArray("\xc3\xa9 \xe9") << QStringList{QString::fromLatin1("\xc3\xa9 \xe9")};
    QTest::newRow("truncated-utf8-at-end") << QByteArray("ab\xc3") << QStringList{QString::fromLatin1("ab\xc3")};
    QTest::newRow("no-final-end") << QByteArray("a\nb") << QStringList{"a", "b"};
    QTest::newRow("lone-cr") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("empty-last-line-lf") << QByteArray("a\n\n") << QStringList{"a", ""};
    QTest::newRow("empty-last-line-crlf") << QByteArray("a\r\n\r\n") << QStringList{"a", ""};
    QTest::newRow("cr-then-crlf") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("lf-then-cr") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("blanks-kept") << QByteArray(" a \n\t\n") << QStringList{" a ", "\t"};
    QTest::newRow("only-an-end") << QByteArray("\n") << QStringList{""};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    // clang-format on
}

void TestSheetText::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    SheetLines reader(decodeSheetText(bytes));
    QStringList got;
    QString line;
    while (got.size() <= expected.size() && reader.next(line))
        got << line;
    QCOMPARE(got, expected);
    QVERIFY(!reader.next(line));
}

QTEST_GUILESS_MAIN(TestSheetText)
#include "tst_sheettext.moc"
