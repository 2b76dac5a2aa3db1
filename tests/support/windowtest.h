#pragma once

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace WindowTest {

// The window reads its settings store at construction and writes it when it
// goes away; a test keeps it in a directory of its own that vanishes with the
// test. Call before the application object exists (a test's initMain()).
inline void isolateSettings(const char *testName)
{
    static QTemporaryDir config;
    if (!config.isValid())
        qFatal("no temporary directory for the settings store");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("SplitmereTests"));
    QCoreApplication::setApplicationName(QString::fromLatin1(testName));
    // Only the toolkit's own dialogs can be reached and closed from a timer.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

// Icons are compared by what they draw, since a QIcon keeps no file name.
inline QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(16).toImage();
}

inline QImage resourceImage(const char *path)
{
    return iconImage(QIcon(QString::fromLatin1(path)));
}

// The window as the user meets it: shown and holding the keyboard.
inline bool showActive(QWidget &w)
{
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

inline QStringList texts(const QListWidget *list, bool selectedOnly = false)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        if (!selectedOnly || list->item(row)->isSelected())
            result << list->item(row)->text();
    }
    return result;
}

// The order a sorted list widget keeps, by its items' own comparison.
inline QStringList inListOrder(QStringList texts)
{
    std::sort(texts.begin(), texts.end(), [](const QString &a, const QString &b) {
        return QListWidgetItem(a) < QListWidgetItem(b);
    });
    return texts;
}

// Hands the next modal dialog to `handle` once it shows, whatever opened it.
inline void onNextModal(std::function<void(QWidget *)> handle, int triesLeft = 500)
{
    QTimer::singleShot(0, [handle, triesLeft] {
        if (QWidget *modal = QApplication::activeModalWidget())
            handle(modal);
        else if (triesLeft > 0)
            onNextModal(handle, triesLeft - 1);
    });
}

} // namespace WindowTest
