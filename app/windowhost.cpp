#include "windowhost.h"

#include "wmain.h"

#include <QApplication>

void WindowHost::information(const QString &line)
{
    m_window.lognormal(line);
}

void WindowHost::error(const QString &line)
{
    m_window.logerror(line);
}

void WindowHost::markSheet(const QString &fname)
{
    m_window.selectCue(fname);
}

bool WindowHost::yieldAndCheckStop()
{
    QApplication::processEvents();
    return m_window.stopRequested;
}

void WindowHost::progress(const RunProgress &figures)
{
    m_window.showProgress(&figures);
}

void WindowHost::sheetSplit(const QString &fname)
{
    m_window.removeSheet(fname);
}
