// SPDX-License-Identifier: MIT
#include "virtual_port.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

std::unique_ptr<VirtualPort> VirtualPort::create(int number, const QString &dir, QString *error)
{
    std::unique_ptr<VirtualPort> port(new VirtualPort);
    port->m_number = number;
    port->m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port->m_master < 0 || ::grantpt(port->m_master) != 0 || ::unlockpt(port->m_master) != 0) {
        *error = systemError(QStringLiteral("Cannot create a pseudo-terminal"));
        return nullptr;
    }
    port->m_devicePath = QString::fromLocal8Bit(::ptsname(port->m_master));
    const QByteArray device = QFile::encodeName(port->m_devicePath);

    // Without an open slave the master reports hang-ups whenever the program closes the
    // link; holding one keeps the device present between the program's opens.
    port->m_slaveKeeper = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port->m_slaveKeeper < 0) {
        *error = systemError(QStringLiteral("Cannot open %1").arg(port->m_devicePath));
        return nullptr;
    }
    // Raw from the start: frame bytes must not be echoed back, translated or held for a line.
    termios tio {};
    if (::tcgetattr(port->m_slaveKeeper, &tio) != 0) {
        *error = systemError(QStringLiteral("Cannot configure %1").arg(port->m_devicePath));
        return nullptr;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(port->m_slaveKeeper, TCSANOW, &tio) != 0) {
        *error = systemError(QStringLiteral("Cannot configure %1").arg(port->m_devicePath));
        return nullptr;
    }

    // Link under a temporary name, then rename over COMn: a program looking for the port
    // never sees it missing while an old link is replaced.
    port->m_linkPath = QStringLiteral("%1/COM%2").arg(dir).arg(number);
    port->m_replacedExisting =
        QFileInfo(port->m_linkPath).isSymLink() || QFileInfo::exists(port->m_linkPath);
    const QByteArray link = QFile::encodeName(port->m_linkPath);
    const QByteArray staging = link + ".devsim-" + QByteArray::number(::getpid());
    ::unlink(staging.constData());
    if (::symlink(device.constData(), staging.constData()) != 0) {
        *error = systemError(QStringLiteral("Cannot create %1").arg(port->m_linkPath));
        port->m_linkPath.clear();
        return nullptr;
    }
    if (::rename(staging.constData(), link.constData()) != 0) {
        *error = systemError(QStringLiteral("Cannot create %1").arg(port->m_linkPath));
        ::unlink(staging.constData());
        port->m_linkPath.clear();
        return nullptr;
    }
    return port;
}

VirtualPort::~VirtualPort()
{
    if (!m_linkPath.isEmpty() && QFile::symLinkTarget(m_linkPath) == m_devicePath) {
        QFile::remove(m_linkPath);
    }
    if (m_slaveKeeper >= 0) {
        ::close(m_slaveKeeper);
    }
    if (m_master >= 0) {
        ::close(m_master);
    }
}

bool VirtualPort::send(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(m_master, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false; // EAGAIN: the link is full; the rest of this frame is lost
        }
    }
    return true;
}

void VirtualPort::drainInput()
{
    std::array<char, 512> buffer {};
    while (::read(m_master, buffer.data(), buffer.size()) > 0) { }
}

bool VirtualPort::dropStale(qsizetype limitBytes)
{
    int waiting = 0;
    if (::ioctl(m_slaveKeeper, FIONREAD, &waiting) != 0 || waiting <= limitBytes) {
        return false;
    }
    return ::tcflush(m_slaveKeeper, TCIFLUSH) == 0;
}
