#include "wmain.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

// The window as the form builds it: what is there, where, what it says, and
// how the keyboard reaches it.
class TestWMainForm : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void slotTable_data();
    void slotTable();
    void slotsDispatchVirtually();
    void widgets_data();
    void widgets();
    void texts_data();
    void texts();
    void properties_data();
    void properties();
    void icons_data();
    void icons();
    void containers_data();
    void containers();
    void focusOrder();
    void presets();
    void buddies_data();
    void buddies();
    void sizes_data();
    void sizes();
    void windowState_data();
    void windowState();
    void metaCast_data();
    void metaCast();
    void startsWithListFocused();
    void previewShowsLoadedFormat();
    void keyboard_data();
    void keyboard();
    void mnemonicsFocusBuddies_data();
    void mnemonicsFocusBuddies();
};

namespace {

QString actionName(QAction *a)
{
    if (a->isSeparator())
        return QStringLiteral("-");
    if (QMenu *menu = a->menu())
        return menu->objectName();
    return a->objectName();
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(16).toImage();
}

// The window as the user meets it: shown and holding the keyboard.
bool showActive(WMain &w)
{
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

} // namespace

void TestWMainForm::init()
{
    // Every window starts from an empty store, as on a first start.
    QSettings().clear();
}

void TestWMainForm::slotTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QByteArray>("returnType");
    QTest::addColumn<QByteArrayList>("parameterNames");

    const QByteArrayList none;
    QTest::newRow("start-extraction") << 0 << QByteArray("on_actionStartExtraction_triggered()") << QByteArray("void") << none;
    QTest::newRow("stop") << 1 << QByteArray("on_actionStop_triggered()") << QByteArray("void") << none;
    QTest::newRow("browse") << 2 << QByteArray("on_btnBrowse_clicked()") << QByteArray("void") << none;
    QTest::newRow("dest-editing-finished") << 3 << QByteArray("on_destPath_editingFinished()") << QByteArray("void") << none;
    QTest::newRow("add") << 4 << QByteArray("on_actionAdd_triggered()") << QByteArray("void") << none;
    QTest::newRow("remove") << 5 << QByteArray("on_actionRemove_triggered()") << QByteArray("void") << none;
    QTest::newRow("quit") << 6 << QByteArray("on_actionQuit_triggered()") << QByteArray("void") << none;
    QTest::newRow("clear-log") << 7 << QByteArray("on_btnClearLog_clicked()") << QByteArray("void") << none;
    QTest::newRow("format-changed") << 8 << QByteArray("on_trackFormat_textChanged(QString)") << QByteArray("void") << QByteArrayList{QByteArray()};
    QTest::newRow("about") << 9 << QByteArray("on_actionAbout_triggered()") << QByteArray("void") << none;
    QTest::newRow("stop-button") << 10 << QByteArray("on_btnStop_clicked()") << QByteArray("void") << none;
    QTest::newRow("extract-button") << 11 << QByteArray("on_btnExtract_clicked()") << QByteArray("void") << none;
    QTest::newRow("remove-selected2") << 12 << QByteArray("on_removeSelected2_triggered()") << QByteArray("void") << none;
    QTest::newRow("unpack-cue") << 13 << QByteArray("unpackCue(QString,bool)") << QByteArray("int") << QByteArrayList{"fname", "checkOnly"};
    QTest::newRow("add-file-list") << 14 << QByteArray("addFileList(QStringList)") << QByteArray("void") << QByteArrayList{"lst"};
    QTest::newRow("select-cue") << 15 << QByteArray("selectCue(QString)") << QByteArray("void") << QByteArrayList{"s_"};
    QTest::newRow("lognormal") << 16 << QByteArray("lognormal(QString)") << QByteArray("void") << QByteArrayList{"s"};
    QTest::newRow("logerror") << 17 << QByteArray("logerror(QString)") << QByteArray("void") << QByteArrayList{"s"};
    QTest::newRow("do-extract") << 18 << QByteArray("doExtract()") << QByteArray("void") << none;
}

void TestWMainForm::slotTable()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(QByteArray, returnType);
    QFETCH(QByteArrayList, parameterNames);

    const QMetaObject &mo = WMain::staticMetaObject;
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 19);
    const QMetaMethod m = mo.method(mo.methodOffset() + index);
    QCOMPARE(m.methodSignature(), signature);
    QCOMPARE(m.methodType(), QMetaMethod::Slot);
    QCOMPARE(m.access(), QMetaMethod::Public);
    QCOMPARE(QByteArray(m.typeName()), returnType);
    QCOMPARE(m.parameterNames(), parameterNames);
}

namespace {

// Overrides reached through the meta-object prove the slots are virtual.
class ProbeWindow : public WMain
{
public:
    void addFileList(QStringList lst) override { calls << QStringLiteral("add:") + lst.join(u','); }
    void selectCue(const QString &s_) override { calls << QStringLiteral("select:") + s_; }
    void lognormal(const QString &s) override { calls << QStringLiteral("normal:") + s; }
    void logerror(const QString &s) override { calls << QStringLiteral("error:") + s; }
    int unpackCue(const QString &fname, bool) override
    {
        calls << QStringLiteral("unpack:") + fname;
        return 7;
    }
    QStringList calls;
};

} // namespace

void TestWMainForm::slotsDispatchVirtually()
{
    ProbeWindow w;
    const QStringList list{"a", "b"};
    QVERIFY(QMetaObject::invokeMethod(&w, "addFileList", Q_ARG(QStringList, list)));
    QVERIFY(QMetaObject::invokeMethod(&w, "selectCue", Q_ARG(QString, "c")));
    QVERIFY(QMetaObject::invokeMethod(&w, "lognormal", Q_ARG(QString, "d")));
    QVERIFY(QMetaObject::invokeMethod(&w, "logerror", Q_ARG(QString, "e")));
    int result = 0;
    QVERIFY(QMetaObject::invokeMethod(&w, "unpackCue", Q_RETURN_ARG(int, result),
                                      Q_ARG(QString, "f"), Q_ARG(bool, true)));
    QCOMPARE(result, 7);
    QCOMPARE(w.calls, QStringList({"add:a,b", "select:c", "normal:d", "error:e", "unpack:f"}));
}

void TestWMainForm::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("layoutName");
    QTest::addColumn<QList<int>>("cell");

    const QList<int> noCell;
    auto row = [](const char *name, const char *cls, const char *parent, const char *layout,
                  const QList<int> &cell) {
        QTest::newRow(name) << QString::fromLatin1(name) << QByteArray(cls)
                            << QString::fromLatin1(parent) << QString::fromLatin1(layout) << cell;
    };
    row("actionAdd", "QAction", "WMain", "", noCell);
    row("actionQuit", "QAction", "WMain", "", noCell);
    row("actionStartExtraction", "QAction", "WMain", "", noCell);
    row("actionRemove", "QAction", "WMain", "", noCell);
    row("actionAbout", "QAction", "WMain", "", noCell);
    row("actionStop", "QAction", "WMain", "", noCell);
    row("layoutWidget", "QWidget", "WMain", "", noCell);
    row("gridLayout", "QGridLayout", "layoutWidget", "", noCell);
    row("cuelist", "QListWidget", "layoutWidget", "gridLayout", {0, 0, 1, 1});
    row("frame3", "QFrame", "layoutWidget", "gridLayout", {1, 0, 1, 2});
    row("gridLayout1", "QGridLayout", "frame3", "", noCell);
    row("loglist", "QListWidget", "frame3", "gridLayout1", {2, 0, 1, 2});
    row("line1", "QFrame", "frame3", "gridLayout1", {0, 0, 1, 2});
    row("textLabel1", "QLabel", "frame3", "gridLayout1", {1, 0, 1, 1});
    row("btnClearLog", "QToolButton", "frame3", "gridLayout1", {1, 1, 1, 1});
    row("frame4", "QFrame", "layoutWidget", "gridLayout", {0, 1, 1, 1});
    row("gridLayout2", "QGridLayout", "frame4", "", noCell);
    row("destPath", "QLineEdit", "frame4", "gridLayout2", {1, 0, 1, 1});
    row("btnBrowse", "QToolButton", "frame4", "gridLayout2", {1, 1, 1, 1});
    row("textLabel2", "QLabel", "frame4", "gridLayout2", {0, 0, 1, 1});
    row("subArtist", "QCheckBox", "frame4", "gridLayout2", {2, 0, 1, 2});
    row("trackFormat", "QComboBox", "frame4", "gridLayout2", {6, 0, 1, 2});
    row("subAlbum", "QCheckBox", "frame4", "gridLayout2", {3, 0, 1, 2});
    row("cbOverwrite", "QCheckBox", "frame4", "gridLayout2", {4, 0, 1, 2});
    row("textLabel3", "QLabel", "frame4", "gridLayout2", {5, 0, 1, 2});
    row("hboxLayout", "QHBoxLayout", "gridLayout2", "gridLayout2", {10, 0, 1, 2});
    row("btnExtract", "QPushButton", "frame4", "hboxLayout", {1});
    row("btnStop", "QPushButton", "frame4", "hboxLayout", {2});
    row("textLabel4", "QLabel", "frame4", "gridLayout2", {8, 0, 1, 2});
    row("trackFormatLabel", "QLabel", "frame4", "gridLayout2", {7, 0, 1, 2});
    row("MenuBarEditor", "QMenuBar", "WMain", "", noCell);
    row("File", "QMenu", "MenuBarEditor", "", noCell);
    row("Help", "QMenu", "MenuBarEditor", "", noCell);
    row("toolBar", "QToolBar", "WMain", "", noCell);
}

void TestWMainForm::widgets()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);
    QFETCH(QString, parentName);
    QFETCH(QString, layoutName);
    QFETCH(QList<int>, cell);

    WMain w;
    QCOMPARE(w.objectName(), QStringLiteral("WMain"));
    const QList<QObject *> found = w.findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QByteArray(object->metaObject()->className()), className);
    QVERIFY(object->parent());
    QCOMPARE(object->parent()->objectName(), parentName);
    if (layoutName.isEmpty())
        return;

    auto *layout = w.findChild<QLayout *>(layoutName);
    QVERIFY(layout);
    int index = -1;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == object || item->layout() == object)
            index = i;
    }
    QVERIFY2(index >= 0, "not placed in the expected layout");
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), cell);
    } else {
        QCOMPARE(QList<int>({index}), cell);
    }
}

void TestWMainForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("iconText");
    QTest::addColumn<QString>("shortcut");

    auto row = [](const char *tag, const char *name, const char *property, const char *text,
                  const char *iconText, const char *shortcut) {
        QTest::newRow(tag) << QString::fromLatin1(name) << QString::fromLatin1(property)
                           << QString::fromLatin1(text) << QString::fromLatin1(iconText)
                           << QString::fromLatin1(shortcut);
    };
    row("window-title", "WMain", "windowTitle", "Splitmere 1.1", "", "");
    row("action-add", "actionAdd", "text", "&Add CUE files...", "Add CUE files...", "Ins");
    row("action-quit", "actionQuit", "text", "E&xit", "E&xit", "");
    row("action-start", "actionStartExtraction", "text", "Start &extraction", "Start extraction", "Alt+E");
    row("action-remove-backspace", "actionRemove", "text", "&Remove selected ", "Remove selected ", "Backspace");
    row("action-about", "actionAbout", "text", "&About...", "About...", "");
    row("action-stop", "actionStop", "text", "&Stop extraction", "Stop extraction", "Alt+S");
    row("log-label", "textLabel1", "text", "Log:", "", "");
    row("clear-button", "btnClearLog", "text", "Clear", "", "");
    row("browse-button", "btnBrowse", "text", "...", "", "");
    row("destination-label", "textLabel2", "text", "&Destination path:", "", "");
    row("artist-box", "subArtist", "text", "Create subfolders for A&rtists", "", "Alt+R");
    row("album-box", "subAlbum", "text", "Create subfolders for Al&bums", "", "Alt+B");
    row("overwrite-box", "cbOverwrite", "text", "&Overwrite existing files", "", "Alt+O");
    row("format-label", "textLabel3", "text", "&Track file name format:", "", "");
    row("extract-button", "btnExtract", "text", "&Extract", "", "Ctrl+Alt+Shift+3");
    row("stop-button", "btnStop", "text", "&Stop", "", "Ctrl+Alt+Shift+4");
    row("legend", "textLabel4", "text", "%1 = Track Number\n%2 = Artist\n%3 = Track Name\n%4 = Album", "", "");
    row("file-menu", "File", "title", "&File", "", "");
    row("help-menu", "Help", "title", "&Help", "", "");
    row("tool-bar", "toolBar", "windowTitle", "Toolbar", "", "");
}

void TestWMainForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, property);
    QFETCH(QString, text);
    QFETCH(QString, iconText);
    QFETCH(QString, shortcut);

    WMain w;
    QObject *object = name == w.objectName() ? &w : w.findChild<QObject *>(name);
    QVERIFY(object);
    QCOMPARE(object->property(property.toLatin1()).toString(), text);
    if (auto *action = qobject_cast<QAction *>(object)) {
        QCOMPARE(action->iconText(), iconText);
        // One key only: the Remove action must not keep answering to Del.
        const QList<QKeySequence> keys = action->shortcuts();
        QCOMPARE(keys.size(), shortcut.isEmpty() ? 0 : 1);
    }
    if (object->metaObject()->indexOfProperty("shortcut") >= 0) {
        const auto keys = object->property("shortcut").value<QKeySequence>();
        QCOMPARE(keys, QKeySequence(shortcut, QKeySequence::PortableText));
    } else {
        QVERIFY(shortcut.isEmpty());
    }
}

void TestWMainForm::properties_data()
{
    // Enumerations are compared by their key names.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *name, const char *property, const char *expected) {
        QTest::newRow(QByteArray(name) + '-' + property)
            << QString::fromLatin1(name) << QString::fromLatin1(property)
            << QString::fromLatin1(expected);
    };
    row("cuelist", "selectionMode", "ExtendedSelection");
    row("cuelist", "selectionBehavior", "SelectRows");
    row("cuelist", "styleSheet", "::item {\npadding:5px;\n}\n");
    row("loglist", "selectionMode", "NoSelection");
    row("trackFormat", "editable", "true");
    row("toolBar", "styleSheet",
        "QToolBar {\nborder:none;\nmargin-left:0px;\npadding:0px;\npadding-left:2px;\n"
        "margin-top:2px;\nmargin-bottom:0px;\n}\nQToolButton {\nmargin-left:5px;\npadding:2px;\n}");
}

void TestWMainForm::properties()
{
    QFETCH(QString, name);
    QFETCH(QString, property);
    QFETCH(QString, expected);

    WMain w;
    QObject *object = w.findChild<QObject *>(name);
    QVERIFY(object);
    const QMetaObject *mo = object->metaObject();
    const QMetaProperty meta = mo->property(mo->indexOfProperty(property.toLatin1()));
    QVERIFY(meta.isValid());
    const QVariant value = meta.read(object);
    const QString actual = meta.isEnumType()
        ? QString::fromLatin1(meta.enumerator().valueToKey(value.toInt()))
        : value.toString();
    QCOMPARE(actual, expected);
}

void TestWMainForm::icons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("iconPath");

    QTest::newRow("action-add") << "actionAdd" << ":/addfiles.png";
    QTest::newRow("action-quit-none") << "actionQuit" << "";
    QTest::newRow("action-start") << "actionStartExtraction" << ":/gear.png";
    QTest::newRow("action-remove") << "actionRemove" << ":/editdelete.png";
    QTest::newRow("action-about-none") << "actionAbout" << "";
    QTest::newRow("action-stop") << "actionStop" << ":/stopme.png";
    QTest::newRow("extract-button") << "btnExtract" << ":/gear.png";
    QTest::newRow("stop-button") << "btnStop" << ":/stopme.png";
}

void TestWMainForm::icons()
{
    QFETCH(QString, name);
    QFETCH(QString, iconPath);

    WMain w;
    QObject *object = w.findChild<QObject *>(name);
    QVERIFY(object);
    const auto icon = object->property("icon").value<QIcon>();
    if (iconPath.isEmpty()) {
        QVERIFY(icon.isNull());
        return;
    }
    const QImage expected = iconImage(QIcon(iconPath));
    QVERIFY2(!expected.isNull(), "icon bundle not registered");
    QCOMPARE(iconImage(icon), expected);
}

void TestWMainForm::containers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("contents");

    QTest::newRow("menu-bar") << "MenuBarEditor" << QStringList{"File", "-", "Help"};
    QTest::newRow("file-menu") << "File"
                               << QStringList{"actionAdd", "actionRemove", "actionStartExtraction",
                                              "actionStop", "-", "actionQuit"};
    QTest::newRow("help-menu") << "Help" << QStringList{"actionAbout"};
    QTest::newRow("tool-bar") << "toolBar" << QStringList{"actionAdd", "actionRemove"};
}

void TestWMainForm::containers()
{
    QFETCH(QString, name);
    QFETCH(QStringList, contents);

    WMain w;
    auto *widget = w.findChild<QWidget *>(name);
    QVERIFY(widget);
    QStringList actual;
    for (QAction *a : widget->actions())
        actual << actionName(a);
    QCOMPARE(actual, contents);

    QCOMPARE(w.menuBar(), w.MenuBarEditor);
    QCOMPARE(w.toolBarArea(w.toolBar), Qt::TopToolBarArea);
    QVERIFY(!w.toolBar->isMovable());
    QCOMPARE(w.toolBar->allowedAreas(), Qt::TopToolBarArea);
    QCOMPARE(w.toolBar->iconSize(), QSize(16, 16));
    QCOMPARE(w.toolBar->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
}

void TestWMainForm::focusOrder()
{
    WMain w;
    const QStringList expected{"cuelist", "destPath", "btnBrowse", "subArtist", "subAlbum",
                               "cbOverwrite", "trackFormat", "btnExtract", "btnStop",
                               "btnClearLog", "loglist"};
    const QSet<QString> named(expected.cbegin(), expected.cend());
    QStringList actual{w.cuelist->objectName()};
    for (QWidget *next = w.cuelist->nextInFocusChain(); next != w.cuelist;
         next = next->nextInFocusChain()) {
        // The chain also holds the combo box's inner line edit and the
        // unfocusable containers; only the form's tab stops count.
        if (named.contains(next->objectName()))
            actual << next->objectName();
        QVERIFY(actual.size() <= expected.size());
    }
    QCOMPARE(actual, expected);
}

void TestWMainForm::presets()
{
    WMain w;
    QStringList items;
    for (int i = 0; i < w.trackFormat->count(); ++i)
        items << w.trackFormat->itemText(i);
    QCOMPARE(items, QStringList({"%3", "%1 %3", "%2 - %3", "%1 %2 - %3"}));
    QCOMPARE(w.trackFormat->currentIndex(), 3);
    QVERIFY(w.trackFormat->isEditable());
}

void TestWMainForm::buddies_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("buddy");

    QTest::newRow("destination") << "textLabel2" << "destPath";
    QTest::newRow("format") << "textLabel3" << "trackFormat";
    QTest::newRow("log-none") << "textLabel1" << "";
    QTest::newRow("legend-none") << "textLabel4" << "";
}

void TestWMainForm::buddies()
{
    QFETCH(QString, label);
    QFETCH(QString, buddy);

    WMain w;
    auto *l = w.findChild<QLabel *>(label);
    QVERIFY(l);
    QCOMPARE(l->buddy() ? l->buddy()->objectName() : QString(), buddy);
}

void TestWMainForm::sizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");

    // The form caps the fixed dimensions' other side at 32767, not at the
    // toolkit's own unbounded value.
    const int capped = 32767;
    const int big = QWIDGETSIZE_MAX;
    QTest::newRow("log-frame-height") << "frame3" << QSize(0, 140) << QSize(capped, 140);
    QTest::newRow("settings-frame-width") << "frame4" << QSize(300, 0) << QSize(300, capped);
    QTest::newRow("clear-button-width") << "btnClearLog" << QSize(64, 0) << QSize(64, capped);
    QTest::newRow("browse-button") << "btnBrowse" << QSize(20, 20) << QSize(big, big);
    QTest::newRow("extract-button-raised") << "btnExtract" << QSize(0, 32) << QSize(big, big);
    QTest::newRow("stop-button-raised") << "btnStop" << QSize(0, 32) << QSize(big, big);
}

void TestWMainForm::sizes()
{
    QFETCH(QString, name);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);

    WMain w;
    auto *widget = w.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->minimumSize(), minimum);
    QCOMPARE(widget->maximumSize(), maximum);
}

void TestWMainForm::windowState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");

    const char *enabledOnes[] = {"actionAdd", "actionQuit", "actionStartExtraction",
                                 "actionRemove", "actionAbout", "btnExtract", "cuelist",
                                 "destPath", "btnBrowse", "trackFormat", "btnClearLog"};
    for (const char *name : enabledOnes)
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    QTest::newRow("actionStop") << "actionStop" << false;
    QTest::newRow("btnStop") << "btnStop" << false;
}

void TestWMainForm::windowState()
{
    QFETCH(QString, name);
    QFETCH(bool, enabled);

    WMain w;
    QCOMPARE(w.size(), QSize(742, 539));
    QVERIFY(w.acceptDrops());
    QVERIFY(!w.stopRequested);
    QVERIFY(w.parent() == nullptr);
    QObject *object = w.findChild<QObject *>(name);
    QVERIFY(object);
    QCOMPARE(object->property("enabled").toBool(), enabled);
}

void TestWMainForm::metaCast_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<int>("expected");

    enum { Null, Window, Form };
    QTest::newRow("window") << QByteArray("WMain") << int(Window);
    QTest::newRow("form-part") << QByteArray("Ui_WMain") << int(Form);
    QTest::newRow("main-window-base") << QByteArray("QMainWindow") << int(Window);
    QTest::newRow("widget-base") << QByteArray("QWidget") << int(Window);
    QTest::newRow("unrelated") << QByteArray("QDialog") << int(Null);
}

void TestWMainForm::metaCast()
{
    QFETCH(QByteArray, className);
    QFETCH(int, expected);

    WMain w;
    const void *pointers[] = {nullptr, static_cast<QObject *>(&w), static_cast<Ui_WMain *>(&w)};
    // The form part sits after the window's base, at another address.
    QVERIFY(pointers[1] != pointers[2]);
    QCOMPARE(static_cast<const void *>(w.qt_metacast(className.constData())), pointers[expected]);
    QCOMPARE(qobject_cast<WMain *>(static_cast<QObject *>(&w)), &w);
}

void TestWMainForm::startsWithListFocused()
{
    WMain w;
    QCOMPARE(w.focusWidget(), w.cuelist);
    QVERIFY(showActive(w));
    QTRY_COMPARE(QApplication::focusWidget(), w.cuelist);
}

void TestWMainForm::previewShowsLoadedFormat()
{
    WMain w;
    QCOMPARE(w.trackFormat->currentText(), QStringLiteral("%1 %2 - %3"));
    QCOMPARE(w.trackFormatLabel->text(), QStringLiteral("01 Artist - Track Name.wav"));
    QCOMPARE(w.trackFormatLabel->font().weight(), QFont::Bold);
}

void TestWMainForm::keyboard_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("enableFirst");
    QTest::addColumn<int>("fired");

    QTest::newRow("backspace-removes") << "Backspace" << "actionRemove" << false << 1;
    QTest::newRow("del-does-not-remove") << "Del" << "actionRemove" << false << 0;
    QTest::newRow("insert-adds") << "Ins" << "actionAdd" << false << 1;
    QTest::newRow("alt-e-starts") << "Alt+E" << "actionStartExtraction" << false << 1;
    QTest::newRow("alt-s-stops-during-run") << "Alt+S" << "actionStop" << true << 1;
    QTest::newRow("alt-s-idle-ignored") << "Alt+S" << "actionStop" << false << 0;
    QTest::newRow("ctrl-alt-shift-3-extracts") << "Ctrl+Alt+Shift+3" << "btnExtract" << false << 1;
    QTest::newRow("ctrl-alt-shift-4-stops") << "Ctrl+Alt+Shift+4" << "btnStop" << true << 1;
    QTest::newRow("alt-r-artists") << "Alt+R" << "subArtist" << false << 1;
    QTest::newRow("alt-b-albums") << "Alt+B" << "subAlbum" << false << 1;
    QTest::newRow("alt-o-overwrite") << "Alt+O" << "cbOverwrite" << false << 1;
}

void TestWMainForm::keyboard()
{
    QFETCH(QString, keys);
    QFETCH(QString, target);
    QFETCH(bool, enableFirst);
    QFETCH(int, fired);

    WMain w;
    QObject *object = w.findChild<QObject *>(target);
    QVERIFY(object);
    // Only the key binding is under test here: the window's own slots (dialogs,
    // runs) stay out of it.
    QObject::disconnect(object, nullptr, &w, nullptr);
    if (enableFirst)
        object->setProperty("enabled", true);
    const char *signal = qobject_cast<QAction *>(object) ? SIGNAL(triggered(bool))
                                                           : SIGNAL(clicked(bool));
    QSignalSpy spy(object, signal);
    QVERIFY(showActive(w));

    const QKeyCombination key = QKeySequence(keys, QKeySequence::PortableText)[0];
    QTest::keyClick(w.cuelist, key.key(), key.keyboardModifiers());
    // Buttons answer their shortcut with an animated click, a moment later.
    if (fired > 0)
        QTRY_COMPARE(spy.count(), fired);
    QCOMPARE(spy.count(), fired);
}

void TestWMainForm::mnemonicsFocusBuddies_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("focused");

    QTest::newRow("alt-d-destination") << "Alt+D" << "destPath";
    QTest::newRow("alt-t-format") << "Alt+T" << "trackFormat";
}

void TestWMainForm::mnemonicsFocusBuddies()
{
    QFETCH(QString, keys);
    QFETCH(QString, focused);

    WMain w;
    QVERIFY(showActive(w));
    QTRY_COMPARE(QApplication::focusWidget(), w.cuelist);
    const QKeyCombination key = QKeySequence(keys, QKeySequence::PortableText)[0];
    QTest::keyClick(w.cuelist, key.key(), key.keyboardModifiers());
    auto *expected = w.findChild<QWidget *>(focused);
    QVERIFY(expected);
    QTRY_VERIFY(expected->hasFocus() || expected->isAncestorOf(QApplication::focusWidget()));
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
    QCoreApplication::setApplicationName(QStringLiteral("tst_wmainform"));
    QApplication app(argc, argv);
    TestWMainForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wmainform.moc"
