// SPDX-License-Identifier: MIT
#pragma once

#include "profile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <vector>

class QTimer;

/// A stand-in for the system's Bluetooth service on a (private) system bus: one adapter and a
/// few remote devices, the object tree and properties a client reads, the profile manager
/// and Device1.ConnectProfile, which hands the earliest registered client profile of the
/// service class (as the real service chooses) one end of a socket
/// pair and streams a simulated device's frames into the other at the link's real pace.
/// Faults on demand: a device vanishes and returns, goes out of range, is unpaired; the adapter
/// is switched off; the whole service stops answering.
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
    };

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
        QString name;
        bool paired = true;
        bool serial = true;
        bool present = true;
        bool inRange = true;
        int fd = -1; ///< our end of the open connection; -1 when none
        devsim::FramePacer pacer;
        quint64 framesSent = 0;
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

    QDBusConnection m_bus;
    Options m_options;
    std::vector<Device> m_devices;
    QList<ProfileRegistration> m_profiles;
    bool m_hung = false;
    QTimer *m_timer;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastTick;
};
