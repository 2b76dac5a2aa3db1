#include "wmain.h"

#include <QApplication>
#include <QFileDialog>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

// The CUE list as the user sees it: which sheets get in, in what order, how
// a failing sheet is marked, and how entries leave.
class TestCueList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void names_data();
    void names();
    void sizes_data();
    void sizes();
    void unusableFiles_data();
    void unusableFiles();
    void addCalls_data();
    void addCalls();
    void addKeepsSelectionAndCurrent();
    void selectCue_data();
    void selectCue();
    void remove_data();
    void remove();
    void drops_data();
    void drops();
    void addDialog_data();
    void addDialog();

private:
    QString path(const QString &name) const;
    QString writeSheet(const QString &name, qint64 size = 40);

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_base;
    QString m_startDir;
    QImage m_neutral;
    QImage m_failed;
};

namespace {

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(16).toImage();
}

QStringList entries(const WMain &w)
{
    QStringList texts;
    for (int row = 0; row < w.cuelist->count(); ++row)
        texts << w.cuelist->item(row)->text();
    return texts;
}

QStringList selectedEntries(const WMain &w)
{
    QStringList texts;
    for (int row = 0; row < w.cuelist->count(); ++row) {
        if (w.cuelist->item(row)->isSelected())
            texts << w.cuelist->item(row)->text();
    }
    return texts;
}

// The order the list widget itself keeps (its items' own comparison).
QStringList inListOrder(QStringList texts)
{
    std::sort(texts.begin(), texts.end(), [](const QString &a, const QString &b) {
        return QListWidgetItem(a) < QListWidgetItem(b);
    });
    return texts;
}

class DropWindow : public WMain
{
public:
    using WMain::dropEvent;
};

// Closes the next modal dialog once it shows, whatever opened it.
void onNextModal(std::function<void(QWidget *)> handle, int triesLeft = 500)
{
    QTimer::singleShot(0, [handle, triesLeft] {
        if (QWidget *modal = QApplication::activeModalWidget())
            handle(modal);
        else if (triesLeft > 0)
            onNextModal(handle, triesLeft - 1);
    });
}

} // namespace

void TestCueList::initTestCase()
{
    m_startDir = QDir::currentPath();
    m_neutral = iconImage(QIcon(QStringLiteral(":/block.png")));
    m_failed = iconImage(QIcon(QStringLiteral(":/logerror.png")));
    QVERIFY2(!m_neutral.isNull() && !m_failed.isNull(), "icon bundle not registered");
    QVERIFY(m_neutral != m_failed);
}

void TestCueList::init()
{
    QSettings().clear();
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    // Relative paths resolve against the working directory, which the system
    // reports without symbolic links.
    m_base = QFileInfo(m_dir->path()).canonicalFilePath();
}

void TestCueList::cleanup()
{
    QDir::setCurrent(m_startDir);
    m_dir.reset();
}

QString TestCueList::path(const QString &name) const
{
    return name.startsWith(u'/') ? name : m_base + u'/' + name;
}

QString TestCueList::writeSheet(const QString &name, qint64 size)
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(size, 'x')) != size)
        return QString();
    return file.fileName();
}

void TestCueList::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");

    QTest::newRow("lower-case") << "a.cue" << true;
    QTest::newRow("upper-case") << "a.CUE" << true;
    QTest::newRow("mixed-case") << "a.Cue" << true;
    QTest::newRow("trailing-blanks") << "a.cue  " << true;
    QTest::newRow("trailing-tab") << "a.cue\t" << true;
    QTest::newRow("only-the-suffix") << ".cue" << true;
    QTest::newRow("non-ascii-name") << "Motörhead – Ace.cue" << true;
    QTest::newRow("another-extension-after") << "x.cue.bak" << false;
    QTest::newRow("more-letters-after") << "x.cuex" << false;
    QTest::newRow("no-dot") << "xcue" << false;
    QTest::newRow("text-file") << "x.txt" << false;
    QTest::newRow("wave-file") << "x.wav" << false;
}

void TestCueList::names()
{
    QFETCH(QString, name);
    QFETCH(bool, listed);

    const QString file = writeSheet(name);
    QVERIFY(!file.isEmpty());
    WMain w;
    w.addFileList({file});
    // The entry keeps the name as it is on disk, blanks included.
    QCOMPARE(entries(w), listed ? QStringList{QDir::toNativeSeparators(file)} : QStringList());
    if (listed) {
        QCOMPARE(iconImage(w.cuelist->item(0)->icon()), m_neutral);
        QCOMPARE(w.cuelist->item(0)->type(), int(QListWidgetItem::Type));
        QVERIFY(selectedEntries(w).isEmpty());
    }
}

void TestCueList::sizes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("listed");

    QTest::newRow("empty") << qint64(0) << true;
    QTest::newRow("exactly-100000-bytes") << qint64(100000) << true;
    QTest::newRow("100001-bytes") << qint64(100001) << false;
    QTest::newRow("102400-bytes") << qint64(102400) << false;
}

void TestCueList::sizes()
{
    QFETCH(qint64, size);
    QFETCH(bool, listed);

    const QString file = writeSheet(QStringLiteral("sized.cue"), size);
    QVERIFY(!file.isEmpty());
    WMain w;
    w.addFileList({file});
    QCOMPARE(w.cuelist->count(), listed ? 1 : 0);
}

void TestCueList::unusableFiles_data()
{
    QTest::addColumn<QString>("problem");

    QTest::newRow("missing") << "missing";
    QTest::newRow("unreadable") << "unreadable";
    QTest::newRow("dangling-link") << "dangling-link";
}

void TestCueList::unusableFiles()
{
    QFETCH(QString, problem);

    const QString good = writeSheet(QStringLiteral("good.cue"));
    const QString bad = path(QStringLiteral("bad.cue"));
    if (problem == u"unreadable") {
        QVERIFY(!writeSheet(QStringLiteral("bad.cue")).isEmpty());
        QVERIFY(QFile::setPermissions(bad, {}));
        QFile probe(bad);
        if (probe.open(QIODevice::ReadOnly)) {
            QFile::setPermissions(bad, QFile::ReadOwner | QFile::WriteOwner);
            QSKIP("running as root: a file without read permission is still readable");
        }
    } else if (problem == u"dangling-link") {
        QVERIFY(QFile::link(path(QStringLiteral("gone.cue")), bad));
    }

    WMain w;
    w.addFileList({bad, good});
    QCOMPARE(entries(w), QStringList{QDir::toNativeSeparators(good)});
    QFile::setPermissions(bad, QFile::ReadOwner | QFile::WriteOwner);
}

void TestCueList::addCalls_data()
{
    // One list per addFileList call. Names are files in the test directory;
    // "rel:" passes the name relative to it (the working directory), "raw:"
    // puts an entry into the list directly, bypassing addFileList.
    QTest::addColumn<QList<QStringList>>("calls");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("twice-in-one-call")
        << QList<QStringList>{{"a.cue", "a.cue"}} << QStringList{"a.cue"};
    QTest::newRow("again-in-later-call")
        << QList<QStringList>{{"a.cue"}, {"b.cue", "a.cue"}} << QStringList{"a.cue", "b.cue"};
    QTest::newRow("case-differs-two-entries")
        << QList<QStringList>{{"Disc.cue", "disc.cue"}, {"disc.cue"}}
        << QStringList{"Disc.cue", "disc.cue"};
    QTest::newRow("relative-listed-absolute")
        << QList<QStringList>{{"rel:a.cue"}} << QStringList{"a.cue"};
    QTest::newRow("relative-then-absolute-duplicate")
        << QList<QStringList>{{"rel:a.cue"}, {"a.cue"}} << QStringList{"a.cue"};
    QTest::newRow("dot-relative-then-absolute-duplicate")
        << QList<QStringList>{{"rel:./a.cue", "rel:sub/../a.cue"}, {"a.cue"}}
        << QStringList{"a.cue"};
    QTest::newRow("order-after-several-calls")
        << QList<QStringList>{{"d.cue", "b.cue"}, {"e.cue"}, {"a.cue", "c.cue"}}
        << QStringList{"a.cue", "b.cue", "c.cue", "d.cue", "e.cue"};
    QTest::newRow("rejects-among-good-ones")
        << QList<QStringList>{{"c.cue", "notes.txt", "absent.cue", "a.cue"}}
        << QStringList{"a.cue", "c.cue"};
    QTest::newRow("empty-call-sorts-existing")
        << QList<QStringList>{{"raw:/z/z.cue", "raw:/m/m.cue"}, {}}
        << QStringList{"/m/m.cue", "/z/z.cue"};
    QTest::newRow("nothing-at-all") << QList<QStringList>{{}} << QStringList{};
}

void TestCueList::addCalls()
{
    QFETCH(QList<QStringList>, calls);
    QFETCH(QStringList, expected);

    QVERIFY(QDir(m_base).mkdir(QStringLiteral("sub")));
    QVERIFY(QDir::setCurrent(m_base));
    WMain w;
    for (const QStringList &call : std::as_const(calls)) {
        QStringList lst;
        bool direct = false;
        for (const QString &name : call) {
            if (name.startsWith(u"raw:")) {
                new QListWidgetItem(name.mid(4), w.cuelist);
                direct = true;
                continue;
            }
            const bool relative = name.startsWith(u"rel:");
            const QString bare = relative ? name.mid(4) : name;
            if (bare != u"absent.cue" && !QFile::exists(path(bare)))
                QVERIFY(!writeSheet(bare).isEmpty());
            lst << (relative ? bare : path(bare));
        }
        if (!direct)
            w.addFileList(lst);
    }

    QStringList expectedTexts;
    for (const QString &name : std::as_const(expected))
        expectedTexts << QDir::toNativeSeparators(path(name));
    QCOMPARE(entries(w), inListOrder(expectedTexts));
    QVERIFY(selectedEntries(w).isEmpty());
}

void TestCueList::addKeepsSelectionAndCurrent()
{
    WMain w;
    w.addFileList({writeSheet(QStringLiteral("a.cue")), writeSheet(QStringLiteral("c.cue"))});
    w.cuelist->setCurrentRow(1);
    QCOMPARE(selectedEntries(w), QStringList{QDir::toNativeSeparators(path("c.cue"))});
    w.addFileList({writeSheet(QStringLiteral("b.cue"))});
    QCOMPARE(w.cuelist->count(), 3);
    // The current entry moved down a row with the sort; it is still c.cue.
    QCOMPARE(w.cuelist->currentItem()->text(), QDir::toNativeSeparators(path("c.cue")));
    QCOMPARE(selectedEntries(w), QStringList{QDir::toNativeSeparators(path("c.cue"))});
}

void TestCueList::selectCue_data()
{
    // Entries are put into the list directly, so that a row can appear twice.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("preselected");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<QList<int>>("selected");

    const QStringList three{"/d/a.cue", "/d/b.cue", "/d/c.cue"};
    QTest::newRow("marks-the-matching-row")
        << three << QStringList{} << "/d/b.cue" << QList<int>{1} << QList<int>{1};
    QTest::newRow("adds-to-the-selection")
        << three << QStringList{"/d/a.cue"} << "/d/c.cue" << QList<int>{2} << QList<int>{0, 2};
    QTest::newRow("every-matching-row")
        << QStringList{"/d/a.cue", "/d/b.cue", "/d/a.cue"} << QStringList{} << "/d/a.cue"
        << QList<int>{0, 2} << QList<int>{0, 2};
    QTest::newRow("key-matching-nothing")
        << three << QStringList{"/d/b.cue"} << "/d/x.cue" << QList<int>{} << QList<int>{1};
    QTest::newRow("case-differs-no-match")
        << three << QStringList{} << "/d/B.cue" << QList<int>{} << QList<int>{};
    QTest::newRow("prefix-is-no-match")
        << three << QStringList{} << "/d/a" << QList<int>{} << QList<int>{};
}

void TestCueList::selectCue()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, preselected);
    QFETCH(QString, key);
    QFETCH(QList<int>, marked);
    QFETCH(QList<int>, selected);

    WMain w;
    for (const QString &text : std::as_const(rows))
        new QListWidgetItem(QIcon(QStringLiteral(":/block.png")), text, w.cuelist);
    w.cuelist->setCurrentRow(rows.size() - 1, QItemSelectionModel::NoUpdate);
    for (int row = 0; row < rows.size(); ++row)
        w.cuelist->item(row)->setSelected(preselected.contains(rows[row]));

    bool delivered = false;
    QMetaObject::invokeMethod(&w, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    w.selectCue(key);
    QVERIFY2(delivered, "the mark must show before the engine goes on");

    QList<int> actualMarked, actualSelected;
    for (int row = 0; row < rows.size(); ++row) {
        const QImage icon = iconImage(w.cuelist->item(row)->icon());
        QVERIFY(icon == m_failed || icon == m_neutral);
        if (icon == m_failed)
            actualMarked << row;
        if (w.cuelist->item(row)->isSelected())
            actualSelected << row;
    }
    QCOMPARE(actualMarked, marked);
    QCOMPARE(actualSelected, selected);
    QCOMPARE(w.cuelist->currentRow(), rows.size() - 1);
}

void TestCueList::remove_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("select");
    QTest::addColumn<QStringList>("remaining");

    const QStringList all{"a.cue", "b.cue", "c.cue", "d.cue", "e.cue"};
    for (const char *how : {"action", "backspace", "removeSelected2"}) {
        const QByteArray h(how);
        QTest::newRow(h + "-several-rows")
            << how << QStringList{"b.cue", "d.cue", "e.cue"} << QStringList{"a.cue", "c.cue"};
        QTest::newRow(h + "-nothing-selected") << how << QStringList{} << all;
    }
    QTest::newRow("action-every-row") << "action" << all << QStringList{};
}

void TestCueList::remove()
{
    QFETCH(QString, how);
    QFETCH(QStringList, select);
    QFETCH(QStringList, remaining);

    WMain w;
    QStringList files;
    for (const char *name : {"a.cue", "b.cue", "c.cue", "d.cue", "e.cue"})
        files << writeSheet(QString::fromLatin1(name));
    w.addFileList(files);
    QCOMPARE(w.cuelist->count(), 5);
    for (int row = 0; row < w.cuelist->count(); ++row) {
        QListWidgetItem *item = w.cuelist->item(row);
        item->setSelected(select.contains(QFileInfo(item->text()).fileName()));
    }

    QSignalSpy triggered(w.actionRemove, &QAction::triggered);
    if (how == u"action") {
        w.actionRemove->trigger();
    } else if (how == u"backspace") {
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(w.cuelist, Qt::Key_Backspace);
    } else {
        QVERIFY(QMetaObject::invokeMethod(&w, "on_removeSelected2_triggered"));
    }
    QCOMPARE(triggered.count(), 1);

    QStringList expected;
    for (const QString &name : std::as_const(remaining))
        expected << QDir::toNativeSeparators(path(name));
    QCOMPARE(entries(w), expected);
    QVERIFY(selectedEntries(w).isEmpty());
    QVERIFY(w.cuelist->selectionModel()->selectedIndexes().isEmpty());
}

void TestCueList::drops_data()
{
    // "file:" URLs name files in the test directory; others are taken as
    // written. An empty list means mime data with text and no URLs.
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<bool>("runInProgress");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("mixed-urls")
        << QStringList{"file:a.cue", "file:notes.txt", "http://example.invalid/b.cue", "file:c.Cue"}
        << false << true << QStringList{"a.cue", "c.Cue"};
    QTest::newRow("only-non-cue-accepted-adds-nothing")
        << QStringList{"file:notes.txt", "file:x.cue.bak"} << false << true << QStringList{};
    QTest::newRow("suffix-case-kept-as-dropped")
        << QStringList{"file:LOUD.CUE"} << false << true << QStringList{"LOUD.CUE"};
    QTest::newRow("refused-during-run")
        << QStringList{"file:a.cue"} << true << false << QStringList{};
    QTest::newRow("text-without-urls")
        << QStringList{} << false << false << QStringList{};
}

void TestCueList::drops()
{
    QFETCH(QStringList, urls);
    QFETCH(bool, runInProgress);
    QFETCH(bool, accepted);
    QFETCH(QStringList, listed);

    DropWindow w;
    w.actionStop->setEnabled(runInProgress);
    QMimeData mime;
    if (urls.isEmpty()) {
        mime.setText(writeSheet(QStringLiteral("typed.cue")));
    } else {
        QList<QUrl> list;
        for (const QString &url : std::as_const(urls)) {
            if (url.startsWith(u"file:")) {
                const QString file = writeSheet(url.mid(5));
                QVERIFY(!file.isEmpty());
                list << QUrl::fromLocalFile(file);
            } else {
                list << QUrl(url);
            }
        }
        mime.setUrls(list);
    }

    const QPoint centre = w.rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // The toolkit hands a drop only to the widget that accepted the drag's
    // entry; the window's own refusal of a drop is reached directly.
    if (enter.isAccepted())
        QCoreApplication::sendEvent(&w, &drop);
    else
        w.dropEvent(&drop);
    QCOMPARE(drop.isAccepted(), accepted);

    QStringList expected;
    for (const QString &name : std::as_const(listed))
        expected << QDir::toNativeSeparators(path(name));
    QCOMPARE(entries(w), inListOrder(expected));
}

void TestCueList::addDialog_data()
{
    QTest::addColumn<QString>("choose");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("cancelled-changes-nothing") << "" << QStringList{"old.cue"};
    QTest::newRow("chosen-sheet-added") << "new.cue" << QStringList{"new.cue", "old.cue"};
}

void TestCueList::addDialog()
{
    QFETCH(QString, choose);
    QFETCH(QStringList, listed);

    WMain w;
    w.addFileList({writeSheet(QStringLiteral("old.cue"))});
    QVERIFY(!writeSheet(QStringLiteral("new.cue")).isEmpty());
    w.cuelist->item(0)->setSelected(true);

    QString caption, filter;
    QWidget *parent = nullptr;
    bool seen = false;
    onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        seen = true;
        caption = dialog->windowTitle();
        filter = dialog->nameFilters().join(u';');
        parent = dialog->parentWidget();
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        if (choose.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(m_base);
        dialog->selectFile(choose);
        // QFileDialog hides accept(); through the base it still runs its own.
        static_cast<QDialog *>(dialog)->accept();
    });
    w.actionAdd->trigger();

    QVERIFY2(seen, "no file dialog was shown");
    QCOMPARE(caption, QStringLiteral("Add CUE files"));
    QCOMPARE(filter, QStringLiteral("CUE files (*.cue)"));
    QCOMPARE(parent, &w);
    QStringList expected;
    for (const QString &name : std::as_const(listed))
        expected << QDir::toNativeSeparators(path(name));
    QCOMPARE(entries(w), expected);
    QCOMPARE(selectedEntries(w), QStringList{QDir::toNativeSeparators(path("old.cue"))});
}

int main(int argc, char **argv)
{
    // The window reads and writes the settings store; keep it away from the
    // user's own in a directory that vanishes with the test.
    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("SplitmereTests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_cuelist"));
    // The toolkit's own dialog, so the test can reach and close it.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    TestCueList test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cuelist.moc"
