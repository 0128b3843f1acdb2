// SPDX-License-Identifier: MIT
#pragma once

#include "profile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <vector>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;
class QTemporaryFile;
class QTimer;

/// A stand-in for the system's Bluetooth service on a (private) system bus: one adapter and a
/// few remote devices, the object tree and properties a client reads, the profile manager
/// and Device1.ConnectProfile, which hands the earliest registered client profile of the
/// service class (as the real service chooses) one end of a socket
/// pair and streams a simulated device's frames into the other at the link's real pace.
/// Faults on demand: a device vanishes and returns, goes out of range, is unpaired; the adapter
/// is switched off; the whole service stops answering, answers nothing for its first moments,
/// or lists its objects in the wrong shape. A second client on the bus can call the program's
/// profile as the service would; a client that leaves the bus loses its registrations.
class FakeBluez : public QDBusVirtualObject
{
    Q_OBJECT
public:
    struct Options {
        devsim::Profile profile;
        int pairedDevices = 4; ///< SPINNER-1.., paired, offering the serial port
        int unpairedDevices = 0; ///< following SPINNER-n, known but not paired
        bool headset = false; ///< a paired device without the serial port profile
        bool adapter = true;
        bool powered = true;
        /// Devices seen nearby: neither paired nor offering the serial port (NEARBY-n).
        int nearbyDevices = 0;
        /// Every this many ms one nearby device leaves or comes back and one device's signal
        /// strength changes; 0: never.
        int churnMs = 0;
        /// Calls in the first this many ms after start are never answered.
        int slowStartMs = 0;
        /// The signature of the object list sent instead of the right one; empty: the right one.
        QString malformed;
    };

    /// The signatures `malformed` may name.
    static QStringList malformedSignatures();

    FakeBluez(QDBusConnection bus, Options options, QObject *parent = nullptr);
    ~FakeBluez() override;

    /// The address of device `number` (1-based).
    static QString address(int number);

    /// Applies one control command (see the tool's --help); returns an error text or "".
    QString command(const QString &line);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    struct Device {
        int number = 0; ///< 1-based; the simulated player it streams
        QString address;
        QString name;
        bool paired = true;
        bool serial = true;
        bool present = true;
        bool inRange = true;
        bool nearby = false; ///< only seen advertising
        int fd = -1; ///< our end of the open connection; -1 when none
        devsim::FramePacer pacer;
        quint64 framesSent = 0;
        qint16 rssi = -60;
        QString path() const;
        QVariantMap properties(const QString &adapterPath) const;
    };
    struct ProfileRegistration {
        QString owner;
        QString path;
        QString uuid;
    };

    QString adapterPath() const;
    QVariantMap adapterProperties() const;
    Device *deviceAt(const QString &path);
    Device *deviceNumber(int number);
    QDBusMessage managedObjects(const QDBusMessage &call) const;
    void handleProperties(const QDBusMessage &message);
    void connectProfile(Device &device, const QDBusMessage &message);
    void closeConnection(Device &device);
    void propertyChanged(
        const QString &path, const QString &interface, const QString &name, const QVariant &value);
    void announce(const Device &device, bool added);
    void stream();
    void churn();
    QString callProfile(
        QDBusConnection caller, const QString &member, Device *device, const QString &handOver);
    void addDevice(Device device);

    QDBusConnection m_bus;
    Options m_options;
    std::vector<Device> m_devices;
    QHash<QString, std::size_t> m_byPath;
    QList<ProfileRegistration> m_profiles;
    bool m_hung = false;
    QTimer *m_timer;
    QDBusServiceWatcher *m_clients; ///< the owners of registrations, until they leave
    std::unique_ptr<QTemporaryFile> m_file; ///< what a handed-over file holds
    QList<int> m_injected; ///< our ends of sockets handed over by a call of our own
    QString m_lastCall; ///< "" pending, "refused" or "accepted"
    std::size_t m_churned = 0;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastTick;
};
