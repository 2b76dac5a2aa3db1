// The built program in a real X server, driven only through the keyboard as a
// user would: start it on generated sheets, press Alt+E, quit through File > Exit,
// and look at the files on disk and the settings it left.

#include "wavbuilder.h"

#include <QDateTime>
#include <QDirIterator>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace WavBuilder;

namespace {

const QString MainWindow = QStringLiteral("^Splitmere 1\\.1$");
const QString Store = QStringLiteral("/Orvane/Splitmere.conf");
constexpr int Timeout = 30000;
// Track files named "%1 - %3" in a folder per artist; existing ones are kept, the default.
const QByteArray ArtistFolders = "subfolderAlbums=false\ntrackFormat=%1 - %3\n";

struct Track
{
    const char *name; // the file's below the destination
    qint64 from, to; // CD frames (1/75 s): INDEX 01 to the next INDEX 00 or 01; -1: the end
};

struct Disc
{
    const char *name; // of the sheet and the image
    int channels, rate, bits, frames;
    const char *sheet;
    QList<Track> tracks;
    QByteArray data() const { return samples(frames, channels, bits, quint32(rate + bits)); }
};

// clang-format off
// 16-bit stereo with audio before the first track and a pregap before the second.
const Disc Alpha = {"alpha", 2, 44100, 16, 3 * 44100,
    "PERFORMER \"Alpha Band\"\nTITLE \"First Light\"\nFILE \"alpha.wav\" WAVE\n"
    "  TRACK 01 AUDIO\n    TITLE \"Dawn\"\n    INDEX 01 00:00:10\n"
    "  TRACK 02 AUDIO\n    TITLE \"Noon\"\n    INDEX 00 00:01:00\n    INDEX 01 00:01:30\n"
    "  TRACK 03 AUDIO\n    TITLE \"Dusk\"\n    INDEX 01 00:02:00\n",
    {{"Alpha Band/01 - Dawn.wav", 10, 75}, {"Alpha Band/02 - Noon.wav", 105, 150}, {"Alpha Band/03 - Dusk.wav", 150, -1}}};
// 24-bit mono at a rate where CD frames do not fall on whole source frames.
const Disc Beta = {"beta", 1, 32000, 24, 2 * 32000,
    "PERFORMER \"Beta\"\nTITLE \"Second Wind\"\nFILE \"beta.wav\" WAVE\n"
    "  TRACK 01 AUDIO\n    TITLE \"Gust\"\n    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n    TITLE \"Calm\"\n    INDEX 00 00:00:61\n    INDEX 01 00:01:01\n",
    {{"Beta/01 - Gust.wav", 0, 61}, {"Beta/02 - Calm.wav", 76, -1}}};
// clang-format on

// The canonical header and the source's samples of each track's range, cut to 16 bits.
QMap<QString, QByteArray> expectedTracks(const QList<const Disc *> &discs)
{
    QMap<QString, QByteArray> files;
    for (const Disc *d : discs) {
        const int frameBytes = d->channels * d->bits / 8;
        for (const Track &t : d->tracks) {
            const qint64 start = t.from * d->rate / 75;
            const qint64 end = t.to < 0 ? d->frames : t.to * d->rate / 75;
            const QByteArray slice = d->data().mid(start * frameBytes, (end - start) * frameBytes);
            files.insert(t.name, canonical(d->channels, d->rate, 16, to16(slice, d->bits)));
        }
    }
    return files;
}

// Every file below the folder, relative to it, with its bytes.
QMap<QString, QByteArray> filesBelow(const QString &folder)
{
    QMap<QString, QByteArray> found;
    QDirIterator it(
        folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        found.insert(QDir(folder).relativeFilePath(file), readFile(file));
    }
    return found;
}

} // namespace

class TestDesktopRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // -displayfd lets the server pick a free display and tells it once clients can connect.
        m_xvfb.setStandardErrorFile(QProcess::nullDevice());
        m_xvfb.start(QStringLiteral("Xvfb"),
            {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QVERIFY2(m_xvfb.waitForStarted(), "Xvfb is missing (package xvfb)");
        while (!m_xvfb.canReadLine())
            QVERIFY2(m_xvfb.waitForReadyRead(Timeout), "Xvfb named no display");
        m_env.insert(QStringLiteral("DISPLAY"), ':' + m_xvfb.readLine().trimmed());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        QVERIFY2(xdotool({"getmouselocation"}), "xdotool cannot reach the display");

        for (const Disc *d : {&Alpha, &Beta}) {
            QVERIFY(writeFile(path(d->name + QStringLiteral(".wav")),
                canonical(d->channels, d->rate, d->bits, d->data())));
            QVERIFY(writeFile(path(d->name + QStringLiteral(".cue")), d->sheet));
        }
        QVERIFY(writeFile(path("broken.cue"),
            "PERFORMER \"Broken\"\nTITLE \"Bad Sheet\"\nFILE \"alpha.wav\" WAVE\n"
            "COMPOSER \"Nobody\"\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"));
        // The demo disc that ./run opens when it is given no sheets.
        QProcess make;
        make.start(QStringLiteral(SPLITMERE_MAKEDEMO), {path("demo")});
        QVERIFY(make.waitForFinished(Timeout) && make.exitCode() == 0);
        QCOMPARE(
            make.readAllStandardOutput().trimmed(), path("demo/tone-sampler.cue").toLocal8Bit());
    }

    void cleanupTestCase()
    {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(Timeout))
            m_xvfb.kill();
    }

    void cleanup()
    {
        m_program.kill();
        m_program.waitForFinished(Timeout);
        if (QTest::currentTestFailed())
            qWarning("Program output:\n%s", m_program.readAll().constData());
    }

    void extractsTwoSheetsThroughTheWindow()
    {
        const QMap<QString, QByteArray> expected = expectedTracks({&Alpha, &Beta});
        QCOMPARE(run("first", {path("beta.cue"), path("alpha.cue")}, ArtistFolders,
                     [&] { return filesBelow(path("out-first")) == expected; }),
            QString());
        // Saved at exit: what was stored, and the keys that were not, at their defaults.
        QSettings saved(path("config-first") + Store, QSettings::IniFormat);
        QStringList values;
        for (const QString &key : saved.allKeys())
            values << key + '=' + saved.value(key).toString();
        values.sort();
        QCOMPARE(values,
            QStringList({"destPath=" + path("out-first"), "overwriteExisting=false",
                "subfolderAlbums=false", "subfolderArtists=true", "trackFormat=%1 - %3"}));
    }

    void secondRunSkipsExistingFilesAndSplitsDemoDisc()
    {
        const QString dest = path("out-first");
        QMap<QString, QByteArray> expected = expectedTracks({&Alpha, &Beta});
        QVERIFY2(filesBelow(dest) == expected, "needs the files of the first run");
        // An old time stamp that any rewrite would replace.
        const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
        for (const QString &name : expected.keys()) {
            QFile f(dest + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::ReadWrite)
                && f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        // The demo disc: three tracks of three seconds, 16-bit stereo at 44,100 Hz. It sorts
        // last, so its files appearing means the sheets before it are done.
        const QByteArray demo = readFile(path("demo/tone-sampler.wav"));
        const int trackBytes = 3 * 44100 * 4;
        QCOMPARE(demo.size(), 44 + 3 * trackBytes);
        int track = 0;
        for (const char *title : {"01 - Low Tone", "02 - Middle Tone", "03 - High Tone"})
            expected.insert(QStringLiteral("The Sine Waves/%1.wav").arg(title),
                canonical(2, 44100, 16, demo.mid(44 + trackBytes * track++, trackBytes)));
        QCOMPARE(run("first", {path("demo/tone-sampler.cue"), path("alpha.cue"), path("beta.cue")},
                     ArtistFolders, [&] { return filesBelow(dest) == expected; }),
            QString());
        for (const QString &name : expectedTracks({&Alpha, &Beta}).keys())
            QCOMPARE(QFileInfo(dest + QLatin1Char('/') + name).lastModified().toUTC(), old);
    }

    void invalidSheetIsAnsweredAndNothingWritten()
    {
        // File > Exit reaches the window only once the box is gone.
        QCOMPARE(run("broken", {path("alpha.cue"), path("broken.cue")}, "",
                     [&] {
                         return focusWindow("^Information$") && xdotool({"key", "Return"});
                     }),
            QString());
        QCOMPARE(filesBelow(path("out-broken")).keys(), QStringList());
    }

private:
    QString path(const QString &name) const { return m_work.filePath(name); }

    bool xdotool(const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("xdotool"), args);
        // --sync waits without a limit of its own; a QProcess ends its process when it goes away.
        return p.waitForFinished(Timeout) && p.exitStatus() == QProcess::NormalExit
            && p.exitCode() == 0;
    }

    // Without a window manager nothing gives a new window the keyboard; the
    // test does, as a user's click would.
    bool focusWindow(const QString &name)
    {
        return xdotool(
            {"search", "--sync", "--onlyvisible", "--name", name, "windowfocus", "--sync"});
    }

    // Starts the program on the sheets with a store of the run's own (the
    // destination out-<name> and the settings), presses Alt+E, waits until
    // `finished` and quits through File > Exit. Tells the step that failed.
    QString run(const QString &name, const QStringList &sheets, const QByteArray &settings,
        const std::function<bool()> &finished)
    {
        const QString configHome = path("config-" + name);
        if (!QDir().mkpath(path("out-" + name)) || !QDir().mkpath(configHome + "/Orvane")
            || !writeFile(configHome + Store,
                "[General]\ndestPath=" + path("out-" + name).toUtf8() + '\n' + settings))
            return "cannot write the settings";
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        m_program.setProcessEnvironment(env);
        m_program.setWorkingDirectory(m_work.path());
        m_program.setProcessChannelMode(QProcess::MergedChannels);
        m_program.start(QStringLiteral(SPLITMERE_BINARY), sheets);
        if (!m_program.waitForStarted(Timeout) || !focusWindow(MainWindow))
            return "no main window";
        if (!xdotool({"key", "alt+e"}) || !QTest::qWaitFor(finished, Timeout))
            return "the extraction did not finish as expected";
        if (!focusWindow(MainWindow) || !xdotool({"key", "alt+f"}) || !xdotool({"key", "x"})
            || !m_program.waitForFinished(Timeout) || m_program.exitStatus() != QProcess::NormalExit
            || m_program.exitCode() != 0)
            return "File > Exit did not end the program";
        return QString();
    }

    QTemporaryDir m_work;
    QProcess m_xvfb;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
    QProcess m_program;
};

QTEST_GUILESS_MAIN(TestDesktopRun)
#include "tst_desktoprun.moc"
