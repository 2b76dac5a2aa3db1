#include "sheettext.h"

#include <QStringEncoder>
#include <QtTest>

class TestSheetText : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void lines_data();
    void lines();
};

namespace {

QByteArray encoded(QStringConverter::Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

} // namespace

void TestSheetText::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QString text = QStringLiteral("TITLE \"Début Ørsted\"");
    QTest::newRow("utf8-without-bom") << text.toUtf8() << text;
    QTest::newRow("utf8-bom-dropped") << encoded(QStringConverter::Utf8, text) << text;
    QTest::newRow("utf16le-bom") << encoded(QStringConverter::Utf16LE, text) << text;
    QTest::newRow("utf16be-bom") << encoded(QStringConverter::Utf16BE, text) << text;
    QTest::newRow("utf32le-bom") << encoded(QStringConverter::Utf32LE, text) << text;
    QTest::newRow("utf32be-bom") << encoded(QStringConverter::Utf32BE, text) << text;
    QTest::newRow("latin1-letters") << text.toLatin1() << text;
    QTest::newRow("windows1252-umlaut") << QByteArray("Bj\xf6rk") << QStringLiteral("Björk");
    // One byte that is not UTF-8 makes the whole sheet Latin-1, the valid
    // UTF-8 pair included: a sheet is written in one encoding.
    QTest::newRow("mixed-falls-back-entirely")
        << QByteArray("\xc3\xa9 \xe9") << QString::fromLatin1("\xc3\xa9 \xe9");
    QTest::newRow("truncated-utf8-at-end") << QByteArray("ab\xc3") << QString::fromLatin1("ab\xc3");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestSheetText::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(decodeSheetText(bytes), expected);
}

void TestSheetText::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("lf") << "a\nb\n" << QStringList{"a", "b"};
    QTest::newRow("crlf") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("lone-cr") << "a\rb\r" << QStringList{"a", "b"};
    QTest::newRow("no-final-end") << "a\nb" << QStringList{"a", "b"};
    QTest::newRow("empty-last-line-lf") << "a\n\n" << QStringList{"a", ""};
    QTest::newRow("empty-last-line-crlf") << "a\r\n\r\n" << QStringList{"a", ""};
    QTest::newRow("cr-then-crlf") << "a\r\r\nb" << QStringList{"a", "", "b"};
    QTest::newRow("lf-then-cr") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::newRow("blanks-kept") << " a \n\t\n" << QStringList{" a ", "\t"};
    QTest::newRow("only-an-end") << "\n" << QStringList{""};
    QTest::newRow("empty-text") << "" << QStringList{};
}

void TestSheetText::lines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    SheetLines reader(text);
    QStringList got;
    QString line;
    while (got.size() <= expected.size() && reader.next(line))
        got << line;
    QCOMPARE(got, expected);
    QVERIFY(!reader.next(line));
}

QTEST_GUILESS_MAIN(TestSheetText)
#include "tst_sheettext.moc"
