// SPDX-License-Identifier: MIT
#include "main_window/stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace main_window
{

namespace
{

    constexpr int kSignals[] = { SIGTERM, SIGHUP, SIGINT };

    // A handler may only do async-signal-safe work: it writes the number into a pipe that the
    // event loop watches.
    volatile sig_atomic_t g_writeEnd = -1;

    extern "C" void onStopSignal(int signal)
    {
        const int saved = errno;
        const unsigned char number = static_cast<unsigned char>(signal);
        if (g_writeEnd >= 0) {
            [[maybe_unused]] const ssize_t ignored = ::write(g_writeEnd, &number, 1);
        }
        errno = saved;
    }

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    g_writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

StopSignals::~StopSignals()
{
    for (const int signal : kSignals) {
        ::signal(signal, SIG_DFL);
    }
    g_writeEnd = -1;
    for (const int fd : m_pipe) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void StopSignals::readPipe()
{
    unsigned char number = 0;
    while (::read(m_pipe[0], &number, 1) == 1) {
        Q_EMIT received(number);
    }
}

} // namespace main_window
