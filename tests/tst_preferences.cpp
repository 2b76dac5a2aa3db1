#include "wavbuilder.h"
#include "windowtest.h"
#include "wmain.h"

#include <QFileDialog>
#include <QSettings>

// In the order of the widget lists below.
static const QStringList Keys = {"destPath", "subfolderArtists", "subfolderAlbums", "overwriteExisting", "trackFormat"};
static const QStringList Defaults = {"", "true", "true", "false", "%1 %2 - %3"};

class TestPreferences : public QObject
{
    Q_OBJECT

public:
    static void initMain() { WindowTest::isolateSettings("tst_preferences"); }

private slots:
    void initTestCase() { QVERIFY(QDir(m_work.path()).mkpath("sub/inner") && QDir::setCurrent(m_work.path()) && WavBuilder::writeFile(m_work.filePath("afile"), "x")); }

    // Every window writes the store when it goes away; each case starts without one.
    void init() { QVERIFY(!QFile::exists(m_store) || QFile::remove(m_store)); }

    void storedAcrossRuns_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("atStart");
        QTest::addColumn<QStringList>("atExit"); // as the user leaves the window
        // clang-format off
        QTest::newRow("nothing-stored") << QByteArray() << Defaults << Defaults;
        QTest::newRow("numbers") << QByteArray("destPath=7\nsubfolderArtists=0\nsubfolderAlbums=2\noverwriteExisting=1\ntrackFormat=42\n") << QStringList{"7", "false", "true", "true", "42"} << QStringList{"7", "false", "true", "true", "42"};
        QTest::newRow("every-choice-changed") << QByteArray() << Defaults << QStringList{"/srv/music/rips", "false", "false", "true", "%2 - %1 - %3"};
        QTest::newRow("blanks-kept-around-pattern-and-destination") << QByteArray() << Defaults << QStringList{"  /srv/with blanks/  ", "true", "false", "false", "  %1. %3  "};
        QTest::newRow("empty-pattern-is-not-the-default") << QByteArray() << Defaults << QStringList{"/x", "false", "true", "false", ""};
        // clang-format on
    }

    void storedAcrossRuns()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, atStart);
        QFETCH(QStringList, atExit);
        QVERIFY(ini.isEmpty() || (QDir().mkpath(QFileInfo(m_store).path()) && WavBuilder::writeFile(m_store, ini)));
        auto w = std::make_unique<WMain>();
        QCOMPARE(shown(*w), atStart);
        // Only the edit text comes from the store: the presets stay as they are.
        QCOMPARE(w->trackFormat->count(), 4);
        w->destPath->setText(atExit[0]);
        w->subArtist->setChecked(atExit[1] == "true");
        w->subAlbum->setChecked(atExit[2] == "true");
        w->cbOverwrite->setChecked(atExit[3] == "true");
        w->trackFormat->setEditText(atExit[4]);
        w.reset();
        QStringList stored;
        for (const QString &key : Keys)
            stored << QSettings().value(key).toString();
        QCOMPARE(stored, atExit);
        QCOMPARE(shown(WMain()), atExit);
    }

    void previewFollowsPattern_data()
    {
        QTest::addColumn<QVariant>("choice"); // a preset's index, or a typed pattern
        QTest::addColumn<QString>("preview");
        // clang-format off
        QTest::newRow("preset-title")               << QVariant(0) << "Track Name.wav";
        QTest::newRow("preset-number-title")        << QVariant(1) << "01 Track Name.wav";
        QTest::newRow("preset-artist-title")        << QVariant(2) << "Artist - Track Name.wav";
        QTest::newRow("preset-number-artist-title") << QVariant(3) << "01 Artist - Track Name.wav";
        QTest::newRow("blanks-only")                << QVariant("   ") << ".wav";
        QTest::newRow("number-then-digit")          << QVariant("%12") << "012.wav";
        // clang-format on
    }

    void previewFollowsPattern()
    {
        QFETCH(QVariant, choice);
        QFETCH(QString, preview);
        WMain w;
        // No item and an empty pattern first, so that either way the pattern changes.
        w.trackFormat->setCurrentIndex(-1);
        choice.typeId() == QMetaType::Int ? w.trackFormat->setCurrentIndex(choice.toInt()) : QTest::keyClicks(w.trackFormat->lineEdit(), choice.toString());
        QCOMPARE(w.trackFormatLabel->text(), preview);
    }

    void typedDestinationIsCleanedUp_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("empty-becomes-working-directory")       << ""                  << "<work>";
        QTest::newRow("blanks-around-existing-folder-dropped") << "  sub\t "          << "<work>/sub";
        QTest::newRow("dots-and-doubled-slashes-removed")      << "./sub//inner/.."   << "<work>/sub";
        QTest::newRow("missing-folder-stays-as-typed")         << "  no/such/folder " << "  no/such/folder ";
        QTest::newRow("file-is-not-a-folder")                  << "afile"             << "afile";
        // clang-format on
    }

    void typedDestinationIsCleanedUp()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        WMain w;
        w.destPath->setText(typed);
        QTest::keyClick(w.destPath, Qt::Key_Return);
        QCOMPARE(w.destPath->text(), expected.replace(QStringLiteral("<work>"), m_work.path()));
    }

    void browse_data()
    {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QString>("chosen"); // empty: the dialog is cancelled
        // clang-format off
        QTest::newRow("cancel-keeps-destination-as-typed") << "<work>/sub/" << "";
        QTest::newRow("choice-replaces-destination")       << "<work>"      << "<work>/sub/inner";
        // clang-format on
    }

    void browse()
    {
        QFETCH(QString, initial);
        QFETCH(QString, chosen);
        for (QString *name : {&initial, &chosen})
            name->replace(QStringLiteral("<work>"), m_work.path());
        WMain w;
        w.destPath->setText(initial);
        QStringList seen;
        WindowTest::onNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            if (!dialog)
                return modal->hide();
            seen = {dialog->windowTitle(), dialog->directory().path(), flag(dialog->testOption(QFileDialog::ShowDirsOnly))};
            dialog->setDirectory(chosen);
            chosen.isEmpty() ? dialog->reject() : static_cast<QDialog *>(dialog)->accept();
        });
        QTest::mouseClick(w.btnBrowse, Qt::LeftButton);
        QCOMPARE(seen, QStringList({"Select a destination path for extraction", QDir(initial).path(), "true"}));
        QCOMPARE(w.destPath->text(), chosen.isEmpty() ? initial : chosen);
    }

private:
    static QString flag(bool on) { return QVariant(on).toString(); }
    static QStringList shown(const WMain &w)
    {
        return {w.destPath->text(), flag(w.subArtist->isChecked()), flag(w.subAlbum->isChecked()), flag(w.cbOverwrite->isChecked()), w.trackFormat->currentText()};
    }

    QTemporaryDir m_work;
    QString m_store = QSettings().fileName();
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
