// The window as a user meets it: the log keeping it alive during a run,
// preferences kept across runs, and whole runs through the window, from the
// sheets the CUE list takes to the tracks on disk.

#include "cueparser.h"
#include "testfiles.h"
#include "wmain.h"

#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QtTest>

using namespace TestFiles;

namespace {

// A line naming two paths, far wider than the log panel.
const QString longPath = QString("/home/user/Music/rips/Some Band - Some Album.cue: Writing "
                                 "/home/user/Music/out/Some Band/Some Album/07 Some Band - "
                                 "A Title.wav... ")
                             .repeated(2);

QImage image(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

// The toolkit's own list, fed the lines the window logs. It sits beside the
// panel and out of sight: over it, it would keep the panel from scrolling the
// pixels it has on screen.
struct StockList
{
    WMain &w;
    QListWidget *log = w.loglist;
    QListWidget plain {log->parentWidget()};

    explicit StockList(WMain &window)
        : w(window)
    {
        plain.setGeometry(log->geometry().translated(log->parentWidget()->width(), 0));
        plain.setUniformItemSizes(true);
        plain.setSelectionMode(QAbstractItemView::NoSelection);
    }
    void add(const QString &text)
    {
        w.logerror(text);
        const int last = log->count() - 1;
        plain.addItem(new QListWidgetItem(log->item(last)->icon(), text));
        plain.setCurrentRow(last);
        plain.scrollToItem(plain.item(last));
    }
    // What the screen shows of the panel.
    QImage onScreen() const
    {
        const QRect area(log->mapTo(&w, QPoint()), log->size());
        return image(
            w.screen()->grabWindow(w.winId(), area.x(), area.y(), area.width(), area.height()));
    }
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

public:
    // The window reads its preferences when it is built and writes them when
    // it goes away; they live in a folder that vanishes with the test.
    static void initMain()
    {
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }

private slots:
    // A run happens inside one slot: every log line must let waiting events
    // through, once, or the window freezes and a Stop click never arrives. It
    // lands at the end, current and in view. After its turn the screen shows
    // what a full repaint of the panel draws, and that is what the toolkit's
    // own list draws for the same lines: elided when a short line follows a
    // long one, scrolled across while the last line is the long one.
    void logLineTurnsTheEventLoop()
    {
        WMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTimer turn;
        QSignalSpy turns(&turn, &QTimer::timeout);
        turn.start(0);
        StockList stock(w);
        QListWidget *log = w.loglist, &plain = stock.plain;
        for (int i = 1; i <= 30; ++i) {
            const qsizetype before = turns.size();
            // Right-to-left names, Hebrew and Arabic, that run past the panel's
            // edge, and a long path.
            stock.add(i == 3 ? longPath
                    : i == 2 ? "/home/user/" + QString("שלום עולם ").repeated(40)
                    : i == 4 ? "/home/user/" + QString("مرحبا بالعالم ").repeated(40)
                             : QString("line %1 ").arg(i));
            QCOMPARE(turns.size(), before + 1);
            QCOMPARE(log->currentRow(), i - 1);
            const QRect row = log->visualItemRect(log->item(i - 1));
            QVERIFY(row.top() >= 0 && row.bottom() < log->viewport()->height());
            // The offscreen screen cannot be grabbed once scaled (tst_window_scaled).
            if (w.devicePixelRatio() == 1)
                QCOMPARE(stock.onScreen(), image(log->grab()));
            QCOMPARE(image(log->grab()), image(plain.grab()));
            // The row under the mouse at the top, however far the log has scrolled.
            QCOMPARE(log->indexAt({5, 5}).row(), plain.indexAt({5, 5}).row());
        }
        QCOMPARE(log->item(0)->icon().pixmap(16).toImage(),
            QIcon(":/logerror.png").pixmap(16).toImage());
        // A row put above the others moves every row on screen down.
        log->insertItem(0, "line 0");
        plain.insertItem(0, "line 0");
        QCoreApplication::processEvents();
        QVERIFY(w.devicePixelRatio() != 1 || stock.onScreen() == image(log->grab()));
        // Page Down and Page Up go as far as in the stock list.
        log->setCurrentRow(12);
        plain.setCurrentRow(12);
        for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_PageUp}) {
            QTest::keyClick(log, key);
            QTest::keyClick(&plain, key);
            QCOMPARE(log->currentRow(), plain.currentRow());
        }
        // With the keyboard focus, the newest line wears the focus frame and
        // the line before gives it up, as in the stock list.
        QVERIFY(QTest::qWaitForWindowActive(&w));
        log->setFocus();
        for (const QString &line : {longPath, QString("focus 1"), QString("focus 2")})
            stock.add(line);
        const QImage focused = image(log->grab());
        QVERIFY(w.devicePixelRatio() != 1 || stock.onScreen() == focused);
        plain.show(); // out of sight still, but able to take the focus
        plain.setFocus();
        QCoreApplication::processEvents();
        QCOMPARE(focused, image(plain.grab()));
        // Scrolled across, the frame goes with its row.
        log->setFocus();
        stock.add(longPath);
        log->horizontalScrollBar()->setValue(log->horizontalScrollBar()->maximum() / 2);
        QCoreApplication::processEvents();
        QVERIFY(w.devicePixelRatio() != 1 || stock.onScreen() == image(log->grab()));
    }

    void longLineDrawnAsByTheStockList_data()
    {
        QTest::addColumn<bool>("rightToLeft"); // the window laid out right to left
        QTest::addColumn<QString>("next");     // logged after scrolling across; empty: none
        QTest::newRow("shorter-path-after-scrolling-to-the-end") << false << longPath.chopped(12);
        QTest::newRow("path-scrolled-to-its-start-in-a-right-to-left-window") << true << QString();
    }

    // What the panel draws of a path wider than itself, logged once short
    // lines fill it and scrolled across to the end of the bar, is what the
    // toolkit's own list draws, and what a full repaint draws, whichever way
    // the window runs. The bar across that the line brings leaves the line in
    // view.
    void longLineDrawnAsByTheStockList()
    {
        QFETCH(bool, rightToLeft);
        QFETCH(QString, next);
        WMain w;
        w.setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        StockList stock(w);
        QListWidget *log = w.loglist, &plain = stock.plain;
        for (int i = 1; i <= 40; ++i)
            stock.add(QString("line %1").arg(i));
        stock.add(longPath);
        const QRect row = log->visualItemRect(log->item(40));
        QVERIFY(row.top() >= 0 && row.bottom() < log->viewport()->height());
        for (QListWidget *list : {log, &plain}) {
            QScrollBar *bar = list->horizontalScrollBar();
            QVERIFY(bar->maximum() > 0);
            bar->setValue(bar->maximum());
        }
        QCoreApplication::processEvents();
        if (!next.isEmpty())
            stock.add(next);
        QCOMPARE(stock.onScreen(), image(log->grab()));
        // The stock list shows its bar across a turn later, over the line.
        QCoreApplication::processEvents();
        plain.verticalScrollBar()->setValue(plain.verticalScrollBar()->maximum());
        QCOMPARE(image(log->grab()), image(plain.grab()));
    }

    // The choices the end-to-end test leaves alone, none at its default, and
    // the window's size with the line between list and log; a stored gap mode
    // that is not known leaves gaps out. The name preview follows the output
    // chosen; "%5" is the disc number.
    void preferencesKept()
    {
        QList<int> sizes;
        {
            WMain w;
            w.subArtist->setChecked(false);
            w.subAlbum->setChecked(false);
            w.cbOverwrite->setChecked(true);
            w.gapMode->setCurrentIndex(2);
            w.resize(900, 800);
            w.splitter->setSizes({100, 500});
            sizes = w.splitter->sizes();
        }
        WMain w;
        QVERIFY(!w.subArtist->isChecked() && !w.subAlbum->isChecked() && w.cbOverwrite->isChecked()
            && w.gapMode->currentIndex() == 2);
        QCOMPARE(w.size(), QSize(900, 800));
        QCOMPARE(w.splitter->sizes(), sizes);
        w.trackFormat->setEditText("%5-%1");
        w.outputFormat->setCurrentIndex(1);
        QCOMPARE(w.trackFormatLabel->text(), "1-01.flac");
        w.outputFormat->setCurrentIndex(0);
        QCOMPARE(w.trackFormatLabel->text(), "1-01.wav");
        QCOMPARE(QSettings().value("gaps").toString(), "prepend");
        // Each box's choice is its own.
        QSettings().setValue("subfolderArtists", true);
        QSettings().setValue("gaps", "sideways");
        QCOMPARE(WMain().gapMode->currentIndex(), 0);
        QVERIFY(!QSettings().value("subfolderAlbums").toBool());
    }

    // The CUE list remembers how large its rows are; a row that leaves takes
    // its width along, a sort moves the sizes with their rows, and a new font
    // measures the rest again.
    void cueRowSizesFollowTheRows()
    {
        WMain w;
        w.cuelist->resize(200, 300);
        for (const char *path : {"/z/a/sheet/far/wider/than/the/list/is.cue", "/b.cue", "/a.cue"})
            new QListWidgetItem(QIcon(":/block.png"), path, w.cuelist);
        const QRect wide = w.cuelist->visualItemRect(w.cuelist->item(0));
        w.cuelist->sortItems();
        delete w.cuelist->item(2);
        const QRect narrow = w.cuelist->visualItemRect(w.cuelist->item(0));
        w.cuelist->setFont(QFont(w.cuelist->font().family(), 30));
        const QRect tall = w.cuelist->visualItemRect(w.cuelist->item(0));
        QVERIFY(narrow.width() < wide.width() && tall.height() > narrow.height());
    }

    // The CUE list's menu, opened with the Menu key, chooses how the selected
    // sheets are read; their tooltips say so (a title that looks like markup
    // as it is written), both passes use the choice, and the choice leaves
    // the list with the sheet.
    void encodingChosenFromTheMenu()
    {
        QTemporaryDir dir;
        const QString cue = dir.filePath("disc.cue"), live = dir.filePath("live.cue");
        for (const QString &title : {QString("Şımarık"), QString("Şımarık <b>Live</b>")})
            QVERIFY(writeFile(title.endsWith("b>") ? live : cue,
                QStringEncoder("windows-1254")
                    .encode("PERFORMER Tarkan\nTITLE \"" + title
                        + "\"\nFILE \"Şarkı.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 0:0:0\n")));
        QVERIFY(writeFile(dir.filePath("Şarkı.wav"), canonical(1, 8000, 16, samples(80, 1, 16))));
        WMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.destPath->setText(dir.path());
        w.subArtist->setChecked(false);
        w.subAlbum->setChecked(true);
        w.trackFormat->setEditText("%1");
        const auto tooltip = [&w](int row = 0) {
            const QPoint at = w.cuelist->visualItemRect(w.cuelist->item(row)).center();
            QHelpEvent help(QEvent::ToolTip, at, w.cuelist->viewport()->mapToGlobal(at));
            QApplication::sendEvent(w.cuelist->viewport(), &help);
            return QToolTip::text();
        };
        w.addFileList({cue, live});
        w.cuelist->setCurrentRow(0);
        w.cuelist->selectAll();
        // What the platform makes of the Menu key.
        QContextMenuEvent key(QContextMenuEvent::Keyboard, {}, {});
        QApplication::sendEvent(w.cuelist, &key);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const QList<QAction *> encodings = menu->actions().value(0)->menu()->actions();
        const auto turkish = std::find_if(encodings.cbegin(), encodings.cend(),
            [](QAction *a) { return a->text() == "Windows-1254"; });
        QVERIFY(turkish != encodings.cend());
        (*turkish)->trigger();
        menu->close();
        const QString shown = QTextDocumentFragment::fromHtml(tooltip(1)).toPlainText();
        QVERIFY2(shown.contains("Tarkan – Şımarık <b>Live</b>")
                && shown.contains("Windows-1254 (chosen)"),
            qPrintable(shown));
        encodings.first()->trigger(); // "Automatic" undoes the choice
        QVERIFY(tooltip().contains("Windows-1252 (detected)"));
        (*turkish)->trigger();
        delete w.cuelist->takeItem(1);
        w.btnExtract->click();
        QCOMPARE(filesBelow(dir.path(), "*.wav").keys(),
            QStringList({"Tarkan - Şımarık/01.wav", "Şarkı.wav"}));
        w.addFileList({cue});
        QVERIFY(tooltip().contains("Windows-1252 (detected)"));
    }

    void runs_data()
    {
        // Sheets by name; "!" adds a line the parser refuses, "#" puts a file
        // where the sheet's album folder would go, "~" takes the destination away,
        // "+" starts track 1 a second in and appends gaps.
        QTest::addColumn<QString>("sheets");
        // Stop clicked at the turn of the log line starting so; "close " before
        // it: the window closed instead.
        QTest::addColumn<QString>("stop");
        // The list afterwards, "*" marking a selected entry, "!" one with the error icon.
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("boxes");
        row("good-sheets-split-and-leave-the-list", "b a", "", "", "Band/a/01.wav Band/b/01.wav",
            0);
        // Marked and selected wherever they sort, in the list's case-sensitive
        // order (after every capital), the first of them scrolled into view.
        row("every-bad-sheet-marked-nothing-written",
            "A B C D E F G H I J K L M N O P Q R S T U V W X Y Z b! c d! e f! g", "",
            "A B C D E F G H I J K L M N O P Q R S T U V W X Y Z *!b c *!d e *!f g", "", 1);
        row("failure-while-splitting-ends-the-pass", "a b# c", "", "*!b c", "Band/a/01.wav", 1);
        row("stop-reaches-the-engine", "a b", "Extraction started", "*!a *!b", "", 1);
        row("stop-while-extracting-asks-nothing", "a b", "Extracting files", "*!a b", "", 0);
        row("closing-the-window-stops-the-run", "a b", "close Extraction started", "*!a *!b", "",
            0);
        row("empty-list-refused", "", "", "", "", 1);
        row("missing-destination-refused", "a~", "", "a", "", 1);
        row("appended-gaps-write-the-hidden-track", "a+", "", "", "Band/a/00.wav Band/a/01.wav", 0);
    }

    void runs()
    {
        QFETCH(QString, sheets);
        QTemporaryDir dir;
        const QString dest = dir.filePath(sheets.contains('~') ? "gone" : "out");
        QVERIFY(QDir().mkpath(dir.filePath("out/Band")));
        WMain w;
        w.show(); // laid out as a user sees it, the failed sheets scrolled into view
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.destPath->setText(dest);
        w.subArtist->setChecked(true);
        w.subAlbum->setChecked(true);
        w.trackFormat->setEditText("%1");
        // Each sheet has the most bytes the list takes, 100,000, and is named twice.
        // The list refuses a larger sheet, another suffix and a missing file.
        QStringList paths {
            dir.filePath("big.cue"), dir.filePath("a.txt"), dir.filePath("gone.cue")};
        QVERIFY(writeFile(paths[0], QByteArray(maxSheetBytes + 1, '\n'))
            && writeFile(paths[1], "\n")
            && writeFile(dir.filePath("disc.wav"), canonical(2, 44100, 16, samples(88200, 2, 16))));
        for (const QString &sheet : sheets.split(' ', Qt::SkipEmptyParts)) {
            const QString name = sheet.left(1);
            w.gapMode->setCurrentIndex(sheet.endsWith('+') ? 1 : 0);
            QByteArray text = "PERFORMER \"Band\"\nTITLE \"" + name.toUtf8()
                + "\"\nFILE \"disc.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:0"
                + (sheet.endsWith('+') ? "1" : "0") + ":00\n";
            text += sheet.endsWith('!') ? "COMPOSER x\nREM " : "REM ";
            paths << dir.filePath(name + ".CUE") << dir.filePath(name + ".CUE");
            QVERIFY(writeFile(
                paths.last(), text + QByteArray(maxSheetBytes - 1 - text.size(), 'x') + '\n'));
            QVERIFY(!sheet.endsWith('#') || writeFile(dest + "/Band/" + name, "in the way"));
        }
        // Message boxes are modal: each is answered from inside its own loop.
        // What the progress bar showed at each turn of the event loop is noted.
        int boxes = 0, turns = 0, choiceOpen = 0;
        QStringList shown;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            ++turns;
            choiceOpen += w.btnStop->isEnabled()
                && (w.outputFormat->isEnabled() || w.btnExtract->isEnabled()
                    || w.actionStartExtraction->isEnabled() || w.cuelist->isEnabled()
                    || w.focusWidget());
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                ++boxes, box->accept();
            if (!w.statusBar()->isHidden() && !shown.endsWith(w.progressBar->text()))
                shown << w.progressBar->text();
        });
        answer.start(0);
        QFETCH(QString, stop);
        const bool close = stop.startsWith("close ");
        connect(w.loglist->model(), &QAbstractItemModel::rowsInserted, [&](auto, int row) {
            if (!stop.isEmpty() && w.loglist->item(row)->text().startsWith(stop.mid(close ? 6 : 0)))
                QTimer::singleShot(0, &w, [&] { close ? void(w.close()) : w.btnStop->click(); });
        });
        const QImage errorIcon = QIcon(":/logerror.png").pixmap(16).toImage();
        // Three runs in one start of the program, the last one overwriting, end alike.
        for (const bool overwrite : {false, false, true}) {
            boxes = turns = choiceOpen = 0;
            shown.clear();
            w.cbOverwrite->setChecked(overwrite);
            w.addFileList(paths);
            w.btnExtract->click();
            // The engine's yields turn the event loop, not only its log lines.
            QVERIFY(turns > w.loglist->count());
            QCOMPARE(w.isHidden(), close);
            QVERIFY(w.statusBar()->isHidden());
            const QList<QListWidgetItem *> failed = w.cuelist->selectedItems();
            QVERIFY(failed.isEmpty()
                || w.cuelist->viewport()->rect().contains(
                    w.cuelist->visualItemRect(failed.first())));
            if (QTest::currentDataTag() == QByteArray("good-sheets-split-and-leave-the-list"))
                QCOMPARE(
                    shown.join('|'), "Checking 1 of 2|Checking 2 of 2|0 of 2 sheets|2 of 2 sheets");

            QStringList left;
            for (int row = 0; row < w.cuelist->count(); ++row) {
                const QListWidgetItem *item = w.cuelist->item(row);
                left << QString(item->isSelected() ? "*" : "")
                        + (item->icon().pixmap(16).toImage() == errorIcon ? "!" : "")
                        + QFileInfo(item->text()).completeBaseName();
            }
            QTEST(left.join(' '), "left");
            QTEST(filesBelow(dest, "*.wav").keys().join(' '), "written");
            QTEST(boxes, "boxes");
            // Neither the output nor Extract (button, menu or shortcut) works during a run,
            // and no control keeps the focus the frozen list had.
            QCOMPARE(choiceOpen, 0);
            // However the run ended, Stop is off again and the rest is usable, the
            // list with the focus again.
            QVERIFY(!w.stopRequested && !w.btnStop->isEnabled() && !w.actionStop->isEnabled()
                && w.btnExtract->isEnabled() && w.cuelist->isEnabled() && w.actionAdd->isEnabled()
                && w.focusWidget() == w.cuelist);
            if (close)
                break; // the window is gone
            w.loglist->clear();
        }
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
