#include "wmain.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace {

const char homePage[] = "https://splitmere.orvane.org/";

} // namespace

void WMain::on_actionAbout_triggered()
{
    QMessageBox box(QMessageBox::Information, tr("About..."), QString(),
        QMessageBox::Yes | QMessageBox::Close, this);
    if (!windowIcon().isNull())
        box.setWindowIcon(windowIcon());
    box.button(QMessageBox::Yes)->setText(tr("Home Page"));
    box.setDefaultButton(QMessageBox::Close);
    box.setText(windowTitle() + QLatin1Char('\n') + tr("Copyright (C) 2026 Orvane")
        + QStringLiteral("\n\n")
        + tr("This is an individual track wave extraction utility\nfor CUE sheets with WAV, "
             "FLAC, WavPack, Monkey's Audio,\nTTA, ALAC, AIFF or Wave64 images."));
    box.setTextFormat(Qt::PlainText);
    if (box.exec() == QMessageBox::Yes)
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(homePage)));
}
