// The built program on an X server of its own, driven through the keyboard as
// a user would: two sheets named on its command line, Alt+E, File > Exit; then
// the tracks on disk, byte for byte, and the exit code.

#include "wavbuilder.h"

#include <QProcess>
#include <QtTest>

using namespace WavBuilder;

class TestDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

    bool xdotool(const QStringList &args)
    {
        QProcess tool;
        tool.setProcessEnvironment(m_env);
        tool.start("xdotool", args);
        return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit
            && tool.exitCode() == 0;
    }

    // Without a window manager nothing gives the window the keyboard; the test does.
    bool focusMainWindow()
    {
        return xdotool(
            {"search", "--sync", "--onlyvisible", "--name", "^Splitmere", "windowfocus", "--sync"});
    }

private slots:
    void splitThroughTheKeyboard()
    {
        // -displayfd lets the server pick a free display and name it once it takes clients.
        QProcess xvfb, program;
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        while (!xvfb.canReadLine())
            QVERIFY2(xvfb.waitForReadyRead(30000), "Xvfb (package xvfb) named no display");
        m_env.insert("DISPLAY", ':' + xvfb.readLine().trimmed());
        m_env.insert("QT_QPA_PLATFORM", "xcb");
        m_env.insert("XDG_CONFIG_HOME", m_work.path());
        const QString out = m_work.filePath("out");
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(m_work.filePath("Orvane")));
        QVERIFY(writeFile(
            m_work.filePath("Orvane/Splitmere.conf"), "[General]\ndestPath=" + out.toUtf8()));

        // Default names and folders; the pregap of track 2 goes nowhere.
        QStringList sheets;
        QMap<QString, QByteArray> expected;
        for (const QString &album : {QString("Ace"), QString("Motörhead – Überkill")}) {
            const QByteArray data = samples(3 * 44100, 2, 16, album.size()), name = album.toUtf8();
            sheets << m_work.filePath(album + ".cue");
            QVERIFY(writeFile(m_work.filePath(album + ".wav"), canonical(2, 44100, 16, data)));
            QVERIFY(writeFile(sheets.last(),
                "PERFORMER \"Band\"\nTITLE \"" + name + "\"\nFILE \"" + name
                    + ".wav\" WAVE\n"
                      "TRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                      "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 00 00:01:00\nINDEX 01 00:02:00\n"));
            expected.insert("Band/" + album + "/01 Band - One.wav",
                canonical(2, 44100, 16, data.left(44100 * 4)));
            expected.insert("Band/" + album + "/02 Band - Two.wav",
                canonical(2, 44100, 16, data.mid(88200 * 4)));
        }
        program.setProcessEnvironment(m_env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(SPLITMERE_BINARY, sheets);
        QVERIFY(focusMainWindow() && xdotool({"key", "alt+e"}));
        QVERIFY2(QTest::qWaitFor([&] { return filesBelow(out) == expected; }, 30000),
            qPrintable(filesBelow(out).keys().join(", ")));
        QVERIFY(focusMainWindow() && xdotool({"key", "alt+f"}) && xdotool({"key", "x"}));
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        xvfb.terminate();
        QVERIFY(xvfb.waitForFinished(30000));
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
