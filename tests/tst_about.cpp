#include "windowtest.h"
#include "wmain.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

class TestAbout : public QObject
{
    Q_OBJECT

public:
    static void initMain() { WindowTest::isolateSettings("tst_about"); }

public slots:
    // Stands in for the browser that the desktop would start.
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    void aboutBox_data()
    {
        QTest::addColumn<int>("key"); // 0: a click on the button instead
        QTest::addColumn<bool>("homePage");
        // clang-format off
        QTest::newRow("return-key")       << int(Qt::Key_Return) << false;
        QTest::newRow("escape-key")       << int(Qt::Key_Escape) << false;
        QTest::newRow("close-button")     << 0                   << false;
        QTest::newRow("home-page-button") << 0                   << true;
        // clang-format on
    }

    void aboutBox()
    {
        QFETCH(int, key);
        QFETCH(bool, homePage);
        m_opened.clear();
        WMain w;
        // Markup too, which the box must show as typed.
        w.setWindowTitle(QStringLiteral("Other <b>Name</b> 7.3"));
        QStringList seen;
        bool leftOpen = false;
        WindowTest::onNextModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return modal->hide();
            seen = box->text().split('\n');
            seen << box->windowTitle() << box->button(QMessageBox::Yes)->text()
                 << QString::number(box->standardButtons()) << QString::number(box->textFormat())
                 << (box->defaultButton() ? box->defaultButton()->text() : QString());
            if (key)
                QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(key));
            else
                box->button(homePage ? QMessageBox::Yes : QMessageBox::Close)->click();
            // Never hang on a box that the ending left open.
            if ((leftOpen = box->isVisible()))
                box->hide();
        });
        w.actionAbout->trigger();

        QVERIFY(!leftOpen);
        // The notice's wording is free, so long as there is one.
        QVERIFY2(seen.value(1).startsWith(QLatin1String("Copyright")), qPrintable(seen.value(1)));
        QCOMPARE(seen,
            QStringList({"Other <b>Name</b> 7.3", seen.value(1), "",
                "This is an individual track wave extraction utility", "for CUE/WAV sets.",
                "About...", "Home Page", QString::number(QMessageBox::Yes | QMessageBox::Close),
                QString::number(Qt::PlainText), "Close"}));
        QCOMPARE(m_opened,
            homePage ? QList<QUrl> {QUrl("https://splitmere.orvane.org/")} : QList<QUrl>());
    }

private:
    QList<QUrl> m_opened;
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
