#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The built program on an X server of its own, started with two sheets on
// its command line and quit through its File menu, as a user would.
class TestRealWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startAndQuit();

private:
    bool xdotool(const QStringList &arguments, QString *output = nullptr, int timeoutMs = 5000);

    QProcess m_xvfb;
    QProcess m_app;
    QString m_display;
};

void TestRealWindow::initTestCase()
{
    for (const QString &tool : {QStringLiteral("Xvfb"), QStringLiteral("xdotool")}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + QStringLiteral(" is not installed")));
    }
    QVERIFY(QFileInfo(QStringLiteral(SPLITMERE_BINARY)).isExecutable());

    // The server picks a display nobody holds and writes its number once it
    // takes clients.
    m_xvfb.setStandardErrorFile(QProcess::nullDevice());
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
    QVERIFY(m_xvfb.waitForStarted(5000));
    while (!m_xvfb.canReadLine() && m_xvfb.waitForReadyRead(15000)) {
    }
    const QByteArray number = m_xvfb.readLine().trimmed();
    QVERIFY2(!number.isEmpty(), "Xvfb did not report a display");
    m_display = u':' + QString::fromLatin1(number);
}

void TestRealWindow::cleanupTestCase()
{
    for (QProcess *process : {&m_app, &m_xvfb}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
}

bool TestRealWindow::xdotool(const QStringList &arguments, QString *output, int timeoutMs)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("xdotool"), arguments);
    const bool done = tool.waitForFinished(timeoutMs);
    if (!done) {
        tool.kill();
        tool.waitForFinished(1000);
    }
    if (output)
        *output = QString::fromLocal8Bit(tool.readAll()).trimmed();
    return done && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

void TestRealWindow::startAndQuit()
{
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QStringList sheets;
    const QStringList names{QStringLiteral("Ace.cue"), QStringLiteral("Motörhead – Überkill.cue")};
    for (const QString &name : names) {
        QFile file(work.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("FILE \"disc.wav\" WAVE\n") > 0);
        sheets << file.fileName();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.path());
    m_app.setProcessEnvironment(env);
    m_app.setProcessChannelMode(QProcess::MergedChannels);
    m_app.start(QStringLiteral(SPLITMERE_BINARY), sheets);
    QVERIFY(m_app.waitForStarted(5000));

    QString id, geometry;
    QVERIFY2(xdotool({"search", "--sync", "--name", "^Splitmere 1.1$"}, &id, 15000),
             qPrintable(QStringLiteral("no window appeared: ") + id
                        + QString::fromLocal8Bit(m_app.readAll())));
    QVERIFY2(!id.contains(u'\n'), qPrintable(id));
    // With no window manager nothing decorates or moves the window: the
    // size reported is the one the program asked for.
    QVERIFY(xdotool({"getwindowgeometry", id}, &geometry));
    QVERIFY2(geometry.contains(QStringLiteral("Geometry: 742x539")), qPrintable(geometry));

    // No window manager to honour an activation request either; the input
    // focus is set on the window directly.
    QVERIFY(xdotool({"windowfocus", "--sync", id}));
    QVERIFY(xdotool({"key", "alt+f"}));
    // The opened menu is the program's one visible window without a WM_NAME.
    const QString pid = QString::number(m_app.processId());
    QVERIFY2(xdotool({"search", "--sync", "--all", "--onlyvisible", "--pid", pid, "--name", "^$"}),
             "the File menu did not open");
    QVERIFY(xdotool({"key", "x"}));
    QVERIFY2(m_app.waitForFinished(10000), "the program did not quit through File, Exit");
    QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_app.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestRealWindow)

#include "tst_realwindow.moc"
