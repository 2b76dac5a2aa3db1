// The built program on an X server of its own, driven through the keyboard as
// a user would: two sheets named on its command line, Alt+E, File > Exit; then
// the tracks on disk, byte for byte, and the exit code.

#include "testfiles.h"

#include <QProcess>
#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

class TestDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;

    static bool xdotool(const QStringList &args)
    {
        QProcess tool;
        tool.start("xdotool", args);
        return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit
            && tool.exitCode() == 0;
    }

    // Without a window manager nothing gives the window the keyboard; the test does.
    static bool focusMainWindow()
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
        // For the program and xdotool, which this process starts.
        qputenv("DISPLAY", ':' + xvfb.readLine().trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_work.path()));
        const QString out = m_work.filePath("out");
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(m_work.filePath("Orvane")));
        QVERIFY(writeFile(
            m_work.filePath("Orvane/Splitmere.conf"), "[General]\ndestPath=" + out.toUtf8()));

        // Default names and folders; the pregap of track 2 goes nowhere.
        // clang-format off
        const QString sheet = "PERFORMER \"Band\"\nTITLE \"%1\"\nFILE \"%1.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 00 00:01:00\nINDEX 01 00:02:00\n";
        // clang-format on
        const auto wave = [](const QByteArray &data) { return canonical(2, 44100, 16, data); };
        QStringList sheets;
        QMap<QString, QByteArray> expected;
        for (const QString &album : {QString("Ace"), QString("Motörhead – Überkill")}) {
            const QByteArray data = samples(3 * 44100, 2, 16, album.size());
            sheets << m_work.filePath(album + ".cue");
            QVERIFY(writeFile(sheets.last(), sheet.arg(album).toUtf8()));
            QVERIFY(writeFile(m_work.filePath(album + ".wav"), wave(data)));
            expected.insert("Band/" + album + "/01 Band - One.wav", wave(data.left(44100 * 4)));
            expected.insert("Band/" + album + "/02 Band - Two.wav", wave(data.mid(88200 * 4)));
        }
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(SPLITMERE_BINARY, sheets);
        QVERIFY(focusMainWindow() && xdotool({"key", "alt+e"}));
        QVERIFY2(QTest::qWaitFor([&] { return filesBelow(out) == expected; }, 30000),
            qPrintable(filesBelow(out).keys().join(", ")));
        QVERIFY(focusMainWindow() && xdotool({"key", "alt+f"}) && xdotool({"key", "x"}));
        QVERIFY(program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        xvfb.terminate();
        QVERIFY(xvfb.waitForFinished(30000));
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
