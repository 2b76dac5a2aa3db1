#include "arguments.h"

#include <QCoreApplication>

QStringList sheetArguments()
{
    return QCoreApplication::arguments().mid(1);
}
