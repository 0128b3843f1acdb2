// SPDX-License-Identifier: MIT
#include "link/bluetooth_transport.h"

#include "link/bluetooth_inventory.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

using bluetooth_inventory::kDeviceInterface;
using bluetooth_inventory::kService;

const QString kProfilePath = QStringLiteral("/io/github/rotavex/serial_port");

QString serialUuid() { return QString::fromLatin1(bluetooth_inventory::kSerialPortUuid); }

// A call nobody waits for: its answer, if any, is dropped.
void callAndForget(const QString &path, const QString &interface, const QString &method,
    const QList<QVariant> &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(arguments);
    QDBusConnection::systemBus().call(call, QDBus::NoBlock);
}

} // namespace

BluetoothTransport::BluetoothTransport(QObject *parent)
    : QObject(parent)
{
}

void BluetoothTransport::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return;
    }
    // The registration dies with the service; a new service needs a new one.
    auto *owner =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString &, const QString &, const QString &newOwner) {
            serviceOwnerChanged(newOwner);
        });
    // Who owns the name now; the watcher reports every change after this.
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("GetNameOwner"));
    ask << kService;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, kCallTimeoutMs), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
            done->deleteLater();
            const QDBusMessage reply = done->reply();
            if (!m_ownerKnown && reply.type() == QDBusMessage::ReplyMessage
                && reply.signature() == QStringLiteral("s")) {
                m_owner = reply.arguments().constFirst().toString();
            }
        });
}

BluetoothTransport::~BluetoothTransport()
{
    // Nothing here waits for the service: the requests go out and the program moves on.
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        Attempt &attempt = m_attempts[player];
        if (attempt.fd >= 0) {
            attempt.input->setEnabled(false);
            ::close(attempt.fd);
            callAndForget(attempt.devicePath, kDeviceInterface, QStringLiteral("DisconnectProfile"),
                { serialUuid() });
        }
    }
    if (m_registration == Registration::Done) {
        callAndForget(QStringLiteral("/org/bluez"), QStringLiteral("org.bluez.ProfileManager1"),
            QStringLiteral("UnregisterProfile"),
            { QVariant::fromValue(QDBusObjectPath(kProfilePath)) });
    }
    if (m_exported) {
        QDBusConnection::systemBus().unregisterObject(kProfilePath);
    }
}

void BluetoothTransport::connectDevice(
    PlayerSlot player, const QString &devicePath, quint32 attempt)
{
    drop(player, 0);
    m_attempts[player] = Attempt { attempt, devicePath, false, -1, nullptr };
    if (devicePath.isEmpty() || !QDBusConnection::systemBus().isConnected()) {
        finish(player, false);
        return;
    }
    if (m_registration == Registration::Done) {
        request(player);
    } else {
        ensureRegistered();
    }
}

void BluetoothTransport::drop(PlayerSlot player, quint32 attempt)
{
    const Attempt &current = m_attempts[player];
    if (current.number == 0 || (attempt != 0 && current.number != attempt)) {
        return;
    }
    finish(player, true);
}

void BluetoothTransport::ensureRegistered()
{
    if (m_registration != Registration::None) {
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!m_exported) {
        m_exported = bus.registerObject(kProfilePath, this, QDBusConnection::ExportAllSlots);
    }
    m_registration = Registration::Pending;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/bluez"),
        QStringLiteral("org.bluez.ProfileManager1"), QStringLiteral("RegisterProfile"));
    call << QVariant::fromValue(QDBusObjectPath(kProfilePath)) << serialUuid()
         << QVariantMap { { QStringLiteral("Role"), QStringLiteral("client") },
                { QStringLiteral("Name"), QStringLiteral("Rotavex serial port") },
                // Connections only when a player asks, never because a device came near.
                { QStringLiteral("AutoConnect"), false } };
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, &BluetoothTransport::handleRegistered);
}

void BluetoothTransport::handleRegistered(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    if (m_registration != Registration::Pending) {
        return; // the service changed hands meanwhile
    }
    const bool already = watcher->isError()
        && watcher->error().name() == QStringLiteral("org.bluez.Error.AlreadyExists");
    m_registration = !watcher->isError() || already ? Registration::Done : Registration::None;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        const Attempt &attempt = m_attempts[player];
        if (attempt.number == 0 || attempt.requested) {
            continue;
        }
        if (m_registration == Registration::Done) {
            request(player);
        } else {
            finish(player, false);
        }
    }
}

void BluetoothTransport::request(PlayerSlot player)
{
    Attempt &attempt = m_attempts[player];
    attempt.requested = true;
    const quint32 number = attempt.number;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, attempt.devicePath, kDeviceInterface, QStringLiteral("ConnectProfile"));
    call << serialUuid();
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, player, number](QDBusPendingCallWatcher *done) {
            done->deleteLater();
            const Attempt &current = m_attempts[player];
            // The service answers once the connection stands or failed; a connection already
            // handed over needs nothing more.
            if (done->isError() && current.number == number && current.fd < 0) {
                finish(player, false);
            }
        });
    // The service answers ConnectProfile only when the page is over, so silence tells nothing;
    // a quick question about the device tells whether the service is answering at all.
    QDBusMessage probe = QDBusMessage::createMethodCall(kService, attempt.devicePath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    probe << kDeviceInterface << QStringLiteral("Address");
    auto *probeWatcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(probe, kCallTimeoutMs), this);
    connect(probeWatcher, &QDBusPendingCallWatcher::finished, this,
        [this, player, number](QDBusPendingCallWatcher *done) {
            done->deleteLater();
            if (!done->isError() && m_attempts[player].number == number) {
                Q_EMIT connecting(player, number);
            }
        });
}

bool BluetoothTransport::acceptCall(const char *what)
{
    if (!calledFromDBus()) {
        return true;
    }
    if (!m_owner.isEmpty() && message().service() == m_owner) {
        return true;
    }
    // Anyone else on the bus could drop a player's link or feed it frames of their own.
    sendErrorReply(QStringLiteral("org.bluez.Error.Rejected"),
        QStringLiteral("%1 is taken only from the Bluetooth service").arg(QLatin1String(what)));
    return false;
}

void BluetoothTransport::NewConnection(
    const QDBusObjectPath &device, const QDBusUnixFileDescriptor &fd, const QVariantMap &)
{
    if (!acceptCall("NewConnection")) {
        return;
    }
    // Only a socket is a connection: a file or a pipe would be read as a device's frames.
    struct stat about = {};
    if (!fd.isValid() || ::fstat(fd.fileDescriptor(), &about) != 0 || !S_ISSOCK(about.st_mode)) {
        sendErrorReply(QStringLiteral("org.bluez.Error.Rejected"),
            QStringLiteral("A connection must be a socket"));
        return;
    }
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        Attempt &attempt = m_attempts[player];
        if (attempt.number == 0 || attempt.fd >= 0 || attempt.devicePath != device.path()) {
            continue;
        }
        // The message keeps its own descriptor; the link gets one of its own, read as bytes
        // arrive and never waited on.
        attempt.fd = ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
        if (attempt.fd < 0
            || ::fcntl(attempt.fd, F_SETFL, ::fcntl(attempt.fd, F_GETFL) | O_NONBLOCK) != 0) {
            finish(player, true);
            return;
        }
        attempt.input = new QSocketNotifier(attempt.fd, QSocketNotifier::Read, this);
        connect(attempt.input, &QSocketNotifier::activated, this,
            [this, player] { inputArrived(player); });
        Q_EMIT connected(player, attempt.number);
        return;
    }
    // Nobody asks for this device now (an attempt given up meanwhile): the service is told
    // to close it.
    callAndForget(
        device.path(), kDeviceInterface, QStringLiteral("DisconnectProfile"), { serialUuid() });
}

void BluetoothTransport::inputArrived(PlayerSlot player)
{
    // The bytes wait in the socket until the owner takes them in at its pace; until then the
    // connection is not watched, so a streaming device does not wake the program per packet.
    Attempt &attempt = m_attempts[player];
    attempt.input->setEnabled(false);
    Q_EMIT pending(player, attempt.number);
}

bool BluetoothTransport::takeIn(PlayerSlot player, quint32 attempt)
{
    const Attempt &current = m_attempts[player];
    if (attempt == 0 || current.number != attempt || current.fd < 0) {
        return false;
    }
    QByteArray bytes;
    char buffer[4096];
    bool closed = false;
    // A sender faster than the decoder must not hold the loop: what is left waits for the next
    // call.
    while (bytes.size() < kReadLimit) {
        const ssize_t count = ::read(current.fd, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        closed = count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    if (!bytes.isEmpty()) {
        Q_EMIT received(player, attempt, bytes);
    }
    if (m_attempts[player].number != attempt) {
        return !bytes.isEmpty(); // dropped by a receiver meanwhile
    }
    if (closed) {
        finish(player, true);
    } else if (bytes.isEmpty()) {
        m_attempts[player].input->setEnabled(true);
    }
    return !bytes.isEmpty();
}

void BluetoothTransport::RequestDisconnection(const QDBusObjectPath &device)
{
    if (!acceptCall("RequestDisconnection")) {
        return;
    }
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        if (m_attempts[player].number != 0 && m_attempts[player].devicePath == device.path()) {
            finish(player, false);
        }
    }
}

void BluetoothTransport::Release()
{
    if (acceptCall("Release")) {
        m_registration = Registration::None;
    }
}

void BluetoothTransport::finish(PlayerSlot player, bool disconnectProfile)
{
    const Attempt attempt = m_attempts[player];
    if (attempt.number == 0) {
        return;
    }
    m_attempts[player] = Attempt {};
    if (attempt.fd >= 0) {
        // The notifier may be the caller: it goes once control is back in the event loop.
        if (attempt.input != nullptr) {
            attempt.input->setEnabled(false);
            attempt.input->deleteLater();
        }
        ::close(attempt.fd);
        if (disconnectProfile) {
            // Closing our descriptor alone leaves the service's end of the link up.
            callAndForget(attempt.devicePath, kDeviceInterface, QStringLiteral("DisconnectProfile"),
                { serialUuid() });
        }
    }
    const quint32 number = attempt.number;
    QMetaObject::invokeMethod(
        this, [this, player, number] { Q_EMIT ended(player, number); }, Qt::QueuedConnection);
}

void BluetoothTransport::serviceOwnerChanged(const QString &owner)
{
    m_owner = owner;
    m_ownerKnown = true;
    m_registration = Registration::None;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        if (m_attempts[player].number != 0 && m_attempts[player].fd < 0) {
            finish(player, false);
        }
    }
}
