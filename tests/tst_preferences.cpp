#include "wmain.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// QSettings fixes where the per-user store lives the first time it is used,
// so the store must point into a folder of the test's own before that.
QString configHome()
{
    static QTemporaryDir dir;
    return dir.path();
}

QString storePath()
{
    return configHome() + QStringLiteral("/Orvane/Splitmere.conf");
}

bool writeStore(const QByteArray &ini)
{
    QDir().mkpath(QFileInfo(storePath()).path());
    QFile f(storePath());
    return f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size();
}

const QString DefaultPattern = QStringLiteral("%1 %2 - %3");

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Splitmere"));
        // Only the toolkit's own dialog can be reached and closed from a timer.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStartShowsDefaults_data();
    void firstStartShowsDefaults();
    void savedAtExitAndLoadedAtStart_data();
    void savedAtExitAndLoadedAtStart();
    void storedValueOfAnotherType_data();
    void storedValueOfAnotherType();
    void previewFollowsPattern_data();
    void previewFollowsPattern();
    void patternAddedByReturnIsNotStored();
    void typedDestinationIsCleanedUp_data();
    void typedDestinationIsCleanedUp();
    void browse_data();
    void browse();

private:
    void verifyWidgets(WMain &w, const QString &dest, bool artists, bool albums, bool overwrite,
        const QString &pattern);

    QTemporaryDir m_work;
    QString m_startCwd;
};

void TestPreferences::initTestCase()
{
    QVERIFY(m_work.isValid());
    QVERIFY(QDir(m_work.path()).mkpath(QStringLiteral("sub/inner")));
    QFile file(m_work.filePath(QStringLiteral("afile")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    m_startCwd = QDir::currentPath();
}

void TestPreferences::init()
{
    // A folder is left where the store should be by the unreadable-store row.
    QDir(storePath()).removeRecursively();
    QFile::remove(storePath());
    QVERIFY(!QFileInfo::exists(storePath()));
}

void TestPreferences::cleanup()
{
    QDir::setCurrent(m_startCwd);
}

void TestPreferences::verifyWidgets(WMain &w, const QString &dest, bool artists, bool albums,
    bool overwrite, const QString &pattern)
{
    QCOMPARE(w.destPath->text(), dest);
    QCOMPARE(w.subArtist->isChecked(), artists);
    QCOMPARE(w.subAlbum->isChecked(), albums);
    QCOMPARE(w.cbOverwrite->isChecked(), overwrite);
    QCOMPARE(w.trackFormat->currentText(), pattern);
    // Only the edit text comes from the store: the presets stay as the form
    // made them, the last one current.
    QCOMPARE(w.trackFormat->count(), 4);
    QCOMPARE(w.trackFormat->currentIndex(), 3);
}

void TestPreferences::firstStartShowsDefaults_data()
{
    QTest::addColumn<QString>("store");

    QTest::newRow("nothing-stored") << QString();
    QTest::newRow("store-is-a-folder") << QStringLiteral("folder");
    QTest::newRow("store-is-not-a-settings-file")
        << QStringLiteral("\x01\x02 binary junk\n[never closed\n\xff\xfe");
    QTest::newRow("keys-only-inside-a-group")
        << QStringLiteral("[Preferences]\ndestPath=/elsewhere\nsubfolderArtists=false\n"
                          "overwriteExisting=true\ntrackFormat=%3\n");
}

void TestPreferences::firstStartShowsDefaults()
{
    QFETCH(QString, store);
    if (store == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(storePath()));
    else if (!store.isEmpty())
        QVERIFY(writeStore(store.toLatin1()));

    WMain w;
    verifyWidgets(w, QString(), true, true, false, DefaultPattern);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(w.trackFormatLabel->text(), QStringLiteral("01 Artist - Track Name.wav"));
}

void TestPreferences::savedAtExitAndLoadedAtStart_data()
{
    QTest::addColumn<QString>("dest");
    QTest::addColumn<bool>("artists");
    QTest::addColumn<bool>("albums");
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("preview");

    QTest::newRow("every-choice-changed")
        << QStringLiteral("/srv/music/rips") << false << false << true
        << QStringLiteral("%2 - %1 - %3") << QStringLiteral("Artist - 01 - Track Name.wav");
    QTest::newRow("blanks-kept-around-pattern-and-destination")
        << QStringLiteral("  /srv/with blanks/  ") << true << false << false
        << QStringLiteral("  %1. %3  ") << QStringLiteral("01. Track Name.wav");
    QTest::newRow("preset-pattern-empty-destination")
        << QString() << true << true << false << QStringLiteral("%1 %3")
        << QStringLiteral("01 Track Name.wav");
    QTest::newRow("missing-destination-kept-as-typed")
        << QStringLiteral(" no/such/folder ") << false << true << true << QStringLiteral("%4 - %3")
        << QStringLiteral("Album - Track Name.wav");
    QTest::newRow("characters-the-store-must-quote")
        << QStringLiteral("/tmp/a,b;c=d \"e\"") << true << true << true
        << QStringLiteral("%1, \"%3\"; [%2] = \\")
        << QStringLiteral("01, \"Track Name\"; [Artist] = \\.wav");
    QTest::newRow("empty-pattern")
        << QStringLiteral("/x") << false << false << false << QString() << QStringLiteral(".wav");
}

void TestPreferences::savedAtExitAndLoadedAtStart()
{
    QFETCH(QString, dest);
    QFETCH(bool, artists);
    QFETCH(bool, albums);
    QFETCH(bool, overwrite);
    QFETCH(QString, pattern);
    QFETCH(QString, preview);

    {
        WMain w;
        w.destPath->setText(dest);
        w.subArtist->setChecked(artists);
        w.subAlbum->setChecked(albums);
        w.cbOverwrite->setChecked(overwrite);
        w.trackFormat->setEditText(pattern);
        QCOMPARE(w.trackFormatLabel->text(), preview);
        QVERIFY2(!QFileInfo::exists(storePath()), "written before the window went away");
    }

    {
        QSettings stored;
        QStringList keys = stored.allKeys();
        keys.sort();
        QCOMPARE(keys,
            QStringList({"destPath", "overwriteExisting", "subfolderAlbums", "subfolderArtists",
                "trackFormat"}));
        QCOMPARE(stored.value("destPath").toString(), dest);
        QCOMPARE(stored.value("subfolderArtists").toBool(), artists);
        QCOMPARE(stored.value("subfolderAlbums").toBool(), albums);
        QCOMPARE(stored.value("overwriteExisting").toBool(), overwrite);
        QCOMPARE(stored.value("trackFormat").toString(), pattern);
    }

    WMain again;
    verifyWidgets(again, dest, artists, albums, overwrite, pattern);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(again.trackFormatLabel->text(), preview);
}

void TestPreferences::storedValueOfAnotherType_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<bool>("artists");
    QTest::addColumn<bool>("albums");
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("numbers") << QByteArray("destPath=7\nsubfolderArtists=0\nsubfolderAlbums=2\n"
                                           "overwriteExisting=1\ntrackFormat=42\n")
                             << QStringLiteral("7") << false << true << true
                             << QStringLiteral("42");
    QTest::newRow("words-for-flags")
        << QByteArray("subfolderArtists=false\nsubfolderAlbums=FALSE\noverwriteExisting=true\n")
        << QString() << false << false << true << DefaultPattern;
    QTest::newRow("byte-arrays-for-texts")
        << QByteArray("destPath=@ByteArray(/srv/rips)\ntrackFormat=@ByteArray(%1 - %3)\n")
        << QStringLiteral("/srv/rips") << true << true << false << QStringLiteral("%1 - %3");
    // A key that is there with no value is not a missing key: no default.
    QTest::newRow("invalid-values")
        << QByteArray("destPath=@Invalid()\nsubfolderArtists=@Invalid()\n"
                      "subfolderAlbums=@Invalid()\noverwriteExisting=@Invalid()\n"
                      "trackFormat=@Invalid()\n")
        << QString() << false << false << false << QString();
}

void TestPreferences::storedValueOfAnotherType()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, dest);
    QFETCH(bool, artists);
    QFETCH(bool, albums);
    QFETCH(bool, overwrite);
    QFETCH(QString, pattern);

    QVERIFY(writeStore(ini));
    WMain w;
    verifyWidgets(w, dest, artists, albums, overwrite, pattern);
}

void TestPreferences::previewFollowsPattern_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("preview");

    QTest::newRow("preset-title") << 0 << QString() << QStringLiteral("Track Name.wav");
    QTest::newRow("preset-number-title") << 1 << QString() << QStringLiteral("01 Track Name.wav");
    QTest::newRow("preset-artist-title")
        << 2 << QString() << QStringLiteral("Artist - Track Name.wav");
    QTest::newRow("preset-number-artist-title")
        << 3 << QString() << QStringLiteral("01 Artist - Track Name.wav");
    QTest::newRow("album-title") << -1 << QStringLiteral("%4 - %3")
                                 << QStringLiteral("Album - Track Name.wav");
    QTest::newRow("empty") << -1 << QString() << QStringLiteral(".wav");
    QTest::newRow("blanks-only") << -1 << QStringLiteral("   ") << QStringLiteral(".wav");
    QTest::newRow("number-then-digit") << -1 << QStringLiteral("%12") << QStringLiteral("012.wav");
    QTest::newRow("blanks-around")
        << -1 << QStringLiteral("  %3 ") << QStringLiteral("Track Name.wav");
    QTest::newRow("every-marker-twice")
        << -1 << QStringLiteral("%1%2%3%4 %4%3%2%1")
        << QStringLiteral("01ArtistTrack NameAlbum AlbumTrack NameArtist01.wav");
    QTest::newRow("other-percent-sequences-as-typed")
        << -1 << QStringLiteral("%5 %% 100%") << QStringLiteral("%5 %% 100%.wav");
    QTest::newRow("nothing-sanitised")
        << -1 << QStringLiteral("%2/%3?*") << QStringLiteral("Artist/Track Name?*.wav");
}

void TestPreferences::previewFollowsPattern()
{
    QFETCH(int, preset);
    QFETCH(QString, typed);
    QFETCH(QString, preview);

    WMain w;
    w.show();
    QLineEdit *edit = w.trackFormat->lineEdit();
    edit->clear();
    QCOMPARE(w.trackFormatLabel->text(), QStringLiteral(".wav"));
    if (preset >= 0) {
        // Away first, so that choosing the preset is a change of item.
        w.trackFormat->setCurrentIndex(preset == 0 ? 1 : 0);
        w.trackFormat->setCurrentIndex(preset);
        QCOMPARE(w.trackFormat->currentText(), w.trackFormat->itemText(preset));
    } else {
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed);
    }
    QCOMPARE(w.trackFormatLabel->text(), preview);
}

void TestPreferences::patternAddedByReturnIsNotStored()
{
    const QString pattern = QStringLiteral("%2 %3");
    {
        WMain w;
        w.show();
        w.trackFormat->lineEdit()->clear();
        QTest::keyClicks(w.trackFormat->lineEdit(), pattern);
        QTest::keyClick(w.trackFormat->lineEdit(), Qt::Key_Return);
        QCOMPARE(w.trackFormat->count(), 5);
        QCOMPARE(w.trackFormat->itemText(4), pattern);
        QCOMPARE(w.trackFormat->currentIndex(), 4);
    }
    WMain again;
    verifyWidgets(again, QString(), true, true, false, pattern);
}

void TestPreferences::typedDestinationIsCleanedUp_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("folder"); // below the working directory, when changed

    QTest::newRow("empty-becomes-working-directory") << QString() << true << QStringLiteral(".");
    QTest::newRow("blanks-become-working-directory")
        << QStringLiteral("   ") << true << QStringLiteral(".");
    QTest::newRow("dot-becomes-working-directory")
        << QStringLiteral(".") << true << QStringLiteral(".");
    QTest::newRow("relative-folder-made-absolute")
        << QStringLiteral("sub") << true << QStringLiteral("sub");
    QTest::newRow("blanks-around-existing-folder-dropped")
        << QStringLiteral("  sub\t ") << true << QStringLiteral("sub");
    QTest::newRow("dots-and-doubled-slashes-removed")
        << QStringLiteral("./sub//inner/..") << true << QStringLiteral("sub");
    QTest::newRow("up-and-out-again")
        << QStringLiteral("sub/inner/../..") << true << QStringLiteral(".");
    QTest::newRow("absolute-trailing-slash-removed")
        << QStringLiteral("<work>/sub/inner/") << true << QStringLiteral("sub/inner");
    QTest::newRow("missing-folder-stays-as-typed")
        << QStringLiteral("  no/such/folder ") << false << QString();
    QTest::newRow("missing-absolute-folder-stays")
        << QStringLiteral("<work>/sub/missing") << false << QString();
    QTest::newRow("file-is-not-a-folder") << QStringLiteral("afile") << false << QString();
}

void TestPreferences::typedDestinationIsCleanedUp()
{
    QFETCH(QString, typed);
    QFETCH(bool, changed);
    QFETCH(QString, folder);

    QVERIFY(QDir::setCurrent(m_work.path()));
    typed.replace(QStringLiteral("<work>"), m_work.path());
    const QString expected = changed
        ? QDir::toNativeSeparators(QDir::cleanPath(m_work.path() + QLatin1Char('/') + folder))
        : typed;

    WMain w;
    w.show();
    w.destPath->setText(typed);
    QCOMPARE(w.destPath->text(), typed);
    QTest::keyClick(w.destPath, Qt::Key_Return);
    QCOMPARE(w.destPath->text(), expected);
}

void TestPreferences::browse_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<bool>("choose");
    QTest::addColumn<QString>("expected");

    QTest::newRow("cancel-keeps-missing-destination")
        << QStringLiteral("  not/there ") << false << QStringLiteral("  not/there ");
    QTest::newRow("cancel-keeps-existing-destination")
        << QStringLiteral("<work>") << false << QStringLiteral("<work>");
    QTest::newRow("choice-replaces-destination")
        << QStringLiteral("<work>") << true << QStringLiteral("<work>/sub/inner");
    QTest::newRow("choice-fills-empty-destination")
        << QString() << true << QStringLiteral("<work>/sub");
}

void TestPreferences::browse()
{
    QFETCH(QString, initial);
    QFETCH(bool, choose);
    QFETCH(QString, expected);
    initial.replace(QStringLiteral("<work>"), m_work.path());
    expected.replace(QStringLiteral("<work>"), m_work.path());

    WMain w;
    w.show();
    w.destPath->setText(initial);

    QString caption;
    QString startedIn;
    bool dirsOnly = false;
    bool sawDialog = false;
    QTimer::singleShot(0, &w, [&] {
        QPointer<QFileDialog> dialog
            = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        sawDialog = true;
        caption = dialog->windowTitle();
        startedIn = dialog->directory().absolutePath();
        dirsOnly = dialog->fileMode() == QFileDialog::Directory
            && dialog->testOption(QFileDialog::ShowDirsOnly);
        if (choose) {
            dialog->setDirectory(expected);
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides it
        } else {
            dialog->reject();
        }
    });
    QTest::mouseClick(w.btnBrowse, Qt::LeftButton);

    QVERIFY(sawDialog);
    QCOMPARE(caption, QStringLiteral("Select a destination path for extraction"));
    QVERIFY(dirsOnly);
    if (QFileInfo(initial).isDir())
        QCOMPARE(startedIn, QDir(initial).absolutePath());
    QCOMPARE(w.destPath->text(), choose ? QDir::toNativeSeparators(expected) : expected);
}

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
