#include "arguments.h"
#include "wmain.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvane.org"));
    QCoreApplication::setApplicationName(QStringLiteral("Splitmere"));
    QApplication app(argc, argv);
    WMain window;
    window.addFileList(sheetArguments());
    window.show();
    return app.exec();
}
