// SPDX-License-Identifier: MIT
#include "link/bluetooth_devices.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QTimer>

using bluetooth_inventory::Snapshot;

namespace
{

const QString kService = QStringLiteral("org.bluez");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kAdapterInterface = QStringLiteral("org.bluez.Adapter1");
const QString kDeviceInterface = QStringLiteral("org.bluez.Device1");

// A burst of announcements (a device appearing brings several) becomes one read.
constexpr int kDebounceMs = 50;

QString nameOf(const QVariantMap &properties)
{
    const QString alias = properties.value(QStringLiteral("Alias")).toString();
    return alias.isEmpty() ? properties.value(QStringLiteral("Name")).toString() : alias;
}

// a{oa{sa{sv}}} as the service sends it, read into plain values.
Snapshot snapshotFrom(const QDBusArgument &argument)
{
    Snapshot snapshot;
    snapshot.running = true;
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        argument.beginMapEntry();
        argument >> path >> interfaces;
        argument.endMapEntry();
        if (interfaces.contains(kAdapterInterface)) {
            const QVariantMap properties = interfaces.value(kAdapterInterface);
            snapshot.adapters << bluetooth_inventory::Adapter { path.path(),
                properties.value(QStringLiteral("Powered")).toBool() };
        }
        if (interfaces.contains(kDeviceInterface)) {
            const QVariantMap properties = interfaces.value(kDeviceInterface);
            QStringList uuids = properties.value(QStringLiteral("UUIDs")).toStringList();
            for (QString &uuid : uuids) {
                uuid = uuid.toLower();
            }
            snapshot.devices << bluetooth_inventory::Device { path.path(),
                properties.value(QStringLiteral("Address")).toString().toUpper(),
                nameOf(properties),
                properties.value(QStringLiteral("Adapter")).value<QDBusObjectPath>().path(),
                properties.value(QStringLiteral("Paired")).toBool(), uuids };
        }
    }
    argument.endMap();
    return snapshot;
}

} // namespace

BluetoothDevices::BluetoothDevices(QObject *parent)
    : QObject(parent)
    , m_debounce(new QTimer(this))
{
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(kDebounceMs);
    connect(m_debounce, &QTimer::timeout, this, &BluetoothDevices::read);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        // No system bus: no Bluetooth, and nothing will ever change that in this run.
        m_loaded = true;
        return;
    }
    auto *owner =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(
        owner, &QDBusServiceWatcher::serviceOwnerChanged, this, &BluetoothDevices::scheduleRead);
    const char *slot = SLOT(onBusSignal(QDBusMessage));
    bus.connect(kService, QString(), kObjectManager, QStringLiteral("InterfacesAdded"), this, slot);
    bus.connect(
        kService, QString(), kObjectManager, QStringLiteral("InterfacesRemoved"), this, slot);
    bus.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), this, slot);
    read();
}

BluetoothDevices::~BluetoothDevices() = default;

QList<bluetooth_inventory::SerialDevice> BluetoothDevices::serialDevices() const
{
    return bluetooth_inventory::PairedSerialDevices(m_snapshot);
}

QString BluetoothDevices::nameOf(const QString &address) const
{
    for (const bluetooth_inventory::Device &device : m_snapshot.devices) {
        if (device.address.compare(address, Qt::CaseInsensitive) == 0) {
            return device.name;
        }
    }
    return QString();
}

QString BluetoothDevices::pathOf(const QString &address) const
{
    for (const bluetooth_inventory::Device &device : m_snapshot.devices) {
        if (device.address.compare(address, Qt::CaseInsensitive) == 0) {
            return device.path;
        }
    }
    return QString();
}

void BluetoothDevices::onBusSignal(const QDBusMessage &message)
{
    if (message.member() == QStringLiteral("PropertiesChanged")) {
        const QString interface = message.arguments().value(0).toString();
        if (interface != kAdapterInterface && interface != kDeviceInterface) {
            return;
        }
    }
    scheduleRead();
}

void BluetoothDevices::scheduleRead()
{
    if (!m_debounce->isActive()) {
        m_debounce->start();
    }
}

void BluetoothDevices::read()
{
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/"), kObjectManager, QStringLiteral("GetManagedObjects"));
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(call, kReadTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &BluetoothDevices::handleReply);
}

void BluetoothDevices::handleReply(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    m_reading = false;
    const QDBusMessage reply = watcher->reply();
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        m_hung = false;
        apply(snapshotFrom(reply.arguments().constFirst().value<QDBusArgument>()));
    } else {
        const QDBusError::ErrorType error = watcher->error().type();
        m_hung = error == QDBusError::NoReply || error == QDBusError::Timeout
            || error == QDBusError::TimedOut;
        if (!m_hung) {
            // Nobody owns the name (or it refuses the call): as good as no service.
            apply(Snapshot {});
        } else if (!m_loaded) {
            m_loaded = true;
            Q_EMIT changed();
        }
    }
    if (m_readAgain) {
        m_readAgain = false;
        read();
    }
}

void BluetoothDevices::apply(const Snapshot &snapshot)
{
    if (m_loaded && snapshot == m_snapshot) {
        return;
    }
    m_loaded = true;
    m_snapshot = snapshot;
    Q_EMIT changed();
}
