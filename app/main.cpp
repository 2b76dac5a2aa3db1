#include "arguments.h"
#include "splitcommand.h"
#include "stopsignals.h"
#include "wmain.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvane.org"));
    QCoreApplication::setApplicationName(QStringLiteral("Splitmere"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SPLITMERE_VERSION));
    // A split from a script or over SSH has no display to open.
    if (wantsSplitCommand(argc, argv)) {
        QCoreApplication app(argc, argv);
        return runSplitCommand();
    }
    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Splitmere"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/splitmere.png")));
    WMain window;
    // A logout or an interrupt closes the window as the user would: a run
    // stops first, and the preferences are saved.
    StopSignals interrupts;
    QObject::connect(&interrupts, &StopSignals::stopAsked, &window, &WMain::close);
    window.addFileList(sheetArguments());
    window.show();
    return app.exec();
}
