// SPDX-License-Identifier: MIT
#pragma once

#include "link/bluetooth_inventory.h"

#include <QDBusMessage>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QVariantMap>

#include <optional>

class QDBusPendingCallWatcher;
class QTimer;

/// What the system's Bluetooth service (BlueZ, on the system bus) knows about adapters and
/// devices, read without ever waiting on it: one asynchronous GetManagedObjects when the service
/// appears, then its announcements (objects added and removed, properties changed) applied one
/// by one. A list of the wrong shape is ignored; a read that goes unanswered or is ignored is
/// tried again, backing off, until the service answers. While a read waits on a service that
/// has let a call go unanswered, a small question goes to it every kProbeMs; the first one it
/// answers means it is back, and the list is read again at once (a call it swallowed while
/// silent is never answered). With no service (or no bus) the snapshot simply says "not
/// running".
class BluetoothDevices : public QObject
{
    Q_OBJECT
public:
    /// How long a first read may take before the service counts as not answering; each read
    /// after one that went unanswered may take twice as long, up to kReadLongestMs (a service
    /// with a crowd of devices around takes its time).
    static constexpr int kReadTimeoutMs = 5000;
    static constexpr int kReadLongestMs = 40000;
    /// The pause before the first read again after an unanswered or ignored one; each further
    /// pause doubles, up to kRetryLongestMs.
    static constexpr int kRetryFirstMs = 1000;
    static constexpr int kRetryLongestMs = 16000;
    /// The pace of the small questions to a silent service, and how long each may take; after
    /// kQuickProbes unanswered ones, one every kSlowProbeMs (the bus keeps every call a service
    /// leaves unanswered, up to a limit per program).
    static constexpr int kProbeMs = 1000;
    static constexpr int kQuickProbes = 30;
    static constexpr int kSlowProbeMs = 3000;

    /// Nothing is asked of the bus until start().
    explicit BluetoothDevices(QObject *parent = nullptr);
    ~BluetoothDevices() override;

    /// Connects to the system bus (which waits for the bus's handshake) and begins following
    /// the service. Once only.
    void start();

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
    /// The snapshot changed (or was read for the first time); changes to devices that are not
    /// paired (and were not) are kept without a word.
    void changed();

private Q_SLOTS:
    // Qt D-Bus delivers bus signals only to slots named by signature.
    void onBusSignal(const QDBusMessage &message);

private:
    /// A snapshot with its lookups.
    struct Listing {
        bluetooth_inventory::Snapshot snapshot;
        QHash<QString, qsizetype> byPath; ///< device object path → index in snapshot.devices
        QHash<QString, qsizetype> byAddress; ///< upper-case address → index in snapshot.devices
    };
    static Listing indexed(bluetooth_inventory::Snapshot snapshot);

    void ownerChanged(const QString &owner);
    void readDone();
    void read();
    void handleReply(QDBusPendingCallWatcher *watcher, quint64 generation, quint64 serial);
    void readFailed(bool hung);
    void probe();
    void probeAnswered(quint64 generation, quint64 readBefore);
    void stopProbing();
    void apply(Listing listing);
    // Each returns whether the change concerns a paired device: a crowd of strangers coming,
    // going and renaming themselves changes nothing anyone is shown, so nobody is told.
    bool putDevice(const QString &path, const QVariantMap &properties);
    bool updateDevice(qsizetype at, const QVariantMap &properties);
    bool removeDevice(const QString &path);
    void noteChange();

    bluetooth_inventory::Snapshot m_snapshot;
    QHash<QString, qsizetype> m_byPath; // as Listing's
    QHash<QString, qsizetype> m_byAddress;
    QTimer *m_notify; // one changed() for a burst of announcements
    QTimer *m_retry;
    QTimer *m_probe; // runs while a read waits (or waits to be made again)
    int m_retryMs = kRetryFirstMs;
    int m_readTimeoutMs = kReadTimeoutMs;
    quint64 m_generation = 0; // a read begun for an earlier owner of the name does not count
    quint64 m_readSerial = 0; // a read given up for a newer one does not count either
    bool m_started = false;
    bool m_loaded = false;
    bool m_hung = false;
    bool m_reading = false;
    bool m_readAgain = false;
    bool m_probing = false; // a small question is out
    bool m_silent = false; // a call went unanswered since the service last answered one
    int m_unanswered = 0; // questions in a row the service left unanswered
    bool m_parsing = false; // a list is being read off this thread
    QPointer<QThread> m_worker; // the thread reading it
    QList<QDBusMessage> m_later; // announcements that came while it was
    bool m_warned = false; // one line on stderr per service about a list of the wrong shape
};
