// "splitmere --split" as a script runs it: a separate process without a
// display, judged by its exit status, the tracks it leaves and what it says.

#include "testfiles.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

using namespace TestFiles;

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QByteArray m_data = samples(44100, 2, 16);

    // Starts the command in the work folder, writing to its folder "out",
    // made afresh; for --overwrite to replace, it holds a track of an earlier run.
    void start(QProcess &program, const QString &args)
    {
        QDir(m_work.filePath("out")).removeRecursively();
        QDir(m_work.path()).mkpath("out");
        if (args.contains("--overwrite"))
            writeFile(m_work.filePath("out/Alpha-01.wav"), "old");
        program.setWorkingDirectory(m_work.path());
        const bool tty = args.startsWith("tty "); // on a terminal, the one script(1) gives it
        program.start(tty ? "script" : SPLITMERE_BINARY,
            tty ? QStringList {"-qec", SPLITMERE_BINARY " --split " + args.mid(4), "/dev/null"}
                : ("--split " + args).split(' ', Qt::SkipEmptyParts));
    }

    bool disc(const QString &folder, const QByteArray &title, const QByteArray &image,
        const QByteArray &performer = "Band")
    {
        const QString dir = m_work.filePath(folder);
        return QDir().mkpath(dir) && writeFile(dir + "/" + title + ".wav", image)
            && writeFile(dir + "/" + title + ".cue",
                lines("PERFORMER " + performer + ";TITLE " + title + ";FILE \"" + title
                    + ".wav\" WAVE;TRACK 01 AUDIO;TITLE One;INDEX 01 00:00:00;TRACK 02 "
                      "AUDIO;TITLE Two;INDEX 01 00:00:25"));
    }

private slots:
    // A shelf of two good discs, a folder with one whose image is missing, a
    // disc whose performer "Кино" is written in windows-1251, and a damaged one.
    void initTestCase()
    {
        const QByteArray image = canonical(2, 44100, 16, m_data);
        QVERIFY(disc("shelf/A", "Alpha", image) && disc("shelf/B/C", "Beta", image));
        QVERIFY(disc("bad", "Gamma", image) && QFile::remove(m_work.filePath("bad/Gamma.wav")));
        QVERIFY(disc("kino", "Kino", image, QStringEncoder("windows-1251").encode("Кино")));
        // A disc whose only image is a TTA damaged in its middle.
        const QString tta = m_work.filePath("damaged/Delta.tta");
        QVERIFY(disc("damaged", "Delta", image) && encode(m_work.filePath("damaged/Delta.wav"), tta)
            && QFile::remove(m_work.filePath("damaged/Delta.wav")));
        QByteArray bytes = readFile(tta);
        QVERIFY(writeFile(tta, bytes.replace(bytes.size() / 2, 64, QByteArray(64, 'U'))));
    }

    void statuses_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("albums"); // performer/album of the tracks written
        QTest::addColumn<QString>("said");   // a line it must print; empty: it prints nothing
        row("failed-check-writes-nothing", "--dest out -q bad shelf", 1, "",
            "Extraction failed ----------------");
        row("keep-going-splits-the-good", "-d out --keep-going bad shelf", 1,
            "Band/Alpha Band/Beta", "Extraction failed");
        row("missing-path-ends-the-run", "-d out shelf nowhere", 1, "", "Cannot find nowhere");
        row("options-and-a-sheet",
            "-d out --no-artist-folder --no-album-folder --pattern %4-%1 --encoding windows-1252 "
            "--gaps leave --format wav --overwrite shelf/A/Alpha.cue",
            0, "Band/Alpha", "Extraction completed");
        row("flac-tracks", "-d out --format flac shelf/B", 0, "Band/Beta", "Extraction completed");
        // The performer read as windows-1253 is "Κθνξ"; a quiet success prints nothing.
        row("quiet-run-in-the-encoding-given", "-d out --quiet --encoding windows-1253 kino", 0,
            "Κθνξ/Kino", "");
        // What the decoder says of the damage stays out of the output.
        row("damaged-image", "-d out -q damaged", 1, "", "Cannot decode");
        row("tty-progress", "tty -d out shelf/A", 0, "Band/Alpha", "100% 1 of 1 sheets\r\033[KE");
        row("tty-quiet", "tty -d out -q shelf/A", 0, "Band/Alpha", "");
        row("a-file-that-is-no-sheet", "-d out shelf/A/Alpha.wav", 1, "",
            "Not a CUE sheet: shelf/A/Alpha.wav");
        row("unknown-option", "-d out --frobnicate shelf", 2, "", "Usage:");
        row("no-dest", "shelf", 2, "", "Missing --dest");
        row("dest-does-not-exist", "-d out/x shelf", 2, "", "Usage:");
        row("no-path", "-d out", 2, "", "No PATH given");
        row("unknown-encoding", "-d out --encoding nope shelf", 2, "", "nope");
        row("unknown-gap-mode", "-d out --gaps middle shelf", 2, "", "middle");
        row("unknown-format", "-d out --format ogg shelf", 2, "", "ogg");
    }

    void statuses()
    {
        QFETCH(QString, args);
        QProcess program;
        start(program, args);
        QVERIFY(program.waitForFinished(60000) && program.exitStatus() == QProcess::NormalExit);
        QTEST(program.exitCode(), "status");
        const QString output = program.readAllStandardOutput() + program.readAllStandardError();
        QFETCH(QString, said);
        QVERIFY2((said.isEmpty() ? output.isEmpty() : output.contains(said))
                && !output.contains(" @ 0x"),
            qPrintable(output));
        Files expected;
        const QByteArray one = canonical(2, 44100, 16, m_data.left(14700 * 4));
        const QByteArray two = canonical(2, 44100, 16, m_data.mid(14700 * 4));
        QFETCH(QString, albums);
        const bool flat = args.contains("--pattern"), flac = args.contains("--format flac");
        const QString suffix = flac ? ".flac" : ".wav";
        for (const QString &album : albums.split(' ', Qt::SkipEmptyParts)) {
            const QString dir = flat ? album.section('/', 1) + "-" : album + "/";
            const QString by = flat ? "" : " " + album.section('/', 0, 0) + " - ";
            expected.insert(dir + "01" + (flat ? "" : by + "One") + suffix, one);
            expected.insert(dir + "02" + (flat ? "" : by + "Two") + suffix, two);
        }
        Files written = filesBelow(m_work.filePath("out"));
        // FLAC tracks are judged by the samples flac -d gets back from them.
        for (auto it = written.begin(); flac && it != written.end(); ++it)
            *it = canonical(2, 44100, 16, flacSamples(m_work.filePath("out/" + it.key())));
        QVERIFY2(written == expected, qPrintable(written.keys().join(' ')));
    }

    // A WAV run does not load the libraries of the other formats: with every
    // codec library they pull in, they cost each start some 30 ms.
    void wavRunLoadsNoOtherDecoders()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_DEBUG", "files");
        program.setProcessEnvironment(environment);
        start(program, "-d out shelf/A");
        QVERIFY(program.waitForFinished(60000) && program.exitCode() == 0);
        const QByteArray loaded = program.readAllStandardError();
        QVERIFY(loaded.contains("libFLAC") && !loaded.contains("libavformat"));
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
        QProcess program;
        start(program, "-d out long");
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
