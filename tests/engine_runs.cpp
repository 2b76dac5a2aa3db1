#include "enginetests.h"
#include "extractionrun.h"
#include "recordinghost.h"
#include "runprogress.h"
#include "sheetlist.h"
#include "testfiles.h"

#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;
using L = QList<qint64>;

// A host that notes the run's figures at every yield point and every update
// of the display, each change once: what a display would show, throttle or not.
class ProgressHost : public RecordingHost
{
public:
    bool yieldAndCheckStop() override
    {
        if (const RunProgress *figures = runProgress())
            progress(*figures);
        return RecordingHost::yieldAndCheckStop();
    }
    void progress(const RunProgress &figures) override
    {
        const QString now = QStringLiteral("%1 %2").arg(figures.text()).arg(figures.permille());
        if (seen.value(seen.size() - 1) != now)
            seen << now;
    }
    QStringList seen;
};

// Folders walked for sheets, and whole runs of several sheets with their
// progress from the first yield point to the last.
class TestRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // A shelf of rips: sheets at any depth and in any letter case, a hidden
    // folder, a link to a folder and a loop of links back to the top.
    void initTestCase()
    {
        const QDir top(m_dir.path());
        for (const char *dir : {"shelf/A/Album", "shelf/.trash", "shelf/B", "empty/x"})
            QVERIFY(top.mkpath(dir));
        for (const char *file : {"shelf/top.cue", "shelf/A/Album/disc.CUE", "shelf/B/two.Cue",
                 "shelf/.trash/old.cue", "shelf/B/notes.txt", "shelf/B/disc.flac"})
            QVERIFY(writeFile(top.filePath(file), "FILE \"x.wav\" WAVE\n"));
        QVERIFY(QFile::link(top.filePath("shelf/A"), top.filePath("shelf/B/linked")));
        QVERIFY(QFile::link(top.filePath("shelf"), top.filePath("shelf/A/Album/loop")));
        QVERIFY(QFile::link(top.filePath("shelf/top.cue"), top.filePath("shelf/B/top-link.cue")));
        // Rips of one FLAC image each, no .cue beside them: one carries its sheet.
        QVERIFY(top.mkpath("rips/Plain") && top.mkpath("rips/Sheet"));
        const QString wav = top.filePath("rips/source.wav");
        QVERIFY(writeFile(wav, canonical(2, 44100, 16, samples(588, 2, 16))));
        for (const char *image : {"rips/Plain/plain.flac", "rips/Sheet/image.flac"})
            QVERIFY(encode(wav, top.filePath(image)));
        QVERIFY(run("metaflac",
            {"--set-tag=cuesheet=FILE \"x.wav\" WAVE", top.filePath("rips/Sheet/image.flac")}));
    }

    void walk_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("sheets");
        row("nested-no-hidden-no-linked-folders", "shelf",
            "shelf/A/Album/disc.CUE shelf/B/top-link.cue shelf/B/two.Cue shelf/top.cue");
        row("hidden-folder-named-itself", "shelf/.trash", "shelf/.trash/old.cue");
        row("linked-folder-named-itself", "shelf/B/linked", "shelf/B/linked/Album/disc.CUE");
        row("image-carrying-its-sheet", "rips", "rips/Sheet/image.flac");
        row("no-sheets", "empty", "");
    }

    // A folder named twice adds its sheets once.
    void walk()
    {
        QFETCH(QString, folder);
        QFETCH(QString, sheets);
        RecordingHost host;
        SheetCollector collector(host);
        const QString path = m_dir.filePath(folder);
        QStringList found = collector.add(path);
        QVERIFY(collector.add(path).isEmpty());
        found.sort();
        QCOMPARE(found.join(' ').remove(m_dir.path() + '/'), sheets);
        const QString added = QString("I Added %1 sheets from ") + path;
        const QStringList twice {added.arg(found.size()), added.arg(0)};
        QCOMPARE(
            host.lines, sheets.isEmpty() ? QStringList(2, "I No CUE sheets in " + path) : twice);
    }

    void timeLeft_data()
    {
        QTest::addColumn<L>("figures"); // ms so far, frames done, frames in all
        QTest::addColumn<QString>("left");
        QTest::newRow("none-in-the-first-two-seconds") << L {1999, 1, 4} << "";
        QTest::newRow("seconds") << L {2000, 1, 4} << "0:06";
        QTest::newRow("minutes") << L {20000, 1, 4} << "1:00";
        QTest::newRow("hours") << L {3601000, 1, 2} << "1:00:01";
    }

    void timeLeft()
    {
        QFETCH(L, figures);
        QTEST(RunProgress::timeLeft(figures[0], figures[1], figures[2]), "left");
    }

    // Two discs of two tracks, one track of the first already there and kept:
    // the figures of each pass from its start to its end, a skipped track
    // counting as done once.
    void progressOfARun()
    {
        QTemporaryDir dir;
        const QByteArray wav = canonical(2, 44100, 16, samples(44100, 2, 16));
        QStringList sheets;
        for (const char *name : {"a", "b"}) {
            sheets << dir.filePath(QString(name) + ".cue");
            QVERIFY(writeFile(dir.filePath(QString(name) + ".wav"), wav));
            QVERIFY(writeFile(sheets.last(),
                lines("TITLE \"" + QByteArray(name) + "\";FILE \"" + name
                    + ".wav\" WAVE;TRACK 01 AUDIO;INDEX 01 00:00:00;TRACK 02 AUDIO;INDEX 01 "
                      "00:00:25")));
        }
        QVERIFY(writeFile(dir.filePath("a 01.wav"), "kept"));
        ProgressHost host;
        const ExtractionSettings settings {dir.path(), false, false, false, "%4 %1"};
        QCOMPARE(ExtractionRun(host, settings).run(sheets), ExtractionRun::Outcome::Done);
        // A third of a second skipped, two thirds written, per disc.
        QCOMPARE(host.seen,
            QStringList({"Checking 1 of 2 0", "Checking 2 of 2 500", "Checking 2 of 2 1000",
                "0 of 2 sheets 0", "0 of 2 sheets 166", "0 of 2 sheets 500", "1 of 2 sheets 500",
                "1 of 2 sheets 666", "1 of 2 sheets 1000", "2 of 2 sheets 1000"}));
        QVERIFY(!host.runProgress());
        // Shown at the start of a pass, the figures wait a tenth of a second.
        RunProgress fresh;
        fresh.startExtraction();
        QVERIFY(!fresh.due());
    }
};

static const bool registered = EngineTests::add<TestRuns>();

#include "engine_runs.moc"
