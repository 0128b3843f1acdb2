// SPDX-License-Identifier: MIT
#pragma once

#include "link/bluetooth_inventory.h"

#include <QHash>
#include <QObject>
#include <QVariantMap>

#include <optional>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QTimer;

/// What the system's Bluetooth service (BlueZ, on the system bus) knows about adapters and
/// devices, read without ever waiting on it: one asynchronous GetManagedObjects when the service
/// appears, then its announcements (objects added and removed, properties changed) applied one
/// by one. A list of the wrong shape is ignored; a read that goes unanswered or is ignored is
/// tried again, backing off, until the service answers. With no service (or no bus) the
/// snapshot simply says "not running".
class BluetoothDevices : public QObject
{
    Q_OBJECT
public:
    /// How long one read may take before the service counts as not answering.
    static constexpr int kReadTimeoutMs = 5000;
    /// The pause before the first read again after an unanswered or ignored one; each further
    /// pause doubles, up to kRetryLongestMs.
    static constexpr int kRetryFirstMs = 1000;
    static constexpr int kRetryLongestMs = 16000;

    explicit BluetoothDevices(QObject *parent = nullptr);
    ~BluetoothDevices() override;

    /// The service as last read; "not running" until the first answer.
    const bluetooth_inventory::Snapshot &snapshot() const { return m_snapshot; }
    /// Whether a first answer (or the service's absence, or its silence) has been seen.
    bool isLoaded() const { return m_loaded; }
    /// Whether the latest read went unanswered (the service hangs) or was of the wrong shape.
    bool isHung() const { return m_hung; }
    /// The devices a player can pick, in list order.
    QList<bluetooth_inventory::SerialDevice> serialDevices() const;
    /// The known name of the device at `address`; empty when unknown.
    QString nameOf(const QString &address) const;
    /// The service's object path of the device at `address`; empty when it is not listed.
    QString pathOf(const QString &address) const;
    /// Why a connection to `address` cannot work now (as bluetooth_inventory::Obstacle), or
    /// that the service is not answering when it never has; nullopt before any answer.
    std::optional<QString> obstacle(const QString &address) const;

Q_SIGNALS:
    /// The snapshot changed (or was read for the first time).
    void changed();

private Q_SLOTS:
    // Qt D-Bus delivers bus signals only to slots named by signature.
    void onBusSignal(const QDBusMessage &message);

private:
    void ownerChanged(const QString &owner);
    void read();
    void handleReply(QDBusPendingCallWatcher *watcher, quint64 generation);
    void readFailed(bool hung);
    void apply(const bluetooth_inventory::Snapshot &snapshot);
    void index();
    void putDevice(const QString &path, const QVariantMap &properties);
    bool updateDevice(qsizetype at, const QVariantMap &properties);
    bool removeDevice(const QString &path);
    void noteChange();

    bluetooth_inventory::Snapshot m_snapshot;
    QHash<QString, qsizetype> m_byPath; // device object path → index in m_snapshot.devices
    QHash<QString, qsizetype> m_byAddress; // upper-case address → index in m_snapshot.devices
    QTimer *m_notify; // one changed() for a burst of announcements
    QTimer *m_retry;
    int m_retryMs = kRetryFirstMs;
    quint64 m_generation = 0; // a read begun for an earlier owner of the name does not count
    bool m_loaded = false;
    bool m_hung = false;
    bool m_reading = false;
    bool m_readAgain = false;
    bool m_warned = false; // one line on stderr per service about a list of the wrong shape
};
