// SPDX-License-Identifier: MIT
#include "signal_watcher.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr std::array kWatchedSignals { SIGINT, SIGTERM, SIGHUP };

// Written by the handler, read by the event loop; the handler may touch nothing else.
std::array<int, 2> g_pipe { -1, -1 };

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalWatcher::SignalWatcher(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pipe.data()) != 0) {
        g_pipe = { -1, -1 };
        return;
    }
    struct sigaction action {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kWatchedSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    // Output to a reader that has gone away must fail as a write, not end the process while
    // it still has things to clean up.
    ::signal(SIGPIPE, SIG_IGN);
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readPipe);
}

SignalWatcher::~SignalWatcher()
{
    struct sigaction action {
    };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kWatchedSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    if (m_notifier != nullptr) {
        m_notifier->setEnabled(false);
    }
    for (int &fd : g_pipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

void SignalWatcher::readPipe()
{
    std::array<unsigned char, 16> bytes {};
    const ssize_t n = ::read(g_pipe[1], bytes.data(), bytes.size());
    if (n > 0) {
        Q_EMIT stopRequested(bytes[0]);
    }
}
