// SPDX-License-Identifier: MIT
#include "link/bluetooth_devices.h"

#include "link/bluetooth_inventory.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

using bluetooth_inventory::Snapshot;

namespace
{

using bluetooth_inventory::kDeviceInterface;
using bluetooth_inventory::kService;

using InterfaceMap = QMap<QString, QVariantMap>;

const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kAdapterInterface = QStringLiteral("org.bluez.Adapter1");

// The shapes the service's list and announcements have; anything else is not read at all,
// since reading a value of another shape is undefined.
const QString kListSignature = QStringLiteral("a{oa{sa{sv}}}");
const QString kAddedSignature = QStringLiteral("oa{sa{sv}}");
const QString kRemovedSignature = QStringLiteral("oas");
const QString kChangedSignature = QStringLiteral("sa{sv}as");

// Whether a call's outcome came from the service itself: its answer or one of its errors, not
// the bus's word that it did not answer, is not there or that the call could not be sent.
bool answeredByService(QDBusError::ErrorType error)
{
    switch (error) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
    case QDBusError::NoMemory:
    case QDBusError::LimitsExceeded:
    case QDBusError::AccessDenied:
        return false;
    default:
        return true;
    }
}

// A burst of announcements (a device appearing brings several) becomes one changed().
constexpr int kNotifyMs = 50;

QStringList lowerUuids(const QVariant &value)
{
    QStringList uuids = value.toStringList();
    for (QString &uuid : uuids) {
        uuid = uuid.toLower();
    }
    return uuids;
}

bluetooth_inventory::Adapter adapterFrom(const QString &path, const QVariantMap &properties)
{
    return { path, properties.value(QStringLiteral("Powered")).toBool() };
}

// Only the properties the program uses are looked at; each one present replaces ours.
bool merge(bluetooth_inventory::Device &device, const QVariantMap &properties)
{
    const bluetooth_inventory::Device before = device;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const QString &key = it.key();
        if (key == QStringLiteral("Address")) {
            device.address = it.value().toString().toUpper();
        } else if (key == QStringLiteral("Alias")) {
            const QString alias = it.value().toString();
            if (!alias.isEmpty()) {
                device.name = bluetooth_inventory::BoundedName(alias);
            }
        } else if (key == QStringLiteral("Name")) {
            if (device.name.isEmpty() && !properties.contains(QStringLiteral("Alias"))) {
                device.name = bluetooth_inventory::BoundedName(it.value().toString());
            }
        } else if (key == QStringLiteral("Adapter")) {
            device.adapter = it.value().value<QDBusObjectPath>().path();
        } else if (key == QStringLiteral("Paired")) {
            device.paired = it.value().toBool();
        } else if (key == QStringLiteral("UUIDs")) {
            device.uuids = lowerUuids(it.value());
        }
    }
    return !(device == before);
}

bluetooth_inventory::Device deviceFrom(const QString &path, const QVariantMap &properties)
{
    bluetooth_inventory::Device device;
    device.path = path;
    merge(device, properties);
    if (device.name.isEmpty()) {
        device.name =
            bluetooth_inventory::BoundedName(properties.value(QStringLiteral("Name")).toString());
    }
    return device;
}

// a{oa{sa{sv}}} as the service sends it (the signature checked), read into plain values.
Snapshot snapshotFrom(const QDBusArgument &argument)
{
    Snapshot snapshot;
    snapshot.running = true;
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        InterfaceMap interfaces;
        argument.beginMapEntry();
        argument >> path >> interfaces;
        argument.endMapEntry();
        if (const auto adapter = interfaces.constFind(kAdapterInterface);
            adapter != interfaces.cend()) {
            snapshot.adapters << adapterFrom(path.path(), *adapter);
        }
        if (const auto device = interfaces.constFind(kDeviceInterface);
            device != interfaces.cend()) {
            snapshot.devices << deviceFrom(path.path(), *device);
        }
    }
    argument.endMap();
    return snapshot;
}

} // namespace

BluetoothDevices::BluetoothDevices(QObject *parent)
    : QObject(parent)
    , m_notify(new QTimer(this))
    , m_retry(new QTimer(this))
    , m_probe(new QTimer(this))
{
    m_notify->setSingleShot(true);
    m_notify->setInterval(kNotifyMs);
    connect(m_notify, &QTimer::timeout, this, &BluetoothDevices::changed);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &BluetoothDevices::read);
    m_probe->setInterval(kProbeMs);
    connect(m_probe, &QTimer::timeout, this, &BluetoothDevices::probe);
}

void BluetoothDevices::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        // No system bus: no Bluetooth, and nothing will ever change that in this run.
        m_loaded = true;
        Q_EMIT changed();
        return;
    }
    auto *owner =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](
            const QString &, const QString &, const QString &newOwner) { ownerChanged(newOwner); });
    const char *slot = SLOT(onBusSignal(QDBusMessage));
    bus.connect(kService, QString(), kObjectManager, QStringLiteral("InterfacesAdded"), this, slot);
    bus.connect(
        kService, QString(), kObjectManager, QStringLiteral("InterfacesRemoved"), this, slot);
    bus.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), this, slot);
    read();
}

BluetoothDevices::~BluetoothDevices()
{
    // A list still being read holds the reply: the read ends before the program does, so no
    // thread outlives what it reads from.
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

QList<bluetooth_inventory::SerialDevice> BluetoothDevices::serialDevices() const
{
    return bluetooth_inventory::PairedSerialDevices(m_snapshot);
}

QString BluetoothDevices::nameOf(const QString &address) const
{
    const auto it = m_byAddress.constFind(address.toUpper());
    return it == m_byAddress.cend() ? QString() : m_snapshot.devices.at(*it).name;
}

QString BluetoothDevices::pathOf(const QString &address) const
{
    const auto it = m_byAddress.constFind(address.toUpper());
    return it == m_byAddress.cend() ? QString() : m_snapshot.devices.at(*it).path;
}

std::optional<QString> BluetoothDevices::obstacle(const QString &address) const
{
    if (!m_loaded) {
        return std::nullopt;
    }
    if (m_hung && !m_snapshot.running) {
        return bluetooth_inventory::NotAnsweringReason();
    }
    // The rules look at the adapters and at this one device only.
    Snapshot one { m_snapshot.running, m_snapshot.adapters, {} };
    if (const auto it = m_byAddress.constFind(address.toUpper()); it != m_byAddress.cend()) {
        one.devices << m_snapshot.devices.at(*it);
    }
    return bluetooth_inventory::Obstacle(one, address);
}

void BluetoothDevices::onBusSignal(const QDBusMessage &message)
{
    if (m_parsing) {
        // Newer than the list being read: it applies once the list is in.
        m_later << message;
        return;
    }
    if (!m_snapshot.running) {
        return; // the read under way (or the next) brings everything
    }
    const QString member = message.member();
    const QList<QVariant> arguments = message.arguments();
    if (member == QStringLiteral("InterfacesAdded") && message.signature() == kAddedSignature) {
        const QString path = arguments.at(0).value<QDBusObjectPath>().path();
        const auto interfaces = qdbus_cast<InterfaceMap>(arguments.at(1));
        bool changed = false;
        if (const auto adapter = interfaces.constFind(kAdapterInterface);
            adapter != interfaces.cend()) {
            m_snapshot.adapters.removeIf(
                [&path](const bluetooth_inventory::Adapter &a) { return a.path == path; });
            m_snapshot.adapters << adapterFrom(path, *adapter);
            changed = true;
        }
        if (const auto device = interfaces.constFind(kDeviceInterface);
            device != interfaces.cend()) {
            changed = putDevice(path, *device) || changed;
        }
        if (changed) {
            noteChange();
        }
    } else if (member == QStringLiteral("InterfacesRemoved")
        && message.signature() == kRemovedSignature) {
        const QString path = arguments.at(0).value<QDBusObjectPath>().path();
        const QStringList interfaces = qdbus_cast<QStringList>(arguments.at(1));
        bool changed = interfaces.contains(kDeviceInterface) && removeDevice(path);
        if (interfaces.contains(kAdapterInterface)) {
            changed = m_snapshot.adapters.removeIf([&path](const bluetooth_inventory::Adapter &a) {
                return a.path == path;
            }) > 0
                || changed;
        }
        if (changed) {
            noteChange();
        }
    } else if (member == QStringLiteral("PropertiesChanged")
        && message.signature() == kChangedSignature) {
        const QString interface = arguments.at(0).toString();
        const auto properties = qdbus_cast<QVariantMap>(arguments.at(1));
        const QString path = message.path();
        if (interface == kDeviceInterface) {
            if (const auto it = m_byPath.constFind(path);
                it != m_byPath.cend() && updateDevice(*it, properties)) {
                noteChange();
            }
        } else if (interface == kAdapterInterface
            && properties.contains(QStringLiteral("Powered"))) {
            for (bluetooth_inventory::Adapter &adapter : m_snapshot.adapters) {
                const bool powered = properties.value(QStringLiteral("Powered")).toBool();
                if (adapter.path == path && adapter.powered != powered) {
                    adapter.powered = powered;
                    noteChange();
                }
            }
        }
    }
}

void BluetoothDevices::ownerChanged(const QString &owner)
{
    ++m_generation;
    m_retry->stop();
    m_retryMs = kRetryFirstMs;
    m_readTimeoutMs = kReadTimeoutMs;
    m_warned = false;
    m_silent = false;
    if (owner.isEmpty()) {
        stopProbing();
        m_hung = false;
        apply(Listing {});
        return;
    }
    read();
}

void BluetoothDevices::read()
{
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    m_retry->stop();
    const QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/"), kObjectManager, QStringLiteral("GetManagedObjects"));
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(call, m_readTimeoutMs), this);
    const quint64 generation = m_generation;
    const quint64 serial = ++m_readSerial;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, generation, serial](
            QDBusPendingCallWatcher *done) { handleReply(done, generation, serial); });
    if (!m_probe->isActive()) {
        m_probe->start();
    }
}

void BluetoothDevices::handleReply(
    QDBusPendingCallWatcher *watcher, quint64 generation, quint64 serial)
{
    watcher->deleteLater();
    if (serial != m_readSerial) {
        return; // given up for a read made since
    }
    m_reading = false;
    if (generation != m_generation) {
        // The service changed hands meanwhile: only a read of the new one counts.
        m_readAgain = true;
        readDone();
        return;
    }
    const QDBusMessage reply = watcher->reply();
    if (reply.type() == QDBusMessage::ReplyMessage) {
        m_silent = false;
        stopProbing();
        if (reply.signature() == kListSignature) {
            // A crowd of devices around takes a while to read: off this thread, so the board
            // keeps turning. The read is over when the listing is in.
            m_reading = true;
            m_parsing = true;
            auto listing = std::make_shared<Listing>();
            QThread *worker = QThread::create([reply, listing] {
                *listing =
                    indexed(snapshotFrom(reply.arguments().constFirst().value<QDBusArgument>()));
            });
            m_worker = worker;
            connect(worker, &QThread::finished, worker, &QObject::deleteLater);
            connect(worker, &QThread::finished, this, [this, listing, generation] {
                m_reading = false;
                m_parsing = false;
                if (generation == m_generation) {
                    m_hung = false;
                    m_retryMs = kRetryFirstMs;
                    m_readTimeoutMs = kReadTimeoutMs;
                    apply(std::move(*listing));
                }
                const QList<QDBusMessage> later = std::exchange(m_later, {});
                for (const QDBusMessage &message : later) {
                    onBusSignal(message);
                }
                readDone();
            });
            worker->start();
            return;
        } else {
            if (!m_warned) {
                m_warned = true;
                qWarning("Ignoring a Bluetooth device list of signature \"%s\"; asking again later",
                    qPrintable(reply.signature()));
            }
            readFailed(true);
        }
    } else {
        const QDBusError::ErrorType error = watcher->error().type();
        if (error == QDBusError::ServiceUnknown) {
            // Nobody owns the name: no service until someone does (the watcher says when).
            stopProbing();
            m_hung = false;
            apply(Listing {});
        } else {
            const bool hung = error == QDBusError::NoReply || error == QDBusError::Timeout
                || error == QDBusError::TimedOut;
            m_silent = m_silent || hung;
            if (!hung) {
                stopProbing(); // it answers, if only to refuse
            }
            readFailed(hung);
        }
    }
    readDone();
}

void BluetoothDevices::readDone()
{
    if (m_readAgain) {
        m_readAgain = false;
        read();
    }
}

void BluetoothDevices::readFailed(bool hung)
{
    if (hung) {
        m_hung = true;
        m_readTimeoutMs = std::min(m_readTimeoutMs * 2, kReadLongestMs);
        if (!m_loaded) {
            m_loaded = true;
            Q_EMIT changed();
        }
    } else {
        // A service that refuses the call is as good as none, for now.
        apply(Listing {});
    }
    // A service that is slow to start (or answers nonsense) gets asked again, less and less
    // often, until it answers.
    m_retry->start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, kRetryLongestMs);
}

void BluetoothDevices::probe()
{
    if (m_probing) {
        return;
    }
    if (!m_reading && !m_retry->isActive()) {
        stopProbing();
        return;
    }
    // Any answer at all will do, an error included: one the service must look at itself, so
    // that it answers only when it answers everything else.
    m_probing = true;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/bluez"), kProperties, QStringLiteral("GetAll"));
    call << QStringLiteral("org.bluez.ProfileManager1");
    auto *watcher =
        new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call, kProbeMs), this);
    const quint64 generation = m_generation;
    const quint64 readBefore = m_reading ? m_readSerial : 0;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, generation, readBefore](QDBusPendingCallWatcher *done) {
            done->deleteLater();
            m_probing = false;
            const QDBusError::ErrorType error =
                done->isError() ? done->error().type() : QDBusError::NoError;
            if (answeredByService(error)) {
                probeAnswered(generation, readBefore);
            } else if (error != QDBusError::ServiceUnknown) {
                m_silent = true;
                if (++m_unanswered == kQuickProbes) {
                    m_probe->setInterval(kSlowProbeMs);
                }
            }
        });
}

void BluetoothDevices::probeAnswered(quint64 generation, quint64 readBefore)
{
    if (generation != m_generation || !m_silent || m_parsing) {
        return;
    }
    m_silent = false;
    m_unanswered = 0;
    m_probe->setInterval(kProbeMs);
    if (m_reading) {
        if (m_readSerial != readBefore) {
            return; // asked after the question: its answer is on its way
        }
        // The service answers calls in the order they come: a read asked before this question
        // and still unanswered was swallowed while the service was silent, and never will be.
        ++m_readSerial;
        m_reading = false;
    }
    m_retryMs = kRetryFirstMs;
    read();
}

void BluetoothDevices::stopProbing()
{
    m_probe->stop();
    m_probe->setInterval(kProbeMs);
    m_unanswered = 0;
}

void BluetoothDevices::apply(Listing listing)
{
    if (m_loaded && listing.snapshot == m_snapshot) {
        return;
    }
    m_loaded = true;
    m_snapshot = std::move(listing.snapshot);
    m_byPath = std::move(listing.byPath);
    m_byAddress = std::move(listing.byAddress);
    m_notify->stop();
    Q_EMIT changed();
}

BluetoothDevices::Listing BluetoothDevices::indexed(Snapshot snapshot)
{
    Listing listing { std::move(snapshot), {}, {} };
    const QList<bluetooth_inventory::Device> &devices = listing.snapshot.devices;
    listing.byPath.reserve(devices.size());
    listing.byAddress.reserve(devices.size());
    for (qsizetype i = 0; i < devices.size(); ++i) {
        listing.byPath.insert(devices.at(i).path, i);
        listing.byAddress.insert(devices.at(i).address, i);
    }
    return listing;
}

bool BluetoothDevices::putDevice(const QString &path, const QVariantMap &properties)
{
    const bool paired = removeDevice(path);
    m_snapshot.devices << deviceFrom(path, properties);
    const qsizetype at = m_snapshot.devices.size() - 1;
    m_byPath.insert(path, at);
    m_byAddress.insert(m_snapshot.devices.at(at).address, at);
    return paired || m_snapshot.devices.at(at).paired;
}

bool BluetoothDevices::updateDevice(qsizetype at, const QVariantMap &properties)
{
    bluetooth_inventory::Device &device = m_snapshot.devices[at];
    const QString address = device.address;
    const bool paired = device.paired;
    if (!merge(device, properties)) {
        return false;
    }
    if (device.address != address) {
        if (m_byAddress.value(address, -1) == at) {
            m_byAddress.remove(address);
        }
        m_byAddress.insert(device.address, at);
    }
    return paired || device.paired;
}

bool BluetoothDevices::removeDevice(const QString &path)
{
    const auto it = m_byPath.constFind(path);
    if (it == m_byPath.cend()) {
        return false;
    }
    const qsizetype at = *it;
    const qsizetype last = m_snapshot.devices.size() - 1;
    const bool paired = m_snapshot.devices.at(at).paired;
    m_byPath.remove(path);
    const QString address = m_snapshot.devices.at(at).address;
    if (m_byAddress.value(address, -1) == at) {
        m_byAddress.remove(address);
    }
    // The order of the devices means nothing (the lists sort them), so the last one takes the
    // place of the removed one and nothing else moves.
    if (at != last) {
        m_snapshot.devices.swapItemsAt(at, last);
        const bluetooth_inventory::Device &moved = m_snapshot.devices.at(at);
        m_byPath.insert(moved.path, at);
        if (m_byAddress.value(moved.address, -1) == last) {
            m_byAddress.insert(moved.address, at);
        }
    }
    m_snapshot.devices.removeLast();
    return paired;
}

void BluetoothDevices::noteChange()
{
    if (!m_notify->isActive()) {
        m_notify->start();
    }
}
