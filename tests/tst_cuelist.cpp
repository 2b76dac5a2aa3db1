#include "wmain.h"
#include "windowtest.h"

#include <QFileDialog>
#include <QMimeData>

using namespace WindowTest;

using Calls = QList<QStringList>;

// The toolkit hands a drop only to a widget that accepted the drag's entry;
// the window's own refusal of a drop is reached directly.
class DropWindow : public WMain
{
public:
    using WMain::dropEvent;
};

// The CUE list as the user sees it: which sheets get in, in what order, how
// a failing sheet is marked, and how entries leave.
class TestCueList : public QObject
{
    Q_OBJECT

public:
    static void initMain() { isolateSettings("tst_cuelist"); }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }

    void adding_data()
    {
        // One list per addFileList call. A name is a file in the test directory,
        // written before the call unless prefixed: "rel:" passes it relative to
        // the working directory, "<bytes>:" gives its size, "missing:" never
        // writes it, "noread:" takes its read permission, "link:" makes it a
        // dangling link.
        QTest::addColumn<Calls>("calls");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("suffix-any-case-blanks-non-ascii") << Calls{{"a.cue", "b.CUE", "c.Cue", "d.cue  ", "e.cue\t", ".cue", "Motörhead – Ace.cue"}} << QStringList{"a.cue", "b.CUE", "c.Cue", "d.cue  ", "e.cue\t", ".cue", "Motörhead – Ace.cue"};
        QTest::newRow("other-suffixes-refused") << Calls{{"x.cue.bak", "x.cuex", "xcue", "x.txt", "x.wav"}} << QStringList{};
        QTest::newRow("up-to-100000-bytes") << Calls{{"0:empty.cue", "100000:full.cue", "100001:over.cue"}} << QStringList{"empty.cue", "full.cue"};
        QTest::newRow("missing-or-dangling-refused") << Calls{{"c.cue", "missing:absent.cue", "link:bad.cue", "a.cue"}} << QStringList{"a.cue", "c.cue"};
        QTest::newRow("unreadable-refused") << Calls{{"noread:bad.cue", "a.cue"}} << QStringList{"a.cue"};
        QTest::newRow("twice-in-one-call") << Calls{{"a.cue", "a.cue"}} << QStringList{"a.cue"};
        QTest::newRow("again-in-later-call") << Calls{{"a.cue"}, {"b.cue", "a.cue"}} << QStringList{"a.cue", "b.cue"};
        QTest::newRow("case-differs-two-entries") << Calls{{"Disc.cue", "disc.cue"}, {"disc.cue"}} << QStringList{"Disc.cue", "disc.cue"};
        QTest::newRow("relative-then-absolute-duplicate") << Calls{{"rel:./a.cue", "rel:sub/../a.cue"}, {"a.cue"}} << QStringList{"a.cue"};
        QTest::newRow("order-after-several-calls") << Calls{{"d.cue", "b.cue"}, {"e.cue"}, {"a.cue", "c.cue"}} << QStringList{"a.cue", "b.cue", "c.cue", "d.cue", "e.cue"};
    }

    void adding()
    {
        QFETCH(Calls, calls);
        QFETCH(QStringList, expected);

        const auto back = qScopeGuard([start = QDir::currentPath()] { QDir::setCurrent(start); });
        QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
        QVERIFY(QDir::setCurrent(path(QString())));
        WMain w;
        for (const QStringList &call : std::as_const(calls)) {
            QStringList lst;
            for (const QString &token : call) {
                const QString kind = token.section(u':', 0, -2), name = token.section(u':', -1);
                if (kind == u"link")
                    QVERIFY(QFile::link(path(QStringLiteral("gone.cue")), path(name)));
                else if (kind != u"missing")
                    QVERIFY(!writeSheet(name, !kind.isEmpty() && kind[0].isDigit() ? kind.toLongLong() : 40).isEmpty());
                if (kind == u"noread" && QFile::setPermissions(path(name), {}) && QFile(path(name)).open(QIODevice::ReadOnly))
                    QSKIP("running as root: a file without read permission is still readable");
                lst << (kind == u"rel" ? name : path(name));
            }
            w.addFileList(lst);
        }
        QCOMPARE(texts(w.cuelist), entries(expected));
        for (int row = 0; row < w.cuelist->count(); ++row)
            QCOMPARE(iconImage(w.cuelist->item(row)->icon()), resourceImage(":/block.png"));
    }

    void selectCue_data()
    {
        // Entries are put into the list directly, so that a row can appear twice.
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QList<int>>("preselected");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QList<int>>("marked");

        const QStringList three{"/d/a.cue", "/d/b.cue", "/d/c.cue"};
        QTest::newRow("marks-the-matching-row") << three << QList<int>{} << "/d/b.cue" << QList<int>{1};
        QTest::newRow("adds-to-the-selection") << three << QList<int>{0} << "/d/c.cue" << QList<int>{2};
        QTest::newRow("every-matching-row") << QStringList{"/d/a.cue", "/d/b.cue", "/d/a.cue"} << QList<int>{} << "/d/a.cue" << QList<int>{0, 2};
        QTest::newRow("case-differs-no-match") << three << QList<int>{1} << "/d/B.cue" << QList<int>{};
        QTest::newRow("prefix-is-no-match") << three << QList<int>{} << "/d/a" << QList<int>{};
    }

    void selectCue()
    {
        QFETCH(QStringList, rows);
        QFETCH(QList<int>, preselected);
        QFETCH(QString, key);
        QFETCH(QList<int>, marked);

        WMain w;
        for (const QString &text : std::as_const(rows))
            new QListWidgetItem(QIcon(QStringLiteral(":/block.png")), text, w.cuelist);
        for (int row : std::as_const(preselected))
            w.cuelist->item(row)->setSelected(true);

        bool delivered = false;
        QMetaObject::invokeMethod(&w, [&delivered] { delivered = true; }, Qt::QueuedConnection);
        w.selectCue(key);
        QVERIFY2(delivered, "the mark must show before the engine goes on");

        // Marked rows join the selection; nothing else changes.
        QList<int> actualMarked, actualSelected, expectedSelected;
        for (int row = 0; row < rows.size(); ++row) {
            if (iconImage(w.cuelist->item(row)->icon()) == resourceImage(":/logerror.png"))
                actualMarked << row;
            if (w.cuelist->item(row)->isSelected())
                actualSelected << row;
            if (marked.contains(row) || preselected.contains(row))
                expectedSelected << row;
        }
        QCOMPARE(actualMarked, marked);
        QCOMPARE(actualSelected, expectedSelected);
    }

    void remove_data()
    {
        QTest::addColumn<bool>("throughRemoveSelected2");
        QTest::addColumn<QStringList>("select");
        QTest::addColumn<QStringList>("remaining");

        QTest::newRow("several-rows") << false << QStringList{"b.cue", "d.cue", "e.cue"} << QStringList{"a.cue", "c.cue"};
        QTest::newRow("removeSelected2-several-rows") << true << QStringList{"a.cue", "c.cue"} << QStringList{"b.cue", "d.cue", "e.cue"};
        QTest::newRow("nothing-selected") << false << QStringList{} << QStringList{"a.cue", "b.cue", "c.cue", "d.cue", "e.cue"};
    }

    void remove()
    {
        QFETCH(bool, throughRemoveSelected2);
        QFETCH(QStringList, select);
        QFETCH(QStringList, remaining);

        WMain w;
        for (const char *name : {"a.cue", "b.cue", "c.cue", "d.cue", "e.cue"})
            w.addFileList({writeSheet(QString::fromLatin1(name))});
        for (int row = 0; row < w.cuelist->count(); ++row)
            w.cuelist->item(row)->setSelected(select.contains(QFileInfo(w.cuelist->item(row)->text()).fileName()));

        QSignalSpy triggered(w.actionRemove, &QAction::triggered);
        if (throughRemoveSelected2)
            QVERIFY(QMetaObject::invokeMethod(&w, "on_removeSelected2_triggered"));
        else
            w.actionRemove->trigger();
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(texts(w.cuelist), entries(remaining));
    }

    void drops_data()
    {
        // "file:" URLs name sheets written in the test directory; others are
        // taken as written. No URLs at all means a text drag.
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<bool>("runInProgress");
        QTest::addColumn<QStringList>("listed");

        QTest::newRow("mixed-urls") << QStringList{"file:a.cue", "file:notes.txt", "http://example.invalid/b.cue", "file:c.Cue", "file:x.cue.bak"} << false << QStringList{"a.cue", "c.Cue"};
        QTest::newRow("refused-during-run") << QStringList{"file:a.cue"} << true << QStringList{};
        QTest::newRow("text-without-urls") << QStringList{} << false << QStringList{};
    }

    void drops()
    {
        QFETCH(QStringList, urls);
        QFETCH(bool, runInProgress);
        QFETCH(QStringList, listed);
        const bool accepted = !runInProgress && !urls.isEmpty();

        DropWindow w;
        w.actionStop->setEnabled(runInProgress);
        QMimeData mime;
        mime.setText(writeSheet(QStringLiteral("typed.cue")));
        QList<QUrl> list;
        for (const QString &url : std::as_const(urls))
            list << (url.startsWith(u"file:") ? QUrl::fromLocalFile(writeSheet(url.mid(5))) : QUrl(url));
        if (!list.isEmpty())
            mime.setUrls(list);

        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        w.dropEvent(&drop);
        QCOMPARE(drop.isAccepted(), accepted);
        QCOMPARE(texts(w.cuelist), entries(listed));
    }

    void addDialog()
    {
        WMain w;
        w.addFileList({writeSheet(QStringLiteral("old.cue"))});
        QVERIFY(!writeSheet(QStringLiteral("new.cue")).isEmpty());
        w.cuelist->item(0)->setSelected(true);
        // Cancelled first, which changes nothing; then new.cue is chosen.
        for (const QString &choose : {QString(), QStringLiteral("new.cue")}) {
            QStringList seen;
            onNextModal([&](QWidget *modal) {
                auto *dialog = qobject_cast<QFileDialog *>(modal);
                seen << modal->windowTitle() << (dialog ? dialog->nameFilters().join(u';') : QString())
                     << QString::number(dialog && dialog->fileMode() == QFileDialog::ExistingFiles && dialog->parentWidget() == &w);
                if (!dialog || choose.isEmpty()) {
                    modal->close();
                    return;
                }
                dialog->setDirectory(path(QString()));
                dialog->selectFile(choose);
                // QFileDialog hides accept(); through the base it still runs its own.
                static_cast<QDialog *>(dialog)->accept();
            });
            w.actionAdd->trigger();
            QCOMPARE(seen, QStringList({"Add CUE files", "CUE files (*.cue)", "1"}));
            QCOMPARE(texts(w.cuelist), entries(QStringList{"old.cue", choose}.filter(".cue")));
            QCOMPARE(texts(w.cuelist, true), entries({"old.cue"}));
        }
    }

private:
    // Relative paths resolve against the working directory, which the system
    // reports without symbolic links.
    QString path(const QString &name) const { return QFileInfo(m_dir->path()).canonicalFilePath() + u'/' + name; }
    QString writeSheet(const QString &name, qint64 size = 40)
    {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size ? file.fileName() : QString();
    }

    QStringList entries(const QStringList &names) const
    {
        QStringList result;
        for (const QString &name : names)
            result << QDir::toNativeSeparators(path(name));
        return inListOrder(result);
    }

    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestCueList)

#include "tst_cuelist.moc"
