// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

class QThread;
class BluetoothWorker;

/// The players' Bluetooth serial connections (RFCOMM, Serial Port Profile). Qt's Bluetooth
/// socket waits on the system's Bluetooth service inside connect, abort and its destructor, so
/// every socket lives on a worker thread of this object's own, one per player (a player stuck
/// on a hung service does not hold up another's bytes); requests go there queued and
/// reports come back queued, each tagged with the attempt number the caller gave, so a late
/// report of an abandoned attempt is easy to ignore. Every attempt ends with exactly one
/// ended(), after at most one connected().
class BluetoothTransport : public QObject
{
    Q_OBJECT
public:
    /// How long destruction waits for the worker; a worker stuck on a hung service is left
    /// behind rather than holding up the program's exit.
    static constexpr std::chrono::milliseconds kQuitWait { 1000 };

    explicit BluetoothTransport(QObject *parent = nullptr);
    ~BluetoothTransport() override;

    /// Starts connecting `player` to the device at `address` as attempt `attempt` (non-zero),
    /// ending that player's previous attempt first.
    void connectDevice(rotavex::PlayerSlot player, const QString &address, quint32 attempt);
    /// Ends the player's attempt `attempt` (0: whichever it has), connected or not.
    void drop(rotavex::PlayerSlot player, quint32 attempt = 0);

Q_SIGNALS:
    /// The request reached the Bluetooth service, which now pages the device.
    void connecting(rotavex::PlayerSlot player, quint32 attempt);
    /// The connection stands; bytes follow as received().
    void connected(rotavex::PlayerSlot player, quint32 attempt);
    /// Bytes from the device, in order.
    void received(rotavex::PlayerSlot player, quint32 attempt, const QByteArray &bytes);
    /// The attempt is over: it failed, the connection closed, or it was dropped.
    void ended(rotavex::PlayerSlot player, quint32 attempt);

private:
    BluetoothWorker *worker(rotavex::PlayerSlot player);

    // Owned: destroyed in the destructor, or left behind if stuck. Made on first use.
    rotavex::PerPlayer<QThread *> m_threads {};
    rotavex::PerPlayer<BluetoothWorker *> m_workers {}; // each lives on its thread, deleted there
};
