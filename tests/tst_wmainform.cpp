#include "wmain.h"
#include "windowtest.h"

#include <QMenuBar>
#include <QMetaMethod>
#include <QToolBar>

using namespace WindowTest;

// Compiles only while these slots can be overridden.
class Overrides : public WMain
{
    void addFileList(QStringList lst) override;
    void selectCue(const QString &s_) override;
    void lognormal(const QString &s) override;
    void logerror(const QString &s) override;
    int unpackCue(const QString &fname, bool checkOnly) override;
};
static_assert(std::is_base_of_v<Ui_WMain, WMain>);

// The window as the form builds it: its slot table, what it says, how the
// keyboard reaches it, and how it stands right after construction.
class TestWMainForm : public QObject
{
    Q_OBJECT

public:
    static void initMain() { isolateSettings("tst_wmainform"); }

private slots:
    void slotTable()
    {
        const QMetaObject &mo = WMain::staticMetaObject;
        QByteArrayList actual;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            const QMetaMethod m = mo.method(i);
            QVERIFY(m.methodType() == QMetaMethod::Slot && m.access() == QMetaMethod::Public);
            actual << (QByteArray(m.typeName()) + ' ' + m.methodSignature() + ' ' + m.parameterNames().join(',')).trimmed();
        }
        QCOMPARE(actual, QByteArrayList({
            "void on_actionStartExtraction_triggered()", "void on_actionStop_triggered()", "void on_btnBrowse_clicked()", "void on_destPath_editingFinished()",
            "void on_actionAdd_triggered()", "void on_actionRemove_triggered()", "void on_actionQuit_triggered()", "void on_btnClearLog_clicked()",
            "void on_trackFormat_textChanged(QString)", "void on_actionAbout_triggered()", "void on_btnStop_clicked()", "void on_btnExtract_clicked()",
            "void on_removeSelected2_triggered()", "int unpackCue(QString,bool) fname,checkOnly", "void addFileList(QStringList) lst",
            "void selectCue(QString) s_", "void lognormal(QString) s", "void logerror(QString) s", "void doExtract()"}));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("iconText");
        QTest::addColumn<QString>("shortcut");
        auto row = [](const char *name, const char *text, const char *iconText = "", const char *shortcut = "") {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(text) << QString::fromLatin1(iconText) << QString::fromLatin1(shortcut);
        };
        row("WMain", "Splitmere 1.1");
        row("actionAdd", "&Add CUE files...", "Add CUE files...", "Ins");
        row("actionQuit", "E&xit", "E&xit");
        row("actionStartExtraction", "Start &extraction", "Start extraction", "Alt+E");
        row("actionRemove", "&Remove selected ", "Remove selected ", "Backspace");
        row("actionAbout", "&About...", "About...");
        row("actionStop", "&Stop extraction", "Stop extraction", "Alt+S");
        row("textLabel1", "Log:");
        row("btnClearLog", "Clear");
        row("btnBrowse", "...");
        row("textLabel2", "&Destination path:");
        row("subArtist", "Create subfolders for A&rtists", "", "Alt+R");
        row("subAlbum", "Create subfolders for Al&bums", "", "Alt+B");
        row("cbOverwrite", "&Overwrite existing files", "", "Alt+O");
        row("textLabel3", "&Track file name format:");
        row("textLabel4", "%1 = Track Number\n%2 = Artist\n%3 = Track Name\n%4 = Album");
        row("btnExtract", "&Extract", "", "Ctrl+Alt+Shift+3");
        row("btnStop", "&Stop", "", "Ctrl+Alt+Shift+4");
        row("File", "&File");
        row("Help", "&Help");
        row("toolBar", "Toolbar");
    }

    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, iconText);
        QFETCH(QString, shortcut);

        WMain w;
        QObject *object = name == w.objectName() ? &w : w.findChild<QObject *>(name);
        QVERIFY(object);
        const char *property = object->property("text").isValid() ? "text" : object->property("title").isValid() ? "title" : "windowTitle";
        QCOMPARE(object->property(property).toString(), text);
        QCOMPARE(object->property("shortcut").value<QKeySequence>(), QKeySequence::fromString(shortcut));
        if (auto *action = qobject_cast<QAction *>(object)) {
            QCOMPARE(action->iconText(), iconText);
            // One key each: Remove must no longer answer to Del as well.
            QCOMPARE(action->shortcuts().size(), shortcut.isEmpty() ? 0 : 1);
        }
    }

    void asConstructed()
    {
        WMain w;
        QCOMPARE(w.size(), QSize(742, 539));
        // The form caps the free side of a fixed dimension at 32767.
        const int big = QWIDGETSIZE_MAX;
        const QList<std::tuple<QWidget *, QSize, QSize>> limits{
            {w.frame3, {0, 140}, {32767, 140}}, {w.frame4, {300, 0}, {300, 32767}}, {w.btnClearLog, {64, 0}, {64, 32767}},
            {w.btnBrowse, {20, 20}, {big, big}}, {w.btnExtract, {0, 32}, {big, big}}, {w.btnStop, {0, 32}, {big, big}}};
        for (const auto &[widget, minimum, maximum] : limits)
            QVERIFY2(widget->minimumSize() == minimum && widget->maximumSize() == maximum, qPrintable(widget->objectName()));

        const QList<QPair<QWidget *, QStringList>> contents{
            {w.MenuBarEditor, {"File", "-", "Help"}}, {w.Help, {"actionAbout"}}, {w.toolBar, {"actionAdd", "actionRemove"}},
            {w.File, {"actionAdd", "actionRemove", "actionStartExtraction", "actionStop", "-", "actionQuit"}}};
        for (const auto &[container, names] : contents) {
            QStringList actual;
            for (QAction *a : container->actions())
                actual << (a->isSeparator() ? QStringLiteral("-") : a->menu() ? a->menu()->objectName() : a->objectName());
            QCOMPARE(actual, names);
        }

        const QStringList tabStops{"cuelist", "destPath", "btnBrowse", "subArtist", "subAlbum", "cbOverwrite",
                                   "trackFormat", "btnExtract", "btnStop", "btnClearLog", "loglist"};
        QStringList chain{w.cuelist->objectName()};
        // The chain also holds the combo box's inner line edit and the
        // unfocusable containers; only the form's tab stops count.
        for (QWidget *next = w.cuelist->nextInFocusChain(); next != w.cuelist && chain.size() <= tabStops.size();
             next = next->nextInFocusChain())
            if (tabStops.contains(next->objectName()))
                chain << next->objectName();
        QCOMPARE(chain, tabStops);

        QVERIFY(w.acceptDrops());
        const QList<QObject *> enabled{w.actionAdd, w.actionQuit, w.actionStartExtraction, w.actionRemove, w.actionAbout, w.btnExtract,
                                       w.cuelist, w.destPath, w.btnBrowse, w.subArtist, w.subAlbum, w.cbOverwrite, w.trackFormat, w.btnClearLog};
        for (QObject *object : enabled)
            QVERIFY2(object->property("enabled").toBool(), qPrintable(object->objectName()));
        QVERIFY(!w.actionStop->isEnabled() && !w.btnStop->isEnabled());

        QStringList presets;
        for (int i = 0; i < w.trackFormat->count(); ++i)
            presets << w.trackFormat->itemText(i);
        QCOMPARE(presets, QStringList({"%3", "%1 %3", "%2 - %3", "%1 %2 - %3"}));
        QCOMPARE(w.trackFormat->currentIndex(), 3);
        QCOMPARE(w.trackFormatLabel->text(), QStringLiteral("01 Artist - Track Name.wav"));
        QCOMPARE(w.trackFormatLabel->font().weight(), QFont::Bold);
        QCOMPARE(w.textLabel2->buddy(), w.destPath);
        QCOMPARE(w.textLabel3->buddy(), w.trackFormat);
    }

    void keys_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("removals");
        QTest::addColumn<QString>("focused");

        QTest::newRow("backspace-removes") << "Backspace" << 1 << "cuelist";
        QTest::newRow("del-does-not-remove") << "Del" << 0 << "cuelist";
        QTest::newRow("alt-d-focuses-destination") << "Alt+D" << 0 << "destPath";
        QTest::newRow("alt-t-focuses-format") << "Alt+T" << 0 << "trackFormat";
    }

    void keys()
    {
        QFETCH(QString, keys);
        QFETCH(int, removals);
        QFETCH(QString, focused);

        WMain w;
        QSignalSpy removed(w.actionRemove, &QAction::triggered);
        QVERIFY(showActive(w));
        QTRY_COMPARE(QApplication::focusWidget(), w.cuelist);

        const QKeyCombination key = QKeySequence(keys, QKeySequence::PortableText)[0];
        QTest::keyClick(w.cuelist, key.key(), key.keyboardModifiers());
        QTRY_COMPARE(QApplication::focusWidget()->objectName(), focused);
        QCOMPARE(removed.count(), removals);
    }
};

QTEST_MAIN(TestWMainForm)

#include "tst_wmainform.moc"
