#include "clihost.h"

#include "runprogress.h"

#include <QCoreApplication>

CliHost::CliHost(bool quiet, bool progressLine)
    : m_quiet(quiet)
    , m_progressLine(progressLine && !quiet)
{
}

void CliHost::information(const QString &line)
{
    if (!m_quiet)
        print(stdout, line);
}

void CliHost::error(const QString &line)
{
    print(stderr, line);
}

void CliHost::clearProgress()
{
    if (!m_lineShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_lineShown = false;
}

void CliHost::print(std::FILE *stream, const QString &line)
{
    clearProgress();
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    // A reader at the other end of a pipe sees each line as it happens.
    std::fflush(stream);
}

bool CliHost::yieldAndCheckStop()
{
    QCoreApplication::processEvents();
    return m_stopRequested;
}

void CliHost::progress(const RunProgress &figures)
{
    if (!m_progressLine)
        return;
    const QString text
        = QStringLiteral("\r\033[K%1% %2").arg(figures.permille() / 10, 3).arg(figures.text());
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    m_lineShown = true;
}
