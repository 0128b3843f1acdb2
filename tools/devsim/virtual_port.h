// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

/// One simulated device's serial link: a pseudo-terminal in raw mode whose slave side is
/// reachable as `<dir>/COM<number>`. The simulator writes frames to the master side; the
/// program opens the link through its serial layer. Nothing here ever blocks.
class VirtualPort
{
public:
    /// Opens a pseudo-terminal and links it as `<dir>/COM<number>`, replacing whatever link of
    /// that name was there (`dir` must exist). nullptr on failure, with the reason in `error`.
    static std::unique_ptr<VirtualPort> create(int number, const QString &dir, QString *error);

    /// Removes the link, unless another simulator has taken the name over since, and closes
    /// the pseudo-terminal.
    ~VirtualPort();
    VirtualPort(const VirtualPort &) = delete;
    VirtualPort &operator=(const VirtualPort &) = delete;

    int number() const { return m_number; }
    /// The COMn link, e.g. /run/user/1000/rotavex/COM1.
    QString linkPath() const { return m_linkPath; }
    /// The pseudo-terminal's slave device, e.g. /dev/pts/7.
    QString devicePath() const { return m_devicePath; }
    /// The master side's descriptor, readable when the program has written to the link.
    int masterFd() const { return m_master; }
    /// Whether the link was replacing an existing COMn entry.
    bool replacedExisting() const { return m_replacedExisting; }

    /// Writes `bytes` without waiting. Returns false when the link's buffer had no room for
    /// all of them; what did not fit is dropped, as a device's radio would.
    bool send(QByteArrayView bytes);

    /// Reads and discards what the program has written to the device.
    void drainInput();

    /// Drops everything waiting unread on the link when more than `limitBytes` wait, so a
    /// program that opens the link late gets current frames, not old ones. Returns whether
    /// anything was dropped.
    bool dropStale(qsizetype limitBytes);

private:
    VirtualPort() = default;

    int m_number = 0;
    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the slave side alive while no program has it open
    QString m_devicePath;
    QString m_linkPath;
    bool m_replacedExisting = false;
};
