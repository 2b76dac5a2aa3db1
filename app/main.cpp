#include "arguments.h"
#include "wmain.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvane.org"));
    QCoreApplication::setApplicationName(QStringLiteral("Splitmere"));
    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Splitmere"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/splitmere.png")));
    WMain window;
    window.addFileList(sheetArguments());
    window.show();
    return app.exec();
}
