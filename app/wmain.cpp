#include "wmain.h"

#include "naming.h"

#include <QComboBox>
#include <QSize>

WMain::WMain()
    : QMainWindow(nullptr)
{
    setupUi(this);
    btnExtract->setMinimumSize(QSize(0, 32));
    btnStop->setMinimumSize(QSize(0, 32));
    actionRemove->setShortcut(QKeySequence(QStringLiteral("Backspace")));
    // Qt 6's combo box has no textChanged(QString) for the by-name wiring to
    // find; the preview must still follow every edit.
    connect(trackFormat, &QComboBox::editTextChanged, this, &WMain::on_trackFormat_textChanged);
    loadPreferences();
    on_trackFormat_textChanged(QString());
    cuelist->setFocus();
}

WMain::~WMain()
{
    savePreferences();
}

void WMain::on_actionQuit_triggered()
{
    close();
}

QString WMain::fnPrefix(const QString &path)
{
    return ::fnPrefix(path);
}

QString WMain::bareFile(const QString &path)
{
    return ::bareFile(path);
}

QString WMain::toFname(const QString &s)
{
    return ::toFname(s);
}
