#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The built program on a real X server of its own, started with sheets on
// its command line and quit through its File menu, as a user would.
class TestRealWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void startAndQuit_data();
    void startAndQuit();

private:
    struct Result
    {
        bool finished = false;
        int exitCode = -1;
        QString output;
    };
    Result xdotool(const QStringList &arguments, int timeoutMs = 5000);

    QProcess m_xvfb;
    QProcess m_app;
    QString m_display;
};

namespace {

const int StartTimeoutMs = 15000;

} // namespace

void TestRealWindow::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is not installed");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xdotool is not installed");
    QVERIFY(QFileInfo(QStringLiteral(SPLITMERE_BINARY)).isExecutable());

    m_xvfb.setStandardOutputFile(QProcess::nullDevice());
    m_xvfb.setStandardErrorFile(QProcess::nullDevice());
    // A display number nobody holds; another server starting at the same
    // moment makes ours exit at once, and the next number is tried.
    for (int number = 90; number < 130 && m_display.isEmpty(); ++number) {
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        if (QFile::exists(socket) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            continue;
        m_xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(number),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                              QStringLiteral("-screen"), QStringLiteral("0"),
                                              QStringLiteral("1280x1024x24")});
        QVERIFY(m_xvfb.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket) || m_xvfb.state() == QProcess::NotRunning,
                                 10000);
        if (m_xvfb.state() == QProcess::Running)
            m_display = QStringLiteral(":%1").arg(number);
    }
    QVERIFY2(!m_display.isEmpty(), "no free X display number");
}

void TestRealWindow::cleanup()
{
    if (m_app.state() != QProcess::NotRunning) {
        m_app.kill();
        m_app.waitForFinished(5000);
    }
}

void TestRealWindow::cleanupTestCase()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000)) {
            m_xvfb.kill();
            m_xvfb.waitForFinished(5000);
        }
    }
}

TestRealWindow::Result TestRealWindow::xdotool(const QStringList &arguments, int timeoutMs)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("xdotool"), arguments);
    Result result;
    result.finished = tool.waitForFinished(timeoutMs) && tool.exitStatus() == QProcess::NormalExit;
    if (!result.finished) {
        tool.kill();
        tool.waitForFinished(1000);
    }
    result.exitCode = tool.exitCode();
    result.output = QString::fromLocal8Bit(tool.readAll()).trimmed();
    return result;
}

void TestRealWindow::startAndQuit_data()
{
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<bool>("typeDestination");

    QTest::newRow("two-sheets-one-non-ascii")
        << QStringList{"Ace.cue", "Motörhead – Überkill.cue"} << false;
    QTest::newRow("no-arguments") << QStringList{} << false;
    QTest::newRow("unusable-arguments")
        << QStringList{"missing:gone.cue", "notes.txt", "-", ""} << false;
    QTest::newRow("typed-destination-saved-on-exit") << QStringList{"Ace.cue"} << true;
}

void TestRealWindow::startAndQuit()
{
    QFETCH(QStringList, sheets);
    QFETCH(bool, typeDestination);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString base = QFileInfo(work.path()).canonicalFilePath();
    QVERIFY(QDir(base).mkpath(QStringLiteral("config")));
    QVERIFY(QDir(base).mkpath(QStringLiteral("destination")));

    QStringList arguments;
    for (const QString &name : std::as_const(sheets)) {
        if (name.isEmpty() || name == u"-") {
            arguments << name;
            continue;
        }
        const bool missing = name.startsWith(u"missing:");
        const QString path = base + u'/' + (missing ? name.mid(8) : name);
        if (!missing) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write("FILE \"disc.wav\" WAVE\n") > 0);
        }
        arguments << path;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), base + QStringLiteral("/config"));
    m_app.setProcessEnvironment(env);
    m_app.setProcessChannelMode(QProcess::MergedChannels);
    m_app.start(QStringLiteral(SPLITMERE_BINARY), arguments);
    QVERIFY(m_app.waitForStarted(5000));

    const Result found = xdotool({"search", "--sync", "--name", "^Splitmere 1.1$"}, StartTimeoutMs);
    QVERIFY2(found.finished && found.exitCode == 0,
             qPrintable(QStringLiteral("no window appeared: ") + found.output
                        + QString::fromLocal8Bit(m_app.readAll())));
    const QStringList ids = found.output.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(ids.size(), 1);
    const QString id = ids.first();

    // With no window manager nothing decorates or moves the window: the
    // size reported is the one the program asked for.
    const Result geometry = xdotool({"getwindowgeometry", id});
    QVERIFY(geometry.finished);
    QVERIFY2(geometry.output.contains(QStringLiteral("Geometry: 742x539")),
             qPrintable(geometry.output));

    // No window manager to honour an activation request either; the input
    // focus is set on the window directly.
    QVERIFY(xdotool({"windowfocus", "--sync", id}).finished);
    const QString destination = base + QStringLiteral("/destination");
    if (typeDestination) {
        // The CUE list holds the focus at start; Tab moves on to the
        // destination field.
        QVERIFY(xdotool({"key", "Tab"}).finished);
        QVERIFY(xdotool({"type", destination}).finished);
    }
    QVERIFY(xdotool({"key", "alt+f"}).finished);
    // The opened menu is the program's one visible window without a WM_NAME.
    const QString pid = QString::number(m_app.processId());
    const Result menu = xdotool({"search", "--sync", "--all", "--onlyvisible", "--pid", pid,
                                 "--name", "^$"});
    QVERIFY2(menu.finished && menu.exitCode == 0, "the File menu did not open");
    QVERIFY(xdotool({"key", "x"}).finished);

    const bool ended = m_app.waitForFinished(10000);
    const QString output = QString::fromLocal8Bit(m_app.readAll());
    QVERIFY2(ended, "the program did not quit through File, Exit");
    QVERIFY2(m_app.exitStatus() == QProcess::NormalExit, qPrintable(output));
    QCOMPARE(m_app.exitCode(), 0);

    // Leaving through the event loop's normal end saved the preferences.
    const QString store = base + QStringLiteral("/config/Orvane/Splitmere.conf");
    QVERIFY2(QFile::exists(store), qPrintable(store));
    QSettings saved(store, QSettings::IniFormat);
    QCOMPARE(saved.value(QStringLiteral("destPath")).toString(),
             typeDestination ? destination : QString());
    QCOMPARE(saved.value(QStringLiteral("trackFormat")).toString(), QStringLiteral("%1 %2 - %3"));
}

QTEST_GUILESS_MAIN(TestRealWindow)

#include "tst_realwindow.moc"
