#include "stopsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// One pipe for the process: a signal handler can reach nothing else.
int pipeEnds[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int saved = errno;
    const char byte = char(signalNumber);
    // A full pipe already holds a stop the loop has not read yet.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

void handle(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
    handle(SIGINT, onSignal);
    handle(SIGTERM, onSignal);
}

StopSignals::~StopSignals()
{
    // Without a listener a second interrupt ends the process as usual.
    handle(SIGINT, SIG_DFL);
    handle(SIGTERM, SIG_DFL);
}

void StopSignals::readPipe()
{
    char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1) {
        m_caught = byte;
        emit stopAsked(m_caught);
    }
}
