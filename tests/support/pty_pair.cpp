// SPDX-License-Identifier: MIT
#include "pty_pair.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0) {
        return;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    // Raw mode from the start: no echo back into the master, no line editing of frame bytes.
    m_slaveKeeper = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveKeeper >= 0) {
        termios tio {};
        if (::tcgetattr(m_slaveKeeper, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slaveKeeper, TCSANOW, &tio);
        }
    }
}

PtyPair::~PtyPair() { vanish(); }

bool PtyPair::exposeAs(const QString &dir, int port)
{
    if (!QDir().mkpath(dir)) {
        return false;
    }
    m_link = dir + QStringLiteral("/COM%1").arg(port);
    QFile::remove(m_link);
    return QFile::link(m_slavePath, m_link);
}

bool PtyPair::write(const QByteArray &bytes, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return false;
        }
        // Full: wait for the reader to make room rather than spin, and give up at the deadline.
        pollfd room { m_master, POLLOUT, 0 };
        const int ready = ::poll(&room, 1, int(deadline.remainingTime()));
        if (ready == 0 || (ready < 0 && errno != EINTR)) {
            return false;
        }
    }
    return done == bytes.size();
}

bool PtyPair::waitUnread(qsizetype count, std::chrono::milliseconds timeout) const
{
    // The kernel moves written bytes to the reader's side a moment later, on a worker of its own.
    const QDeadlineTimer deadline(timeout);
    int unread = 0;
    while (m_slaveKeeper >= 0 && ::ioctl(m_slaveKeeper, FIONREAD, &unread) == 0) {
        if (unread >= count || deadline.hasExpired()) {
            return unread >= count;
        }
        ::usleep(1000);
    }
    return false;
}

QByteArray PtyPair::readAvailable()
{
    QByteArray out;
    char buffer[256];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.append(buffer, n);
    }
    return out;
}

void PtyPair::vanish()
{
    if (!m_link.isEmpty()) {
        QFile::remove(m_link);
        m_link.clear();
    }
    if (m_slaveKeeper >= 0) {
        ::close(m_slaveKeeper);
        m_slaveKeeper = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

TempRuntimeDir::TempRuntimeDir()
{
    m_hadPrevious = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    m_previous = qgetenv("XDG_RUNTIME_DIR");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", m_dir.path().toLocal8Bit());
}

TempRuntimeDir::~TempRuntimeDir()
{
    if (m_hadPrevious) {
        qputenv("XDG_RUNTIME_DIR", m_previous);
    } else {
        qunsetenv("XDG_RUNTIME_DIR");
    }
}

TempSettings::TempSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
}

TempSettings::~TempSettings() = default;
