// The built program on an X server of its own, driven through the keyboard as
// a user would, over three starts: a split, a run refused for a bad sheet, and
// a run that skips what is already there, each ended by File > Exit; the
// destination and the pattern typed in the first start and the FLAC output
// chosen in the second hold in the later ones.

#include "testfiles.h"

#include <QProcess>
#include <QtTest>

using namespace TestFiles;

class TestDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QProcess m_xvfb;

    // Without a window manager nothing gives a window the keyboard; the test
    // does. A step: the window's title, then what xdotool does in it.
    static bool step(const QStringList &step)
    {
        return run("xdotool",
                   {"search", "--sync", "--onlyvisible", "--name", step[0], "windowfocus",
                       "--sync"})
            && run("xdotool", step.mid(1));
    }

    // Starts the program on the sheets, takes the steps, waits until the
    // folder holds what it should, then leaves through File > Exit.
    bool start(const QStringList &sheets, const QList<QStringList> &steps, const Files &expected)
    {
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(SPLITMERE_BINARY, sheets);
        const QString out = m_work.filePath("out");
        // A FLAC track counts by its first bytes; its contents are the engine test's.
        const auto found = [&out] {
            Files files = filesBelow(out);
            for (auto it = files.begin(); it != files.end(); ++it)
                *it = it.key().endsWith(".flac") ? it->left(4) : *it;
            return files;
        };
        bool ok = std::all_of(steps.begin(), steps.end(), step)
            && QTest::qWaitFor([&] { return found() == expected; }, 30000);
        if (!ok)
            qWarning() << "found" << filesBelow(out).keys();
        return ok && step({"^Splitmere", "key", "alt+f", "x"}) && program.waitForFinished(30000)
            && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    }

private slots:
    void initTestCase()
    {
        // -displayfd lets the server pick a free display and name it once it takes clients.
        m_xvfb.start(
            "Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        while (!m_xvfb.canReadLine())
            QVERIFY2(m_xvfb.waitForReadyRead(30000), "Xvfb (package xvfb) named no display");
        // For the program and xdotool, which this process starts.
        qputenv("DISPLAY", ':' + m_xvfb.readLine().trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_work.path()));
    }

    void cleanupTestCase()
    {
        m_xvfb.terminate();
        m_xvfb.waitForFinished(30000);
    }

    void threeStarts()
    {
        const QString out = m_work.filePath("out");
        QVERIFY(QDir().mkpath(out));
        // Default folders; the pregap of track 2 goes nowhere.
        const QString sheet = "PERFORMER Band;TITLE \"%1\";FILE \"%1.wav\" WAVE;TRACK 01 AUDIO;"
                              "TITLE One;INDEX 01 00:00:00;TRACK 02 AUDIO;TITLE Two;"
                              "INDEX 00 00:01:00;INDEX 01 00:02:00";
        const auto wave = [](const QByteArray &data) { return canonical(2, 44100, 16, data); };
        QStringList sheets;
        Files expected;
        for (const QString &album : {QString("Ace"), QString("Motörhead – Überkill")}) {
            const QByteArray data = samples(3 * 44100, 2, 16, album.size());
            sheets << m_work.filePath(album + ".cue");
            QVERIFY(writeFile(sheets.last(), lines(sheet.arg(album).toUtf8())));
            QVERIFY(writeFile(m_work.filePath(album + ".wav"), wave(data)));
            expected.insert("Band/" + album + "/01.wav", wave(data.left(44100 * 4)));
            expected.insert("Band/" + album + "/02.wav", wave(data.mid(88200 * 4)));
        }
        // The destination and the pattern typed into their fields, then Extract.
        // "%1" stays "%1", not the first preset that starts with it.
        const QString main = "^Splitmere";
        QVERIFY(start(sheets,
            {{main, "key", "alt+d", "type", out}, {main, "key", "alt+t", "ctrl+a", "type", "%1"},
                {main, "key", "alt+e"}},
            expected));

        // FLAC chosen, then a bad sheet among them: the box says so and
        // nothing is written.
        const QString bad = m_work.filePath("Bad.cue");
        QVERIFY(writeFile(bad, "COMPOSER x\n"));
        QVERIFY(start(sheets + QStringList {bad},
            {{main, "key", "alt+u"}, {main, "key", "Down"}, {main, "key", "alt+e"},
                {"^Information$", "key", "Return"}},
            expected));

        // The destination, the pattern and FLAC are kept; a FLAC track already
        // there is skipped, and the WAV tracks do not count as FLAC ones.
        const QString kept = "Band/Ace/01.flac";
        QVERIFY(writeFile(out + '/' + kept, "old"));
        expected[kept] = "old";
        expected["Band/Ace/02.flac"] = "fLaC";
        QVERIFY(start(sheets.mid(0, 1), {{main, "key", "alt+e"}}, expected));
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
