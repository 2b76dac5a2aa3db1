// "splitmere --split" as a script runs it: a separate process without a
// display, judged by its exit status, the tracks it leaves and what it says.

#include "testfiles.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

using namespace WavBuilder;
using namespace TestFiles;

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QByteArray m_data = samples(44100, 2, 16);

    // Runs the command in the work folder; "{dest}" in args is a fresh folder.
    int split(const QString &args, QString *said = nullptr, const QString &dest = "out")
    {
        QDir(m_work.filePath(dest)).removeRecursively();
        QDir(m_work.path()).mkpath(dest);
        // A track of an earlier run, for --overwrite to replace.
        if (args.contains("--overwrite"))
            writeFile(m_work.filePath(dest + "/Alpha-01.wav"), "old");
        QProcess program;
        program.setWorkingDirectory(m_work.path());
        program.start(SPLITMERE_BINARY,
            QString("--split " + args).replace("{dest}", dest).split(' ', Qt::SkipEmptyParts));
        if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
            return -1;
        if (said)
            *said = program.readAllStandardOutput() + program.readAllStandardError();
        return program.exitCode();
    }

    bool disc(const QString &folder, const QByteArray &title, const QByteArray &image)
    {
        const QString dir = m_work.filePath(folder);
        return QDir().mkpath(dir) && writeFile(dir + "/" + title + ".wav", image)
            && writeFile(dir + "/" + title + ".cue",
                lines("PERFORMER Band;TITLE " + title + ";FILE \"" + title
                    + ".wav\" WAVE;TRACK 01 AUDIO;TITLE One;INDEX 01 00:00:00;TRACK 02 "
                      "AUDIO;TITLE Two;INDEX 01 00:00:25"));
    }

private slots:
    // A shelf of two good discs, and a folder with one whose image is missing.
    void initTestCase()
    {
        const QByteArray image = canonical(2, 44100, 16, m_data);
        QVERIFY(disc("shelf/A", "Alpha", image) && disc("shelf/B/C", "Beta", image));
        QVERIFY(QDir(m_work.path()).mkpath("empty"));
        QVERIFY(disc("bad", "Gamma", image) && QFile::remove(m_work.filePath("bad/Gamma.wav")));
    }

    void statuses_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("albums"); // the albums whose tracks are written
        QTest::addColumn<QString>("said");   // a line it must print
        QTest::newRow("folder-tree-split") << "-d {dest} shelf" << 0 << "Alpha Beta"
                                           << "Added 2 sheets from shelf";
        QTest::newRow("failed-check-writes-nothing") << "--dest {dest} -q bad shelf" << 1 << ""
                                                     << "Extraction failed ----------------";
        QTest::newRow("keep-going-splits-the-good")
            << "-d {dest} --keep-going bad shelf" << 1 << "Alpha Beta"
            << "Extraction failed";
        QTest::newRow("missing-path-ends-the-run") << "-d {dest} shelf nowhere" << 1 << ""
                                                   << "Cannot find nowhere";
        QTest::newRow("options-and-a-sheet")
            << "-d {dest} --no-artist-folder --no-album-folder --pattern %4-%1 --encoding "
               "windows-1252 --gaps leave --format wav --overwrite shelf/A/Alpha.cue"
            << 0 << "Alpha"
            << "Extraction completed";
        QTest::newRow("flac-tracks") << "-d {dest} --format flac shelf/B" << 0 << "Beta"
                                     << "Extraction completed";
        QTest::newRow("folder-without-sheets") << "-d {dest} empty" << 1 << ""
                                               << "No CUE sheets in empty";
        QTest::newRow("a-file-that-is-no-sheet") << "-d {dest} shelf/A/Alpha.wav" << 1 << ""
                                                 << "Not a CUE sheet: shelf/A/Alpha.wav";
        QTest::newRow("unknown-option") << "-d {dest} --frobnicate shelf" << 2 << ""
                                        << "Usage:";
        QTest::newRow("no-dest") << "shelf" << 2 << ""
                                 << "Missing --dest";
        QTest::newRow("dest-does-not-exist") << "-d {dest}/x shelf" << 2 << ""
                                             << "Usage:";
        QTest::newRow("no-path") << "-d {dest}" << 2 << ""
                                 << "No PATH given";
        QTest::newRow("unknown-encoding") << "-d {dest} --encoding nope shelf" << 2 << ""
                                          << "nope";
        QTest::newRow("unknown-gap-mode") << "-d {dest} --gaps middle shelf" << 2 << ""
                                          << "middle";
        QTest::newRow("unknown-format") << "-d {dest} --format ogg shelf" << 2 << ""
                                        << "ogg";
    }

    void statuses()
    {
        QFETCH(QString, args);
        QString output;
        QTEST(split(args, &output), "status");
        QFETCH(QString, said);
        QVERIFY2(output.contains(said), qPrintable(output));
        Files expected;
        const QByteArray one = canonical(2, 44100, 16, m_data.left(14700 * 4));
        const QByteArray two = canonical(2, 44100, 16, m_data.mid(14700 * 4));
        QFETCH(QString, albums);
        const bool flat = args.contains("--pattern");
        for (const QString &album : albums.split(' ', Qt::SkipEmptyParts)) {
            const QString dir = flat ? album + "-" : "Band/" + album + "/";
            expected.insert(dir + (flat ? "01.wav" : "01 Band - One.wav"), one);
            expected.insert(dir + (flat ? "02.wav" : "02 Band - Two.wav"), two);
        }
        Files written = filesBelow(m_work.filePath("out"));
        // FLAC tracks are judged by the samples flac -d gets back from them.
        if (args.contains("--format flac")) {
            Files decoded;
            for (auto it = written.cbegin(); it != written.cend(); ++it) {
                const QString track = m_work.filePath("out/" + it.key());
                QVERIFY2(it.key().endsWith(".flac")
                        && run("flac", {"-s", "-d", "-f", "-o", track + ".wav", track}),
                    qPrintable(it.key()));
                decoded.insert(it.key().chopped(5) + ".wav", readFile(track + ".wav"));
            }
            written = decoded;
        }
        QCOMPARE(written.keys(), expected.keys());
        QVERIFY(written == expected);
    }

    void interrupts_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("ctrl-c") << SIGINT;
        QTest::newRow("logout") << SIGTERM;
    }

    // A second track long enough to be mid-way when the signal comes: a sparse
    // image of a gigabyte of silence. Its part file goes, the log says why.
    void interrupts()
    {
        QVERIFY(disc("long", "Long", canonicalHeader(2, 44100, 16, 1 << 30)));
        QVERIFY(QFile::resize(m_work.filePath("long/Long.wav"), 44 + (1 << 30)));
        QVERIFY(QDir(m_work.path()).mkpath("out"));
        QProcess program;
        program.setWorkingDirectory(m_work.path());
        program.start(SPLITMERE_BINARY, {"--split", "-d", "out", "long"});
        QByteArray said;
        while (!said.contains("Two.wav...")) {
            QVERIFY(program.waitForReadyRead(60000));
            said += program.readAllStandardOutput();
        }
        QFETCH(int, signal);
        ::kill(program.processId(), signal);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 128 + signal);
        QVERIFY(program.readAllStandardError().contains("User termination"));
        // The first track, written before the signal, stays (or is skipped).
        QCOMPARE(filesBelow(m_work.filePath("out")).keys(), {"Band/Long/01 Band - One.wav"});
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
