#include "wmain.h"
#include "windowtest.h"

using namespace WindowTest;

// The log panel as the user reads it: the lines in order, each with the
// icon of its kind, the newest one current.
class TestLogPanel : public QObject
{
    Q_OBJECT

public:
    static void initMain() { isolateSettings("tst_logpanel"); }

private slots:
    void lines_data();
    void lines();
};

void TestLogPanel::lines_data()
{
    // Steps: "I:text" information, "E:text" error, "S" the Stop action's
    // slot, "C" a click on Clear. A shown line is the kind its icon tells,
    // then its text.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("shown");

    const QStringList verbatim{"E:  /x/a.cue: line 3 %1 <b>bold</b>  "};
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("%1:line %2").arg(i % 3 ? "I" : "E").arg(i);
    QTest::newRow("kinds-in-order") << QStringList{"I:first", "E:second", "I:third"} << QStringList{"I:first", "E:second", "I:third"};
    QTest::newRow("many-lines") << many << many;
    QTest::newRow("empty-text-still-a-line") << QStringList{"I:", "E:"} << QStringList{"I:", "E:"};
    QTest::newRow("text-kept-verbatim") << verbatim << verbatim;
    QTest::newRow("stop-line") << QStringList{"I:Extracting files...", "S"} << QStringList{"I:Extracting files...", "S:Stop!"};
    QTest::newRow("stop-twice-two-lines") << QStringList{"S", "S"} << QStringList{"S:Stop!", "S:Stop!"};
    QTest::newRow("clear-then-append") << QStringList{"I:a", "E:b", "S", "C", "I:c"} << QStringList{"I:c"};
    QTest::newRow("clear-leaves-empty") << QStringList{"I:a", "E:b", "C"} << QStringList{};
}

void TestLogPanel::lines()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, shown);

    WMain w;
    // A run happens inside one slot; every line must let waiting events
    // through, a Stop click among them.
    bool delivered = false;
    QMetaObject::invokeMethod(&w, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    for (const QString &step : std::as_const(steps)) {
        if (step.startsWith(u"I:"))
            w.lognormal(step.mid(2));
        else if (step.startsWith(u"E:"))
            w.logerror(step.mid(2));
        else if (step == u"S")
            w.on_actionStop_triggered();
        else
            w.btnClearLog->click();
    }
    QVERIFY2(delivered, "a log line did not give the event loop a turn");

    const QList<QPair<QString, QImage>> kinds{{"I", resourceImage(":/lognormal.png")},
                                              {"E", resourceImage(":/logerror.png")},
                                              {"S", resourceImage(":/stopme.png")}};
    QStringList actual;
    for (int row = 0; row < w.loglist->count(); ++row) {
        QString kind = QStringLiteral("?");
        for (const auto &[name, image] : kinds)
            kind = image == iconImage(w.loglist->item(row)->icon()) ? name : kind;
        actual << kind + u':' + w.loglist->item(row)->text();
    }
    QCOMPARE(actual, shown);
    QCOMPARE(w.loglist->currentRow(), shown.size() - 1);
    QVERIFY(w.loglist->selectedItems().isEmpty());
    QCOMPARE(w.stopRequested, steps.contains(QStringLiteral("S")));
}

QTEST_MAIN(TestLogPanel)

#include "tst_logpanel.moc"
