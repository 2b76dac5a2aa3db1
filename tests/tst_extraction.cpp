// Whole extraction runs through the window, as a user drives them: Start,
// the check pass, the extraction pass, Stop, and what the log, the CUE list,
// the controls and the destination look like afterwards.

#include "wavbuilder.h"
#include "windowtest.h"
#include "wmain.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace WavBuilder;

namespace {

const QString Tail = QStringLiteral(" ----------------");

// A window that can ask for a stop when a chosen log line appears, the way a
// user's click would arrive during that line's turn of the event loop.
class TestWindow : public WMain
{
public:
    void lognormal(const QString &s) override
    {
        WMain::lognormal(s);
        if (!stopOn.isEmpty() && s.contains(stopOn)) {
            stopOn.clear();
            on_actionStop_triggered();
        }
    }
    QString stopOn;
};

bool hasIcon(const QListWidgetItem *item, const char *resource)
{
    return WindowTest::iconImage(item->icon()) == WindowTest::resourceImage(resource);
}

} // namespace

class TestExtraction : public QObject
{
    Q_OBJECT

public:
    static void initMain() { WindowTest::isolateSettings("tst_extraction"); }

private slots:
    void init();
    void cleanup();
    void startRefuses_data();
    void startRefuses();
    void goodRunOfTwoSheets();
    void badSheetAmongGoodOnesWritesNothing();
    void failureWhileSplittingSecondSheet();
    void stopDuringExtractionPass();
    void stopDuringCheckPass();
    void nextRunResetsMarks();

private:
    QString makeSheet(const QString &name, int tracks, const QString &extraLine = QString());
    void startAnsweringMessageBoxes();
    void assertIdleControls();

    QTemporaryDir m_dir;
    QString m_dest;
    TestWindow *m_window = nullptr;
    QStringList m_boxTexts;
};

void TestExtraction::init()
{
    QVERIFY(m_dir.isValid());
    m_dest = m_dir.filePath(QStringLiteral("out-%1").arg(QTest::currentTestFunction()));
    QVERIFY(QDir().mkpath(m_dest));
    m_window = new TestWindow;
    m_window->destPath->setText(m_dest);
    m_window->subArtist->setChecked(true);
    m_window->subAlbum->setChecked(true);
    m_window->cbOverwrite->setChecked(false);
    m_window->trackFormat->setEditText(QStringLiteral("%1 %2 - %3"));
    m_boxTexts.clear();
}

void TestExtraction::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

// A sheet by "Band", titled and named after its file, with two seconds of
// 16-bit stereo a track.
QString TestExtraction::makeSheet(const QString &name, int tracks, const QString &extraLine)
{
    QString text = QStringLiteral("PERFORMER \"Band\"\nTITLE \"%1\"\nFILE \"%1.wav\" WAVE\n").arg(name);
    for (int t = 1; t <= tracks; ++t) {
        text += QStringLiteral("  TRACK %1 AUDIO\n    TITLE \"Song %2\"\n    INDEX 01 00:%3:00\n")
                    .arg(t, 2, 10, QLatin1Char('0'))
                    .arg(t)
                    .arg(2 * (t - 1), 2, 10, QLatin1Char('0'));
    }
    text += extraLine;
    const QString sheet = m_dir.filePath(name + QStringLiteral(".cue"));
    const bool ok = writeFile(sheet, text.toUtf8())
        && writeFile(m_dir.filePath(name + QStringLiteral(".wav")),
                     canonical(2, 44100, 16, samples(44100 * 2 * tracks, 2, 16, tracks)));
    return ok ? QDir::toNativeSeparators(sheet) : QString();
}

// Message boxes are modal: answer each with OK from inside its own loop,
// remembering what it said.
void TestExtraction::startAnsweringMessageBoxes()
{
    auto *timer = new QTimer(m_window);
    connect(timer, &QTimer::timeout, this, [this] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_boxTexts << box->windowTitle() + QLatin1Char('|') + box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    timer->start(0);
}

void TestExtraction::assertIdleControls()
{
    QVERIFY(!m_window->stopRequested);
    QVERIFY(!m_window->actionStop->isEnabled());
    QVERIFY(!m_window->btnStop->isEnabled());
    const QList<QWidget *> widgets = {m_window->destPath, m_window->subArtist,
                                      m_window->subAlbum, m_window->cbOverwrite,
                                      m_window->trackFormat, m_window->btnExtract,
                                      m_window->cuelist, m_window->btnBrowse};
    for (QWidget *w : widgets)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    for (QAction *a : {m_window->actionAdd, m_window->actionRemove,
                       m_window->actionStartExtraction, m_window->actionQuit})
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
}

void TestExtraction::startRefuses_data()
{
    const QString badDest = "Information|Destination path is not valid (does not exist).\n"
                            "Please select the existing directory.";
    const QString emptyList = "Information|CUE list is empty - nothing to extract.";
    QTest::addColumn<QString>("dest");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("message");
    // clang-format off
    QTest::newRow("empty") << "" << true << badDest;
    QTest::newRow("blanks-only") << "   " << true << badDest;
    QTest::newRow("missing-folder") << "{dest}/missing" << true << badDest;
    QTest::newRow("a-file") << "{dest}/../A.cue" << true << badDest;
    QTest::newRow("real-folder-with-trailing-blank") << "{dest} " << true << badDest;
    QTest::newRow("empty-list") << "{dest}" << false << emptyList;
    QTest::newRow("both-destination-first") << "" << false << badDest;
    // clang-format on
}

void TestExtraction::startRefuses()
{
    QFETCH(QString, dest);
    QFETCH(bool, listed);
    QFETCH(QString, message);
    if (listed)
        m_window->addFileList({makeSheet("A", 1)});
    m_window->destPath->setText(dest.replace("{dest}", m_dest));
    startAnsweringMessageBoxes();
    m_window->btnExtract->click();
    QCOMPARE(m_boxTexts, QStringList(message));
    QCOMPARE(m_window->loglist->count(), 0);
    QCOMPARE(m_window->cuelist->count(), listed ? 1 : 0);
    assertIdleControls();
}

void TestExtraction::goodRunOfTwoSheets()
{
    const QString a = makeSheet("Alpha", 2);
    const QString b = makeSheet("Beta", 1);
    m_window->addFileList({b, a});
    m_window->actionStartExtraction->trigger();

    const QString albumA = QDir::toNativeSeparators(m_dest + "/Band/Alpha/");
    const QString albumB = QDir::toNativeSeparators(m_dest + "/Band/Beta/");
    const QStringList expected = {
        "Extraction started" + Tail,
        "Checking CUE files...",
        "Extracting files...",
        "Extracting tracks from " + a,
        "Alpha: Writing " + albumA + "01 Band - Song 1.wav...",
        "Alpha: Writing " + albumA + "02 Band - Song 2.wav...",
        a + ": Extraction successful",
        "Extracting tracks from " + b,
        "Beta: Writing " + albumB + "01 Band - Song 1.wav...",
        b + ": Extraction successful",
        "Extraction completed" + Tail,
    };
    QCOMPARE(WindowTest::texts(m_window->loglist), expected);
    QCOMPARE(m_window->cuelist->count(), 0);
    assertIdleControls();

    // The first track of Alpha is its first two seconds, bit for bit.
    const QByteArray source = readFile(m_dir.filePath("Alpha.wav"));
    const QByteArray track = readFile(m_dest + "/Band/Alpha/01 Band - Song 1.wav");
    QCOMPARE(track.size(), 44 + 44100 * 2 * 4);
    QCOMPARE(track.mid(44), source.mid(44, 44100 * 2 * 4));
}

void TestExtraction::badSheetAmongGoodOnesWritesNothing()
{
    const QStringList sheets = {
        makeSheet("A1", 1),
        makeSheet("A2", 1, QStringLiteral("COMPOSER \"x\"\n")),
        makeSheet("A3", 1),
        makeSheet("A4", 1, QStringLiteral("TRACK 02 MODE1/2352\n")),
    };
    m_window->addFileList(sheets);
    startAnsweringMessageBoxes();
    m_window->actionStartExtraction->trigger();

    QVERIFY(QDir(m_dest).isEmpty());
    QCOMPARE(m_window->cuelist->count(), 4);
    for (int row = 0; row < 4; ++row) {
        QListWidgetItem *item = m_window->cuelist->item(row);
        const bool bad = row == 1 || row == 3;
        QCOMPARE(item->isSelected(), bad);
        QVERIFY(hasIcon(item, bad ? ":/logerror.png" : ":/block.png"));
    }
    QCOMPARE(WindowTest::texts(m_window->loglist).last(), "Extraction failed" + Tail);
    QCOMPARE(m_boxTexts.size(), 1);
    QVERIFY(m_boxTexts.first().startsWith("Information|CUE files contained errors"));
    assertIdleControls();
}

void TestExtraction::failureWhileSplittingSecondSheet()
{
    const QString a = makeSheet("S1", 1);
    const QString b = makeSheet("S2", 1);
    const QString c = makeSheet("S3", 1);
    m_window->addFileList({a, b, c});
    // A file where S2's album folder must go: the check pass cannot see it,
    // the extraction pass cannot create the folder.
    QVERIFY(QDir().mkpath(m_dest + "/Band"));
    QVERIFY(writeFile(m_dest + "/Band/S2", "in the way"));
    startAnsweringMessageBoxes();
    m_window->actionStartExtraction->trigger();

    QVERIFY(QFile::exists(m_dest + "/Band/S1/01 Band - Song 1.wav"));
    QVERIFY(!QFile::exists(m_dest + "/Band/S3"));
    QCOMPARE(m_window->cuelist->count(), 2);
    QCOMPARE(m_window->cuelist->item(0)->text(), b);
    QVERIFY(m_window->cuelist->item(0)->isSelected());
    QVERIFY(hasIcon(m_window->cuelist->item(0), ":/logerror.png"));
    QCOMPARE(m_window->cuelist->item(1)->text(), c);
    QVERIFY(!m_window->cuelist->item(1)->isSelected());
    QVERIFY(hasIcon(m_window->cuelist->item(1), ":/block.png"));
    QCOMPARE(WindowTest::texts(m_window->loglist).last(), "Extraction failed" + Tail);
    QCOMPARE(m_boxTexts.size(), 1);
    QVERIFY(m_boxTexts.first().startsWith("Information|An error occured during extraction."));
    assertIdleControls();
}

void TestExtraction::stopDuringExtractionPass()
{
    const QString a = makeSheet("T1", 3);
    const QString b = makeSheet("T2", 1);
    m_window->addFileList({a, b});
    m_window->stopOn = QStringLiteral("02 Band - Song 2.wav...");
    startAnsweringMessageBoxes();
    m_window->actionStartExtraction->trigger();

    const QStringList lines = WindowTest::texts(m_window->loglist);
    QVERIFY(lines.contains(QStringLiteral("Stop!")));
    QCOMPARE(lines.last(), QStringLiteral("User termination"));
    QVERIFY(!lines.contains("Extraction failed" + Tail));
    QVERIFY(m_boxTexts.isEmpty());
    // The interrupted track is not on disk, the finished one is whole.
    const QString album = m_dest + "/Band/T1/";
    QCOMPARE(QFileInfo(album + "01 Band - Song 1.wav").size(), 44 + 44100 * 2 * 4);
    QCOMPARE(QDir(album).entryList(QDir::Files), QStringList("01 Band - Song 1.wav"));
    QCOMPARE(m_window->cuelist->count(), 2);
    QVERIFY(m_window->cuelist->item(0)->isSelected());
    const int stopRow = lines.indexOf(QStringLiteral("Stop!"));
    QVERIFY(hasIcon(m_window->loglist->item(stopRow), ":/stopme.png"));
    assertIdleControls();
}

void TestExtraction::stopDuringCheckPass()
{
    const QStringList sheets = {makeSheet("C1", 1),
                                makeSheet("C2", 1)};
    m_window->addFileList(sheets);
    m_window->stopOn = QStringLiteral("Checking CUE files...");
    startAnsweringMessageBoxes();
    m_window->actionStartExtraction->trigger();

    const QStringList lines = WindowTest::texts(m_window->loglist);
    QCOMPARE(lines.count(QStringLiteral("User termination")), 2);
    QCOMPARE(lines.last(), "Extraction failed" + Tail);
    QCOMPARE(m_boxTexts.size(), 1);
    QVERIFY(QDir(m_dest).isEmpty());
    QVERIFY(m_window->cuelist->item(0)->isSelected() && m_window->cuelist->item(1)->isSelected());
    assertIdleControls();
}

void TestExtraction::nextRunResetsMarks()
{
    const QString bad = makeSheet("R1", 1,
                                  QStringLiteral("ARRANGER \"x\"\n"));
    const QString good = makeSheet("R2", 1);
    m_window->addFileList({bad, good});
    startAnsweringMessageBoxes();
    m_window->actionStartExtraction->trigger();
    QVERIFY(m_window->cuelist->item(0)->isSelected());

    // Mend the sheet: the second run starts from neutral marks and succeeds.
    QVERIFY(writeFile(bad, readFile(bad).replace("ARRANGER \"x\"\n", "")));
    m_window->on_btnClearLog_clicked();
    m_window->actionStartExtraction->trigger();
    QCOMPARE(m_window->cuelist->count(), 0);
    QCOMPARE(WindowTest::texts(m_window->loglist).last(), "Extraction completed" + Tail);
    QCOMPARE(m_boxTexts.size(), 1);
}

QTEST_MAIN(TestExtraction)
#include "tst_extraction.moc"
