// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <chrono>

/// A pseudo-terminal pair standing in for a device: the test writes frames to the master,
/// the program opens the slave through the real serial layer. Optionally exposed as a
/// virtual port COMn in the runtime port folder.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    /// Path of the slave side, e.g. /dev/pts/7.
    QString slavePath() const { return m_slavePath; }
    /// Links the slave as `<dir>/COM<port>` (the folder is created). Returns false on failure.
    bool exposeAs(const QString &dir, int port);
    /// Writes all bytes to the master, waiting for room when the pseudo-terminal is full;
    /// returns false on failure or when no room came within `timeout` (a stuck reader).
    bool write(
        const QByteArray &bytes, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Waits until at least `count` written bytes have reached the program's side and wait
    /// there unread (without turning the event loop); false when they did not within `timeout`.
    bool waitUnread(
        qsizetype count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    /// Reads what the program sent, non-blocking.
    QByteArray readAvailable();
    /// The master's descriptor (non-blocking), for writers that wait for room with poll();
    /// -1 once the device has vanished. Still owned by the pair.
    int masterFd() const { return m_master; }
    /// The device vanishes: closes the master and removes the link.
    void vanish();

private:
    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the slave side alive while the program has it closed
    QString m_slavePath;
    QString m_link;
};

/// Points $XDG_RUNTIME_DIR at a fresh private folder for the life of the object, so virtual
/// ports of one test never meet another's. Call before anything asks for the runtime folder.
class TempRuntimeDir
{
public:
    TempRuntimeDir();
    ~TempRuntimeDir();
    QString path() const { return m_dir.path(); }
    /// The folder virtual ports live in (<runtime>/rotavex).
    QString portDir() const { return m_dir.path() + QStringLiteral("/rotavex"); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

/// Keeps the per-user settings store in a temporary folder for the life of the object.
class TempSettings
{
public:
    TempSettings();
    ~TempSettings();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
