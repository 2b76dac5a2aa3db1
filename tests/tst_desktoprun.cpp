// The built program in a real X server, driven only through the keyboard as a
// user would: start it on generated sheets, press Alt+E, quit through File > Exit,
// and look at the files on disk and the settings it left.

#include "wavbuilder.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace WavBuilder;

namespace {

const QString MainWindowName = QStringLiteral("^Splitmere 1\\.1$");
const QString InformationName = QStringLiteral("^Information$");
constexpr int Timeout = 30000;

struct TrackSpec
{
    const char *number; // as the sheet writes it
    const char *title;
    qint64 from; // CD frames (1/75 s): the INDEX 01
    qint64 to; // the next INDEX 00, else the next INDEX 01; -1 for the image's end
};

struct DiscSpec
{
    const char *name; // sheet and image base name
    const char *performer;
    const char *title;
    int channels;
    quint32 rate;
    int bits;
    qint64 frames;
    const char *tracksText; // the sheet's lines after FILE
    QList<TrackSpec> tracks;
};

// 16-bit stereo with audio before the first track and a pregap before the second.
const DiscSpec Alpha = {"alpha", "Alpha Band", "First Light", 2, 44100, 16, 3 * 44100,
    "  TRACK 01 AUDIO\n    TITLE \"Dawn\"\n    INDEX 01 00:00:10\n"
    "  TRACK 02 AUDIO\n    TITLE \"Noon\"\n    INDEX 00 00:01:00\n"
    "    INDEX 01 00:01:30\n"
    "  TRACK 03 AUDIO\n    TITLE \"Dusk\"\n    INDEX 01 00:02:00\n",
    {{"01", "Dawn", 10, 75}, {"02", "Noon", 105, 150}, {"03", "Dusk", 150, -1}}};
// 24-bit mono at a rate where CD frames do not fall on whole source frames.
const DiscSpec Beta = {"beta", "Beta", "Second Wind", 1, 32000, 24, 2 * 32000,
    "  TRACK 01 AUDIO\n    TITLE \"Gust\"\n    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n    TITLE \"Calm\"\n    INDEX 00 00:00:61\n"
    "    INDEX 01 00:01:01\n",
    {{"01", "Gust", 0, 61}, {"02", "Calm", 76, -1}}};
// Sorted last, so that its file appearing means the sheets before it are done.
const DiscSpec Zulu = {"zulu", "Zulu", "Last Word", 2, 44100, 16, 44100 / 2,
    "  TRACK 1 AUDIO\n    TITLE \"Marker\"\n    INDEX 01 00:00:00\n", {{"1", "Marker", 0, -1}}};

QByteArray sheetText(const DiscSpec &d)
{
    return QByteArray("PERFORMER \"") + d.performer + "\"\nTITLE \"" + d.title + "\"\nFILE \""
        + d.name + ".wav\" WAVE\n" + d.tracksText;
}

QByteArray sourceData(const DiscSpec &d)
{
    return samples(d.frames, d.channels, d.bits, quint32(d.rate + d.bits));
}

// Track files of a disc below the destination, with "%1 - %3" names in an
// artist folder, and their bytes: the canonical header and the source's
// samples of the track's range, cut to 16 bits.
QMap<QString, QByteArray> expectedTracks(const DiscSpec &d)
{
    const QByteArray data = sourceData(d);
    const int frameBytes = d.channels * d.bits / 8;
    QMap<QString, QByteArray> files;
    for (const TrackSpec &t : d.tracks) {
        const qint64 start = t.from * d.rate / 75;
        const qint64 end = t.to < 0 ? d.frames : t.to * d.rate / 75;
        const QByteArray slice = data.mid(start * frameBytes, (end - start) * frameBytes);
        const QString name = QStringLiteral("%1/%2 - %3.wav")
                                 .arg(QString::fromUtf8(d.performer))
                                 .arg(QString::fromUtf8(t.number))
                                 .arg(QString::fromUtf8(t.title));
        files.insert(name, canonical(d.channels, d.rate, 16, to16(slice, d.bits)));
    }
    return files;
}

// Every file below the folder, relative to it.
QStringList filesBelow(const QString &folder)
{
    QStringList found;
    QDirIterator it(
        folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

} // namespace

class TestDesktopRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void extractsTwoSheetsThroughTheWindow();
    void secondRunSkipsExistingFiles();
    void invalidSheetIsAnsweredAndNothingWritten();
    void demoDiscSplitsIntoTheNamedTracks();

private:
    QString sheet(const DiscSpec &d) const
    {
        return m_sources.filePath(QString::fromUtf8(d.name) + ".cue");
    }
    bool writeConfig(const QString &configHome, const QString &dest);
    bool startProgram(const QString &configHome, const QStringList &sheets);
    std::optional<QString> xtool(const QString &program, const QStringList &args);
    std::optional<QString> xdotool(const QStringList &args) { return xtool("xdotool", args); }
    // The window's id, once it shows and has the keyboard; empty if it never does.
    QString focusWindow(const QString &namePattern);
    bool quitThroughMenu();
    bool matchesOnDisk(const QString &dest, const QMap<QString, QByteArray> &files);

    QTemporaryDir m_work;
    QDir m_sources;
    QProcess m_xvfb;
    QString m_display;
    QProcess m_program;
    QString m_programLog;
};

void TestDesktopRun::initTestCase()
{
    QVERIFY(m_work.isValid());
    QVERIFY(QFileInfo(QStringLiteral(SPLITMERE_BINARY)).isExecutable());

    // -displayfd lets the server pick a free display and tells it on stdout
    // once clients can connect.
    m_xvfb.setStandardErrorFile(QProcess::nullDevice());
    m_xvfb.start(QStringLiteral("Xvfb"),
        {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    QVERIFY2(m_xvfb.waitForStarted(), "Xvfb is missing (package xvfb)");
    while (!m_xvfb.canReadLine())
        QVERIFY2(m_xvfb.waitForReadyRead(Timeout), "Xvfb named no display");
    m_display = QStringLiteral(":") + QString::fromLatin1(m_xvfb.readLine().trimmed());
    QVERIFY2(xdotool({"getmouselocation"}), "xdotool cannot reach the display");

    QVERIFY(QDir(m_work.path()).mkpath(QStringLiteral("sources")));
    m_sources = QDir(m_work.filePath(QStringLiteral("sources")));
    for (const DiscSpec *d : {&Alpha, &Beta, &Zulu}) {
        QVERIFY(writeFile(m_sources.filePath(QString::fromUtf8(d->name) + ".wav"),
            canonical(d->channels, d->rate, d->bits, sourceData(*d))));
        QVERIFY(writeFile(sheet(*d), sheetText(*d)));
    }
    QVERIFY(writeFile(m_sources.filePath(QStringLiteral("broken.cue")),
        "PERFORMER \"Broken\"\nTITLE \"Bad Sheet\"\nFILE \"alpha.wav\" WAVE\n"
        "SONGWRITER \"Nobody\"\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"));
}

void TestDesktopRun::cleanupTestCase()
{
    m_xvfb.terminate();
    if (!m_xvfb.waitForFinished(Timeout))
        m_xvfb.kill();
}

void TestDesktopRun::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(Timeout);
    }
    if (QTest::currentTestFailed())
        qWarning().noquote() << "Program output:\n"
                + QString::fromLocal8Bit(readFile(m_programLog));
}

bool TestDesktopRun::writeConfig(const QString &configHome, const QString &dest)
{
    QSettings config(configHome + QStringLiteral("/Orvane/Splitmere.conf"), QSettings::IniFormat);
    config.setValue(QStringLiteral("destPath"), dest);
    config.setValue(QStringLiteral("subfolderArtists"), true);
    config.setValue(QStringLiteral("subfolderAlbums"), false);
    config.setValue(QStringLiteral("trackFormat"), QStringLiteral("%1 - %3"));
    config.sync();
    return config.status() == QSettings::NoError;
}

bool TestDesktopRun::startProgram(const QString &configHome, const QStringList &sheets)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_program.setProcessEnvironment(env);
    m_program.setWorkingDirectory(m_work.path());
    m_program.setProcessChannelMode(QProcess::MergedChannels);
    m_programLog = configHome + QStringLiteral("/program.log");
    m_program.setStandardOutputFile(m_programLog);
    m_program.start(QStringLiteral(SPLITMERE_BINARY), sheets);
    return m_program.waitForStarted(Timeout) && !focusWindow(MainWindowName).isEmpty();
}

std::optional<QString> TestDesktopRun::xtool(const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(program, args);
    // --sync waits without a limit of its own.
    if (!p.waitForFinished(Timeout)) {
        p.kill();
        p.waitForFinished();
        qWarning() << program << "timed out:" << args;
        return std::nullopt;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// Without a window manager nothing gives a new window the keyboard; the
// test does, as a user's click would.
QString TestDesktopRun::focusWindow(const QString &namePattern)
{
    const auto ids = xdotool({"search", "--sync", "--onlyvisible", "--name", namePattern});
    if (!ids || ids->isEmpty())
        return QString();
    const QString id = ids->split(QLatin1Char('\n')).first();
    return xdotool({"windowfocus", "--sync", id}) ? id : QString();
}

bool TestDesktopRun::quitThroughMenu()
{
    if (focusWindow(MainWindowName).isEmpty() || !xdotool({"key", "alt+f"})
        || !xdotool({"key", "x"}))
        return false;
    return m_program.waitForFinished(Timeout) && m_program.exitStatus() == QProcess::NormalExit
        && m_program.exitCode() == 0;
}

bool TestDesktopRun::matchesOnDisk(const QString &dest, const QMap<QString, QByteArray> &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (readFile(dest + QLatin1Char('/') + it.key()) != it.value())
            return false;
    }
    return true;
}

void TestDesktopRun::extractsTwoSheetsThroughTheWindow()
{
    const QString configHome = m_work.filePath(QStringLiteral("config-first"));
    const QString dest = m_work.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(dest));
    QVERIFY(writeConfig(configHome, dest));
    QMap<QString, QByteArray> expected = expectedTracks(Alpha);
    expected.insert(expectedTracks(Beta));

    QVERIFY2(startProgram(configHome, {sheet(Beta), sheet(Alpha)}), "no main window");
    QVERIFY(xdotool({"key", "alt+e"}));
    QTRY_VERIFY_WITH_TIMEOUT(matchesOnDisk(dest, expected), Timeout);
    // The desktop shows the program's own icon on the window.
    const auto icon = xtool("xprop", {"-id", focusWindow(MainWindowName), "_NET_WM_ICON"});
    QVERIFY2(icon && icon->contains(QLatin1String("Icon (64 x 64)")), "no window icon");
    QVERIFY2(quitThroughMenu(), "File > Exit did not end the program");

    QCOMPARE(filesBelow(dest), QStringList(expected.keys()));
    QVERIFY(matchesOnDisk(dest, expected));
    // Saved at exit: what was stored, and the key that was not, at its default.
    QSettings saved(configHome + QStringLiteral("/Orvane/Splitmere.conf"), QSettings::IniFormat);
    QStringList keys = saved.allKeys();
    keys.sort();
    QCOMPARE(keys,
        QStringList({"destPath", "overwriteExisting", "subfolderAlbums", "subfolderArtists",
            "trackFormat"}));
    QCOMPARE(saved.value("destPath").toString(), dest);
    QCOMPARE(saved.value("subfolderArtists").toBool(), true);
    QCOMPARE(saved.value("subfolderAlbums").toBool(), false);
    QCOMPARE(saved.value("overwriteExisting").toBool(), false);
    QCOMPARE(saved.value("trackFormat").toString(), QStringLiteral("%1 - %3"));
}

void TestDesktopRun::secondRunSkipsExistingFiles()
{
    const QString configHome = m_work.filePath(QStringLiteral("config-first"));
    const QString dest = m_work.filePath(QStringLiteral("out"));
    QMap<QString, QByteArray> existing = expectedTracks(Alpha);
    existing.insert(expectedTracks(Beta));
    QVERIFY2(matchesOnDisk(dest, existing), "needs the files of the first run");

    // An old time stamp that any rewrite would replace.
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    for (const QString &name : existing.keys()) {
        QFile f(dest + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
    }

    QVERIFY2(startProgram(configHome, {sheet(Zulu), sheet(Alpha), sheet(Beta)}), "no main window");
    QVERIFY(xdotool({"key", "alt+e"}));
    const QMap<QString, QByteArray> marker = expectedTracks(Zulu);
    QTRY_VERIFY_WITH_TIMEOUT(matchesOnDisk(dest, marker), Timeout);
    QVERIFY2(quitThroughMenu(), "File > Exit did not end the program");

    QVERIFY(matchesOnDisk(dest, existing));
    for (const QString &name : existing.keys())
        QCOMPARE(QFileInfo(dest + QLatin1Char('/') + name).lastModified().toUTC(), old);
    existing.insert(marker);
    QCOMPARE(filesBelow(dest), QStringList(existing.keys()));
}

void TestDesktopRun::invalidSheetIsAnsweredAndNothingWritten()
{
    const QString configHome = m_work.filePath(QStringLiteral("config-broken"));
    const QString dest = m_work.filePath(QStringLiteral("out-broken"));
    QVERIFY(QDir().mkpath(dest));
    QVERIFY(writeConfig(configHome, dest));

    QVERIFY2(startProgram(configHome, {sheet(Alpha), m_sources.filePath("broken.cue")}),
        "no main window");
    QVERIFY(xdotool({"key", "alt+e"}));
    QVERIFY2(!focusWindow(InformationName).isEmpty(), "no Information box");
    QVERIFY(xdotool({"key", "Return"}));
    QTRY_VERIFY_WITH_TIMEOUT(
        !xdotool({"search", "--onlyvisible", "--name", InformationName}).has_value(), Timeout);
    QVERIFY2(quitThroughMenu(), "File > Exit did not end the program");

    QCOMPARE(filesBelow(dest), QStringList());
}

// What ./run opens when given no sheets, split with the default settings.
void TestDesktopRun::demoDiscSplitsIntoTheNamedTracks()
{
    const QString demo = m_work.filePath(QStringLiteral("demo"));
    QProcess make;
    make.start(QStringLiteral(SPLITMERE_MAKEDEMO), {demo});
    QVERIFY(make.waitForFinished(Timeout));
    QCOMPARE(make.exitCode(), 0);
    const QString demoSheet = demo + QStringLiteral("/tone-sampler.cue");
    QCOMPARE(QString::fromLocal8Bit(make.readAllStandardOutput()).trimmed(), demoSheet);

    // Three tracks of three seconds, 16-bit stereo at 44,100 Hz, one after the other.
    const QByteArray image = readFile(demo + QStringLiteral("/tone-sampler.wav"));
    QVERIFY(image.startsWith(canonical(2, 44100, 16, QByteArray(3 * 3 * 44100 * 4, 0)).left(44)));
    const QByteArray data = image.mid(44);
    QCOMPARE(data.size(), 3 * 3 * 44100 * 4);
    const QString folder = QStringLiteral("The Sine Waves/Three Tones/");
    QMap<QString, QByteArray> expected;
    const char *titles[] = {"Low Tone", "Middle Tone", "High Tone"};
    for (int i = 0; i < 3; ++i) {
        const QString name
            = folder + QStringLiteral("0%1 The Sine Waves - %2.wav").arg(i + 1).arg(titles[i]);
        expected.insert(name, canonical(2, 44100, 16, data.mid(i * 3 * 44100 * 4, 3 * 44100 * 4)));
    }

    const QString configHome = m_work.filePath(QStringLiteral("config-demo"));
    const QString dest = m_work.filePath(QStringLiteral("out-demo"));
    QVERIFY(QDir().mkpath(dest));
    QSettings config(configHome + QStringLiteral("/Orvane/Splitmere.conf"), QSettings::IniFormat);
    config.setValue(QStringLiteral("destPath"), dest);
    config.sync();

    QVERIFY2(startProgram(configHome, {demoSheet}), "no main window");
    QVERIFY(xdotool({"key", "alt+e"}));
    QTRY_VERIFY_WITH_TIMEOUT(matchesOnDisk(dest, expected), Timeout);
    QVERIFY2(quitThroughMenu(), "File > Exit did not end the program");
    QCOMPARE(filesBelow(dest), QStringList(expected.keys()));
}

QTEST_GUILESS_MAIN(TestDesktopRun)
#include "tst_desktoprun.moc"
