// SPDX-License-Identifier: MIT
#pragma once

#include "link/bluetooth_inventory.h"

#include <QObject>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QTimer;

/// What the system's Bluetooth service (BlueZ, on the system bus) knows about adapters and
/// devices, read without ever waiting on it: one asynchronous GetManagedObjects at a time,
/// read again whenever the service announces a change or comes and goes. With no service (or
/// no bus) the snapshot simply says "not running".
class BluetoothDevices : public QObject
{
    Q_OBJECT
public:
    /// How long one read may take before the service counts as not answering.
    static constexpr int kReadTimeoutMs = 5000;

    explicit BluetoothDevices(QObject *parent = nullptr);
    ~BluetoothDevices() override;

    /// The service as last read; "not running" until the first answer.
    const bluetooth_inventory::Snapshot &snapshot() const { return m_snapshot; }
    /// Whether a first answer (or the service's absence) has been seen.
    bool isLoaded() const { return m_loaded; }
    /// Whether the latest read went unanswered (the service hangs).
    bool isHung() const { return m_hung; }
    /// The devices a player can pick, in list order.
    QList<bluetooth_inventory::SerialDevice> serialDevices() const;
    /// The known name of the device at `address`; empty when unknown.
    QString nameOf(const QString &address) const;
    /// The service's object path of the device at `address`; empty when it is not listed.
    QString pathOf(const QString &address) const;

Q_SIGNALS:
    /// The snapshot changed (or was read for the first time).
    void changed();

private Q_SLOTS:
    // Qt D-Bus delivers bus signals only to slots named by signature.
    void onBusSignal(const QDBusMessage &message);

private:
    void scheduleRead();
    void read();
    void handleReply(QDBusPendingCallWatcher *watcher);
    void apply(const bluetooth_inventory::Snapshot &snapshot);

    bluetooth_inventory::Snapshot m_snapshot;
    QTimer *m_debounce;
    bool m_loaded = false;
    bool m_hung = false;
    bool m_reading = false;
    bool m_readAgain = false;
};
