// SPDX-License-Identifier: MIT
#include "fake_bluez.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

using InterfaceMap = QMap<QString, QVariantMap>;
using ObjectMap = QMap<QDBusObjectPath, InterfaceMap>;
// The wrong shapes a broken service could list its objects in.
using PathLists = QMap<QDBusObjectPath, QStringList>;
using PathProperties = QMap<QDBusObjectPath, QVariantMap>;
struct NumberAndText {
    int number = 0;
    QString text;
};
QDBusArgument &operator<<(QDBusArgument &argument, const NumberAndText &value)
{
    argument.beginStructure();
    argument << value.number << value.text;
    argument.endStructure();
    return argument;
}
const QDBusArgument &operator>>(const QDBusArgument &argument, NumberAndText &value)
{
    argument.beginStructure();
    argument >> value.number >> value.text;
    argument.endStructure();
    return argument;
}

const QString kAdapterInterface = QStringLiteral("org.bluez.Adapter1");
const QString kDeviceInterface = QStringLiteral("org.bluez.Device1");
const QString kProfileManager = QStringLiteral("org.bluez.ProfileManager1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kSerialPortUuid = QStringLiteral("00001101-0000-1000-8000-00805f9b34fb");
const QString kAudioSinkUuid = QStringLiteral("0000110b-0000-1000-8000-00805f9b34fb");

constexpr std::chrono::milliseconds kTick { 4 };
// A major device class of "toy", non-zero as Qt expects of a classic device.
constexpr quint32 kDeviceClass = 0x000804;

// What a foreign caller feeds the program: frames of a speed no test device runs at.
constexpr double kInjectedRpm = 15000;

} // namespace

Q_DECLARE_METATYPE(NumberAndText)

QString FakeBluez::Device::path() const
{
    return QStringLiteral("/org/bluez/hci0/dev_") + QString(address).replace(u':', u'_');
}

QVariantMap FakeBluez::Device::properties(const QString &adapterPath) const
{
    if (nearby) {
        // What the service knows of a device it has only seen advertising.
        return {
            { QStringLiteral("Address"), address },
            { QStringLiteral("Alias"), name },
            { QStringLiteral("Adapter"), QVariant::fromValue(QDBusObjectPath(adapterPath)) },
            { QStringLiteral("Paired"), false },
            { QStringLiteral("RSSI"), rssi },
        };
    }
    return {
        { QStringLiteral("Address"), address },
        { QStringLiteral("AddressType"), QStringLiteral("public") },
        { QStringLiteral("Name"), name },
        { QStringLiteral("Alias"), name },
        { QStringLiteral("Class"), kDeviceClass },
        { QStringLiteral("Adapter"), QVariant::fromValue(QDBusObjectPath(adapterPath)) },
        { QStringLiteral("Paired"), paired },
        { QStringLiteral("Trusted"), paired },
        { QStringLiteral("Blocked"), false },
        { QStringLiteral("Connected"), fd >= 0 },
        { QStringLiteral("LegacyPairing"), false },
        { QStringLiteral("UUIDs"), QStringList { serial ? kSerialPortUuid : kAudioSinkUuid } },
        { QStringLiteral("RSSI"), rssi },
    };
}

FakeBluez::FakeBluez(QDBusConnection bus, Options options, QObject *parent)
    : QDBusVirtualObject(parent)
    , m_bus(std::move(bus))
    , m_options(std::move(options))
    , m_timer(new QTimer(this))
    , m_clients(new QDBusServiceWatcher(
          QString(), m_bus, QDBusServiceWatcher::WatchForUnregistration, this))
{
    qDBusRegisterMetaType<InterfaceMap>();
    qDBusRegisterMetaType<ObjectMap>();
    qDBusRegisterMetaType<PathLists>();
    qDBusRegisterMetaType<PathProperties>();
    qDBusRegisterMetaType<NumberAndText>();
    int number = 1;
    for (int i = 0; i < m_options.pairedDevices; ++i, ++number) {
        Device device;
        device.number = number;
        device.name = QStringLiteral("SPINNER-%1").arg(number);
        addDevice(device);
    }
    for (int i = 0; i < m_options.unpairedDevices; ++i, ++number) {
        Device device;
        device.number = number;
        device.name = QStringLiteral("SPINNER-%1").arg(number);
        device.paired = false;
        addDevice(device);
    }
    if (m_options.headset) {
        Device device;
        device.number = number;
        device.name = QStringLiteral("HEADSET");
        device.serial = false;
        addDevice(device);
        ++number;
    }
    for (int i = 0; i < m_options.nearbyDevices; ++i, ++number) {
        Device device;
        device.number = number;
        device.address = QStringLiteral("02:00:00:%1:%2:%3")
                             .arg((number >> 16) & 0xff, 2, 16, QLatin1Char('0'))
                             .arg((number >> 8) & 0xff, 2, 16, QLatin1Char('0'))
                             .arg(number & 0xff, 2, 16, QLatin1Char('0'))
                             .toUpper();
        device.name = QStringLiteral("NEARBY-%1").arg(number);
        device.paired = false;
        device.serial = false;
        device.nearby = true;
        addDevice(device);
    }
    // A program that leaves the bus (ended, crashed) leaves no profile behind, as with the
    // real service.
    connect(
        m_clients, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &client) {
            m_clients->removeWatchedService(client);
            m_profiles.removeIf(
                [&client](const ProfileRegistration &profile) { return profile.owner == client; });
        });
    if (m_options.slowStartMs > 0) {
        m_hung = true;
        // To the millisecond: a coarse timer may end a silence of 20 s a second early.
        QTimer::singleShot(
            m_options.slowStartMs, Qt::PreciseTimer, this, [this] { m_hung = false; });
    }
    if (m_options.churnMs > 0) {
        auto *churn = new QTimer(this);
        churn->setInterval(m_options.churnMs);
        connect(churn, &QTimer::timeout, this, &FakeBluez::churn);
        churn->start();
    }
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(kTick);
    connect(m_timer, &QTimer::timeout, this, &FakeBluez::stream);
    m_started = std::chrono::steady_clock::now();
    m_lastTick = m_started;
    m_timer->start();
}

FakeBluez::~FakeBluez()
{
    for (Device &device : m_devices) {
        if (device.fd >= 0) {
            ::close(device.fd);
        }
    }
    for (const int fd : m_injected) {
        ::close(fd);
    }
}

QStringList FakeBluez::malformedSignatures()
{
    return { QStringLiteral("a{sv}"), QStringLiteral("(is)"), QStringLiteral("a{oas}"),
        QStringLiteral("a{oa{sv}}") };
}

void FakeBluez::addDevice(Device device)
{
    if (device.address.isEmpty()) {
        device.address = address(device.number);
    }
    m_byPath.insert(device.path(), m_devices.size());
    m_devices.push_back(std::move(device));
}

QString FakeBluez::address(int number)
{
    return QStringLiteral("00:11:22:33:44:%1").arg(number, 2, 16, QLatin1Char('0')).toUpper();
}

QString FakeBluez::adapterPath() const { return QStringLiteral("/org/bluez/hci0"); }

QVariantMap FakeBluez::adapterProperties() const
{
    return {
        { QStringLiteral("Address"), QStringLiteral("00:AA:BB:CC:DD:EE") },
        { QStringLiteral("AddressType"), QStringLiteral("public") },
        { QStringLiteral("Name"), QStringLiteral("rotavex-fake") },
        { QStringLiteral("Alias"), QStringLiteral("rotavex-fake") },
        { QStringLiteral("Class"), quint32(0x7c010c) },
        { QStringLiteral("Powered"), m_options.powered },
        { QStringLiteral("Discoverable"), false },
        { QStringLiteral("Pairable"), true },
        { QStringLiteral("Discovering"), false },
        { QStringLiteral("UUIDs"), QStringList {} },
    };
}

FakeBluez::Device *FakeBluez::deviceAt(const QString &path)
{
    const auto it = m_byPath.constFind(path);
    if (it == m_byPath.cend() || !m_devices[*it].present || !m_options.adapter) {
        return nullptr;
    }
    return &m_devices[*it];
}

FakeBluez::Device *FakeBluez::deviceNumber(int number)
{
    for (Device &device : m_devices) {
        if (device.number == number) {
            return &device;
        }
    }
    return nullptr;
}

QString FakeBluez::introspect(const QString &) const { return QString(); }

bool FakeBluez::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    if (m_hung) {
        // Swallowed: the caller waits for its own timeout, as with a service that hangs.
        return true;
    }
    const QString interface = message.interface();
    const QString member = message.member();
    if (interface == kObjectManager && member == QStringLiteral("GetManagedObjects")) {
        m_bus.send(managedObjects(message));
        return true;
    }
    if (interface == kProperties) {
        handleProperties(message);
        return true;
    }
    if (interface == kProfileManager && message.path() == QStringLiteral("/org/bluez")) {
        const QList<QVariant> args = message.arguments();
        const QString path = args.value(0).value<QDBusObjectPath>().path();
        if (member == QStringLiteral("RegisterProfile")) {
            m_profiles << ProfileRegistration { message.service(), path, args.value(1).toString() };
            if (!m_clients->watchedServices().contains(message.service())) {
                m_clients->addWatchedService(message.service());
            }
        } else {
            m_profiles.removeIf([&](const ProfileRegistration &profile) {
                return profile.owner == message.service() && profile.path == path;
            });
        }
        m_bus.send(message.createReply());
        return true;
    }
    Device *device = deviceAt(message.path());
    if (interface == kDeviceInterface && device != nullptr) {
        if (member == QStringLiteral("ConnectProfile")) {
            connectProfile(*device, message);
        } else {
            if (member == QStringLiteral("DisconnectProfile")
                || member == QStringLiteral("Disconnect")) {
                closeConnection(*device);
            }
            m_bus.send(message.createReply());
        }
        return true;
    }
    m_bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("No such object or interface")));
    return true;
}

QDBusMessage FakeBluez::managedObjects(const QDBusMessage &call) const
{
    const QString path = QStringLiteral("/org/bluez/hci0");
    if (m_options.malformed == QStringLiteral("a{sv}")) {
        return call.createReply(QVariantMap { { path, true } });
    }
    if (m_options.malformed == QStringLiteral("(is)")) {
        return call.createReply(QVariant::fromValue(NumberAndText { 1, path }));
    }
    if (m_options.malformed == QStringLiteral("a{oas}")) {
        return call.createReply(
            QVariant::fromValue(PathLists { { QDBusObjectPath(path), { kAdapterInterface } } }));
    }
    if (m_options.malformed == QStringLiteral("a{oa{sv}}")) {
        return call.createReply(
            QVariant::fromValue(PathProperties { { QDBusObjectPath(path), adapterProperties() } }));
    }
    ObjectMap objects;
    objects.insert(
        QDBusObjectPath(QStringLiteral("/org/bluez")), InterfaceMap { { kProfileManager, {} } });
    if (m_options.adapter) {
        objects.insert(QDBusObjectPath(adapterPath()),
            InterfaceMap { { kAdapterInterface, adapterProperties() } });
        for (const Device &device : m_devices) {
            if (device.present) {
                objects.insert(QDBusObjectPath(device.path()),
                    InterfaceMap { { kDeviceInterface, device.properties(adapterPath()) } });
            }
        }
    }
    return call.createReply(QVariant::fromValue(objects));
}

void FakeBluez::handleProperties(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    const QString interface = args.value(0).toString();
    QVariantMap properties;
    if (interface == kAdapterInterface && message.path() == adapterPath() && m_options.adapter) {
        properties = adapterProperties();
    } else if (const Device *device = deviceAt(message.path());
               device != nullptr && interface == kDeviceInterface) {
        properties = device->properties(adapterPath());
    } else {
        m_bus.send(
            message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                QStringLiteral("No such interface")));
        return;
    }
    if (message.member() == QStringLiteral("GetAll")) {
        m_bus.send(message.createReply(properties));
    } else if (message.member() == QStringLiteral("Get")) {
        const QString name = args.value(1).toString();
        if (!properties.contains(name)) {
            m_bus.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                    QStringLiteral("No such property")));
            return;
        }
        m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(properties.value(name)))));
    } else {
        m_bus.send(message.createErrorReply(
            QStringLiteral("org.bluez.Error.NotSupported"), QStringLiteral("Read-only here")));
    }
}

void FakeBluez::connectProfile(Device &device, const QDBusMessage &message)
{
    const QString uuid = message.arguments().value(0).toString().toLower();
    if (!m_options.powered) {
        m_bus.send(message.createErrorReply(
            QStringLiteral("org.bluez.Error.NotReady"), QStringLiteral("Resource Not Ready")));
        return;
    }
    if (!device.inRange || !device.paired || !device.serial) {
        m_bus.send(message.createErrorReply(
            QStringLiteral("org.bluez.Error.Failed"), QStringLiteral("Host is down")));
        return;
    }
    // As the real service does: the connection goes to the earliest registration still in
    // place for this service class, whoever asked for it.
    const ProfileRegistration *profile = nullptr;
    for (const ProfileRegistration &candidate : m_profiles) {
        if (candidate.uuid.toLower() == uuid) {
            profile = &candidate;
            break;
        }
    }
    if (profile == nullptr) {
        m_bus.send(message.createErrorReply(QStringLiteral("org.bluez.Error.NotAvailable"),
            QStringLiteral("No profile registered for this service")));
        return;
    }
    closeConnection(device);
    int fds[2] = { -1, -1 };
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        m_bus.send(message.createErrorReply(
            QStringLiteral("org.bluez.Error.Failed"), QString::fromLocal8Bit(strerror(errno))));
        return;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    device.fd = fds[0];
    device.pacer = devsim::FramePacer {};
    QDBusMessage call = QDBusMessage::createMethodCall(profile->owner, profile->path,
        QStringLiteral("org.bluez.Profile1"), QStringLiteral("NewConnection"));
    call << QVariant::fromValue(QDBusObjectPath(device.path()))
         << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])) << QVariantMap {};
    ::close(fds[1]); // the message holds its own copy
    m_bus.asyncCall(call);
    m_bus.send(message.createReply());
    propertyChanged(device.path(), kDeviceInterface, QStringLiteral("Connected"), true);
}

void FakeBluez::closeConnection(Device &device)
{
    if (device.fd < 0) {
        return;
    }
    ::close(device.fd);
    device.fd = -1;
    propertyChanged(device.path(), kDeviceInterface, QStringLiteral("Connected"), false);
}

void FakeBluez::propertyChanged(
    const QString &path, const QString &interface, const QString &name, const QVariant &value)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(path, kProperties, QStringLiteral("PropertiesChanged"));
    signal << interface << QVariantMap { { name, value } } << QStringList {};
    m_bus.send(signal);
}

void FakeBluez::announce(const Device &device, bool added)
{
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/"), kObjectManager,
        added ? QStringLiteral("InterfacesAdded") : QStringLiteral("InterfacesRemoved"));
    signal << QVariant::fromValue(QDBusObjectPath(device.path()));
    if (added) {
        signal << QVariant::fromValue(
            InterfaceMap { { kDeviceInterface, device.properties(adapterPath()) } });
    } else {
        signal << QStringList { kDeviceInterface };
    }
    m_bus.send(signal);
}

QString FakeBluez::command(const QString &line)
{
    const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        return QString();
    }
    const QString verb = words.first();
    if (verb == QStringLiteral("hang")) {
        m_hung = true;
        return QString();
    }
    if (verb == QStringLiteral("answer")) {
        m_hung = false;
        return QString();
    }
    if (verb == QStringLiteral("power")) {
        m_options.powered = words.value(1) == QStringLiteral("on");
        if (!m_options.powered) {
            for (Device &device : m_devices) {
                closeConnection(device);
            }
        }
        propertyChanged(
            adapterPath(), kAdapterInterface, QStringLiteral("Powered"), m_options.powered);
        return QString();
    }
    if (verb == QStringLiteral("refused")) {
        return m_lastCall == QStringLiteral("refused")
            ? QString()
            : QStringLiteral("the last call was %1")
                  .arg(m_lastCall.isEmpty() ? QStringLiteral("not answered") : m_lastCall);
    }
    if (verb == QStringLiteral("foreign")) {
        // Another client on the bus, not the service: it has a name of its own.
        const QDBusConnection foreign = QDBusConnection::connectToBus(
            QDBusConnection::SystemBus, QStringLiteral("rotavex-fakebluez-foreign"));
        const QString member = words.value(1);
        if (member == QStringLiteral("release")) {
            return callProfile(foreign, QStringLiteral("Release"), nullptr, QString());
        }
        Device *device = deviceNumber(words.value(2).toInt());
        if (device == nullptr) {
            return QStringLiteral("no device %1").arg(words.value(2));
        }
        if (member == QStringLiteral("disconnect")) {
            return callProfile(foreign, QStringLiteral("RequestDisconnection"), device, QString());
        }
        if (member == QStringLiteral("new")) {
            return callProfile(foreign, QStringLiteral("NewConnection"), device, words.value(3));
        }
        return QStringLiteral("unknown foreign call %1").arg(member);
    }
    bool ok = false;
    Device *device = deviceNumber(words.value(1).toInt(&ok));
    if (!ok || device == nullptr) {
        return QStringLiteral("no device %1").arg(words.value(1));
    }
    if (verb == QStringLiteral("vanish")) {
        closeConnection(*device);
        if (device->present) {
            device->present = false;
            announce(*device, false);
        }
    } else if (verb == QStringLiteral("return")) {
        if (!device->present) {
            device->present = true;
            announce(*device, true);
        }
    } else if (verb == QStringLiteral("out")) {
        device->inRange = false;
        closeConnection(*device);
    } else if (verb == QStringLiteral("in")) {
        device->inRange = true;
    } else if (verb == QStringLiteral("unpair") || verb == QStringLiteral("pair")) {
        device->paired = verb == QStringLiteral("pair");
        if (!device->paired) {
            closeConnection(*device);
        }
        propertyChanged(device->path(), kDeviceInterface, QStringLiteral("Paired"), device->paired);
    } else if (verb == QStringLiteral("hand-file")) {
        return callProfile(m_bus, QStringLiteral("NewConnection"), device, QStringLiteral("file"));
    } else if (verb == QStringLiteral("rename")) {
        device->name = words.mid(2).join(u' ');
        propertyChanged(device->path(), kDeviceInterface, QStringLiteral("Alias"), device->name);
    } else {
        return QStringLiteral("unknown command %1").arg(verb);
    }
    return QString();
}

void FakeBluez::stream()
{
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_started);
    const auto step = now - m_lastTick;
    m_lastTick = now;
    for (Device &device : m_devices) {
        if (device.fd < 0) {
            continue;
        }
        const double rpm = devsim::rpmAt(m_options.profile, device.number, elapsed);
        const int due = device.pacer.advance(step, devsim::framesPerSecond(rpm));
        QByteArray bytes;
        for (int i = 0; i < due; ++i) {
            bytes += devsim::frameBytes(m_options.profile, device.number, device.framesSent++, rpm);
        }
        char drain[256];
        while (::recv(device.fd, drain, sizeof drain, MSG_DONTWAIT) > 0) {
            // Whatever the program writes is read and dropped, as a device would.
        }
        if (bytes.isEmpty()) {
            continue;
        }
        const ssize_t written =
            ::send(device.fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // The program closed its end.
            closeConnection(device);
        }
    }
}

QString FakeBluez::callProfile(
    QDBusConnection caller, const QString &member, Device *device, const QString &handOver)
{
    const auto profile = std::find_if(m_profiles.cbegin(), m_profiles.cend(),
        [](const ProfileRegistration &p) { return p.uuid.toLower() == kSerialPortUuid; });
    if (profile == m_profiles.cend()) {
        return QStringLiteral("no profile registered");
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        profile->owner, profile->path, QStringLiteral("org.bluez.Profile1"), member);
    if (device != nullptr) {
        call << QVariant::fromValue(QDBusObjectPath(device->path()));
    }
    if (member == QStringLiteral("NewConnection")) {
        QByteArray frames;
        for (quint64 i = 0; i < 40; ++i) {
            frames += devsim::frameBytes(m_options.profile, device->number, i, kInjectedRpm);
        }
        int fd = -1;
        if (handOver == QStringLiteral("file")) {
            m_file = std::make_unique<QTemporaryFile>();
            if (!m_file->open() || m_file->write(frames) != frames.size() || !m_file->flush()) {
                return QStringLiteral("cannot write a file to hand over");
            }
            fd = ::open(QFile::encodeName(m_file->fileName()).constData(), O_RDONLY | O_CLOEXEC);
        } else if (handOver == QStringLiteral("socket")) {
            int fds[2] = { -1, -1 };
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
                return QString::fromLocal8Bit(strerror(errno));
            }
            static_cast<void>(::send(fds[0], frames.constData(), size_t(frames.size()), 0));
            m_injected << fds[0];
            fd = fds[1];
        } else {
            return QStringLiteral("hand over a socket or a file");
        }
        if (fd < 0) {
            return QString::fromLocal8Bit(strerror(errno));
        }
        call << QVariant::fromValue(QDBusUnixFileDescriptor(fd)) << QVariantMap {};
        ::close(fd); // the message holds its own copy
    }
    m_lastCall.clear();
    auto *watcher = new QDBusPendingCallWatcher(caller.asyncCall(call), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
            done->deleteLater();
            m_lastCall = done->isError() ? QStringLiteral("refused") : QStringLiteral("accepted");
        });
    return QString();
}

void FakeBluez::churn()
{
    // Nearby devices come and go and every device's signal strength wanders, as in a crowd.
    const std::size_t first = std::size_t(
        m_options.pairedDevices + m_options.unpairedDevices + (m_options.headset ? 1 : 0));
    if (m_devices.size() > first) {
        Device &nearby = m_devices[first + m_churned % (m_devices.size() - first)];
        nearby.present = !nearby.present;
        announce(nearby, nearby.present);
    }
    if (m_devices.empty()) {
        return;
    }
    Device &device = m_devices[m_churned % m_devices.size()];
    device.rssi = qint16(-40 - int(m_churned % 50));
    propertyChanged(device.path(), kDeviceInterface, QStringLiteral("RSSI"), device.rssi);
    ++m_churned;
}
