#include "wmain.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The log panel as the user reads it: the lines in order, each with the
// icon of its kind, the newest one current and in view.
class TestLogPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void lines_data();
    void lines();
    void newestLineInView_data();
    void newestLineInView();
    void eachLineYields_data();
    void eachLineYields();

private:
    QString kindOf(QListWidgetItem *item) const;

    QList<QPair<QString, QImage>> m_kinds;
};

namespace {

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(16).toImage();
}

// Steps: "I:text" information, "E:text" error, "S" the Stop action's slot,
// "C" a click on Clear.
void play(WMain &w, const QStringList &steps)
{
    for (const QString &step : steps) {
        const QString text = step.mid(2);
        if (step.startsWith(u"I:"))
            w.lognormal(text);
        else if (step.startsWith(u"E:"))
            w.logerror(text);
        else if (step == u"S")
            w.on_actionStop_triggered();
        else if (step == u"C")
            w.btnClearLog->click();
        else
            QFAIL(qPrintable(QStringLiteral("bad step ") + step));
    }
}

} // namespace

void TestLogPanel::initTestCase()
{
    m_kinds = {{QStringLiteral("I"), iconImage(QIcon(QStringLiteral(":/lognormal.png")))},
               {QStringLiteral("E"), iconImage(QIcon(QStringLiteral(":/logerror.png")))},
               {QStringLiteral("S"), iconImage(QIcon(QStringLiteral(":/stopme.png")))}};
    // The kind of a line is read from its icon, so the three must differ.
    for (const auto &kind : std::as_const(m_kinds))
        QVERIFY2(!kind.second.isNull(), "icon bundle not registered");
    QVERIFY(m_kinds[0].second != m_kinds[1].second);
    QVERIFY(m_kinds[0].second != m_kinds[2].second);
    QVERIFY(m_kinds[1].second != m_kinds[2].second);
}

void TestLogPanel::init()
{
    QSettings().clear();
}

QString TestLogPanel::kindOf(QListWidgetItem *item) const
{
    const QImage image = iconImage(item->icon());
    for (const auto &kind : m_kinds) {
        if (kind.second == image)
            return kind.first;
    }
    return QStringLiteral("?");
}

void TestLogPanel::lines_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("stopRequested");

    QTest::newRow("information-then-error")
        << QStringList{"I:first", "E:second", "I:third"}
        << QStringList{"I:first", "E:second", "I:third"} << false;
    QTest::newRow("empty-text-still-a-line")
        << QStringList{"I:", "E:"} << QStringList{"I:", "E:"} << false;
    QTest::newRow("text-kept-verbatim")
        << QStringList{"E:  /x/a.cue: line 3 %1 <b>bold</b>  "}
        << QStringList{"E:  /x/a.cue: line 3 %1 <b>bold</b>  "} << false;
    QTest::newRow("stop-line")
        << QStringList{"I:Extracting files...", "S"}
        << QStringList{"I:Extracting files...", "S:Stop!"} << true;
    QTest::newRow("stop-twice-two-lines")
        << QStringList{"S", "S"} << QStringList{"S:Stop!", "S:Stop!"} << true;
    QTest::newRow("clear-then-append")
        << QStringList{"I:a", "E:b", "S", "C", "I:c"} << QStringList{"I:c"} << true;
    QTest::newRow("clear-empty-panel") << QStringList{"C"} << QStringList{} << false;
    QTest::newRow("clear-leaves-empty")
        << QStringList{"I:a", "E:b", "C"} << QStringList{} << false;
}

void TestLogPanel::lines()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, shown);
    QFETCH(bool, stopRequested);

    WMain w;
    play(w, steps);

    QStringList actual;
    for (int row = 0; row < w.loglist->count(); ++row) {
        QListWidgetItem *item = w.loglist->item(row);
        QCOMPARE(item->type(), int(QListWidgetItem::Type));
        actual << kindOf(item) + u':' + item->text();
    }
    QCOMPARE(actual, shown);
    QCOMPARE(w.loglist->currentRow(), shown.size() - 1);
    QVERIFY(w.loglist->selectedItems().isEmpty());
    QCOMPARE(w.stopRequested, stopRequested);
}

void TestLogPanel::newestLineInView_data()
{
    QTest::addColumn<int>("count");

    QTest::newRow("one-line") << 1;
    QTest::newRow("fills-the-panel") << 6;
    QTest::newRow("many-lines") << 300;
}

void TestLogPanel::newestLineInView()
{
    QFETCH(int, count);

    WMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i < count; ++i) {
        if (i % 2)
            w.logerror(QStringLiteral("line %1").arg(i));
        else
            w.lognormal(QStringLiteral("line %1").arg(i));
    }
    QCOMPARE(w.loglist->count(), count);
    QListWidgetItem *newest = w.loglist->item(count - 1);
    QCOMPARE(newest->text(), QStringLiteral("line %1").arg(count - 1));
    const QRect where = w.loglist->visualItemRect(newest);
    QVERIFY2(w.loglist->viewport()->rect().contains(where),
             qPrintable(QStringLiteral("newest line at y=%1 outside the view").arg(where.y())));
    QCOMPARE(w.loglist->currentRow(), count - 1);
}

void TestLogPanel::eachLineYields_data()
{
    QTest::addColumn<QString>("step");

    QTest::newRow("information") << "I:x";
    QTest::newRow("error") << "E:x";
    QTest::newRow("stop") << "S";
}

// A run happens inside one slot; a line must let waiting events through,
// a Stop click among them, before its caller goes on.
void TestLogPanel::eachLineYields()
{
    QFETCH(QString, step);

    WMain w;
    bool delivered = false;
    QMetaObject::invokeMethod(&w, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    QVERIFY(!delivered);
    play(w, {step});
    QVERIFY(delivered);
}

int main(int argc, char **argv)
{
    // The window reads and writes the settings store; keep it away from the
    // user's own in a directory that vanishes with the test.
    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("SplitmereTests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_logpanel"));
    QApplication app(argc, argv);
    TestLogPanel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logpanel.moc"
