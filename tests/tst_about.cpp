#include "wmain.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// The window reads and writes the per-user store; keep it in a folder of the
// test's own, fixed before the store is first used.
QString configHome()
{
    static QTemporaryDir dir;
    return dir.path();
}

const QUrl HomePage(QStringLiteral("https://splitmere.orvane.org/"));

} // namespace

// Takes the URLs that the window hands to the desktop, instead of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestAbout : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Splitmere"));
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void boxContents_data();
    void boxContents();
    void endings_data();
    void endings();
    void programIconIsBundled();

private:
    // Triggers the About action and runs `act` on the box once it is up;
    // false if no box came up or `act` left it open.
    bool withAboutBox(WMain &w, const std::function<void(QMessageBox *)> &act);

    UrlCatcher m_catcher;
};

void TestAbout::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_catcher, "open");
}

void TestAbout::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void TestAbout::init()
{
    m_catcher.opened.clear();
}

bool TestAbout::withAboutBox(WMain &w, const std::function<void(QMessageBox *)> &act)
{
    bool sawBox = false;
    bool leftOpen = false;
    QTimer::singleShot(0, &w, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        sawBox = true;
        act(box);
        // Whatever `act` did must have ended the box already; never hang on it.
        leftOpen = box->isVisible();
        if (leftOpen)
            box->done(QMessageBox::Cancel);
    });
    w.actionAbout->trigger();
    return sawBox && !leftOpen;
}

void TestAbout::boxContents_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("withIcon");

    QTest::newRow("program-title-no-icon") << QString() << false;
    QTest::newRow("program-title-with-icon") << QString() << true;
    QTest::newRow("changed-title-with-icon") << QStringLiteral("Other Name 7.3") << true;
}

void TestAbout::boxContents()
{
    QFETCH(QString, title);
    QFETCH(bool, withIcon);

    WMain w;
    w.show();
    if (!title.isEmpty())
        w.setWindowTitle(title);
    else
        title = QStringLiteral("Splitmere 1.1");
    const QIcon icon(QStringLiteral(":/splitmere.png"));
    if (withIcon)
        w.setWindowIcon(icon);

    QMessageBox::Icon kind = QMessageBox::NoIcon;
    QString boxTitle;
    QStringList lines;
    Qt::TextFormat format = Qt::RichText;
    QMessageBox::StandardButtons buttons;
    QString yesText;
    bool closeIsDefault = false;
    qint64 iconKey = 0;
    QVERIFY(withAboutBox(w, [&](QMessageBox *box) {
        kind = box->icon();
        boxTitle = box->windowTitle();
        lines = box->text().split(QLatin1Char('\n'));
        format = box->textFormat();
        buttons = box->standardButtons();
        yesText = box->button(QMessageBox::Yes)->text();
        closeIsDefault = box->defaultButton() == box->button(QMessageBox::Close);
        iconKey = box->windowIcon().cacheKey();
        box->button(QMessageBox::Close)->click();
    }));

    QCOMPARE(kind, QMessageBox::Information);
    QCOMPARE(boxTitle, QStringLiteral("About..."));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0), title);
    QVERIFY2(lines.at(1).startsWith(QLatin1String("Copyright")), qPrintable(lines.at(1)));
    QCOMPARE(lines.at(2), QString());
    QCOMPARE(lines.at(3), QStringLiteral("This is an individual track wave extraction utility"));
    QCOMPARE(lines.at(4), QStringLiteral("for CUE/WAV sets."));
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::Close);
    QCOMPARE(yesText, QStringLiteral("Home Page"));
    QVERIFY(closeIsDefault);
    if (withIcon)
        QCOMPARE(iconKey, icon.cacheKey());
    QVERIFY(m_catcher.opened.isEmpty());
}

void TestAbout::endings_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("opensHomePage");

    QTest::newRow("return-key") << QStringLiteral("return") << false;
    QTest::newRow("keypad-enter-key") << QStringLiteral("enter") << false;
    QTest::newRow("escape-key") << QStringLiteral("escape") << false;
    QTest::newRow("close-button") << QStringLiteral("close") << false;
    QTest::newRow("box-window-closed") << QStringLiteral("window") << false;
    QTest::newRow("home-page-button") << QStringLiteral("home") << true;
}

void TestAbout::endings()
{
    QFETCH(QString, ending);
    QFETCH(bool, opensHomePage);

    WMain w;
    w.show();
    QVERIFY(withAboutBox(w, [&](QMessageBox *box) {
        // Keys go where the user's would: to the focused button, if any.
        QWidget *target = box->focusWidget() ? box->focusWidget() : box;
        if (ending == QLatin1String("return"))
            QTest::keyClick(target, Qt::Key_Return);
        else if (ending == QLatin1String("enter"))
            QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        else if (ending == QLatin1String("escape"))
            QTest::keyClick(target, Qt::Key_Escape);
        else if (ending == QLatin1String("close"))
            box->button(QMessageBox::Close)->click();
        else if (ending == QLatin1String("window"))
            box->close();
        else
            box->button(QMessageBox::Yes)->click();
    }));

    const QList<QUrl> expected = opensHomePage ? QList<QUrl> {HomePage} : QList<QUrl> {};
    QCOMPARE(m_catcher.opened, expected);
    QVERIFY(w.isVisible());
}

void TestAbout::programIconIsBundled()
{
    // main() gives it to the window, and so to the About box.
    const QImage image(QStringLiteral(":/splitmere.png"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.width(), image.height());
    QVERIFY(image.width() >= 48);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
