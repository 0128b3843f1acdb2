// SPDX-License-Identifier: MIT
#include "link/player_links.h"

#include "link/bluetooth_devices.h"
#include "link/bluetooth_transport.h"
#include "link/port_events.h"
#include "link/serial_control.h"

#include <QScopedValueRollback>
#include <QTime>
#include <QTimer>

using link_status::LinkState;
using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

constexpr std::chrono::milliseconds kWatchdogInterval { 2000 };

QString portKey(qint16 port) { return QStringLiteral("port %1").arg(port); }

} // namespace

PlayerLinks::PlayerLinks(QObject *parent, BluetoothStart bluetooth)
    : QObject(parent)
    , m_watchdog(new QTimer(this))
    , m_pace(new QTimer(this))
    , m_devices(new BluetoothDevices(this))
    , m_profile(new BluetoothTransport(this))
{
    setObjectName(QStringLiteral("PlayerLinks"));
    m_watchdog->setObjectName(QStringLiteral("tmrTimeout"));
    m_watchdog->setInterval(kWatchdogInterval);
    connect(m_watchdog, &QTimer::timeout, this, &PlayerLinks::watchdogTick);
    m_watchdog->start();
    m_pace->setInterval(kReadPace);
    connect(m_pace, &QTimer::timeout, this, &PlayerLinks::paceTick);
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        Link &link = m_links[player];
        link.control = new SerialControl(this);
        link.control->setObjectName(QStringLiteral("MSComm%1").arg(player));
        link.serial = new SerialLink(*link.control, this);
        link.bluetooth = new BluetoothLink(player, *m_profile, *m_devices, this);
        for (LinkTransport *transport : { static_cast<LinkTransport *>(link.serial),
                 static_cast<LinkTransport *>(link.bluetooth) }) {
            // A quiet try never takes what another player's open link holds.
            transport->setMayOpen([this, player] {
                const QString what = holdsWhat(player);
                for (PlayerSlot holder = kFirstPlayer; holder <= kLastPlayer; ++holder) {
                    if (holder != player && isOpen(holder) && holdsWhat(holder) == what) {
                        return false;
                    }
                }
                return true;
            });
            // Only the transport the player uses now is heard.
            const auto inUse = [this, player, transport] {
                return m_links[player].transport == transport;
            };
            // A handler of this player's, run only while the transport is the one in use.
            const auto hear = [this, player, inUse](auto handler) {
                return [this, player, inUse, handler](const auto &...signalled) {
                    if (inUse()) {
                        (this->*handler)(player, signalled...);
                    }
                };
            };
            connect(transport, &LinkTransport::opened, this, hear(&PlayerLinks::handleOpened));
            connect(transport, &LinkTransport::failed, this, hear(&PlayerLinks::handleFailed));
            connect(transport, &LinkTransport::lost, this, hear(&PlayerLinks::handleLost));
            connect(transport, &LinkTransport::received, this, hear(&PlayerLinks::handleReceived));
            // Whichever transport has bytes is read, in use or not, so none is left unwatched.
            // The first bytes after a silence are read at once (the program is awake for them
            // anyway); what follows while the device streams waits for the pace.
            connect(transport, &LinkTransport::pending, this, [this, transport] {
                if (!m_takingIn) {
                    const QScopedValueRollback<bool> busy(m_takingIn, true);
                    transport->takeIn();
                }
                if (!m_pace->isActive()) {
                    m_pace->start();
                }
            });
            connect(transport, &LinkTransport::reasonChanged, this,
                [this, player, inUse](const QString &reason) {
                    link_status::LinkStatus &status = m_links[player].status;
                    if (inUse() && link_status::IsWaiting(status.state)
                        && status.reason != reason) {
                        status.reason = reason; // the state and its time stay
                        Q_EMIT statusChanged(player);
                    }
                });
            connect(transport, &LinkTransport::renamed, this,
                [this, player, inUse](const QString &name) {
                    if (inUse() && m_links[player].status.deviceName != name) {
                        m_links[player].status.deviceName = name;
                        Q_EMIT statusChanged(player);
                    }
                });
        }
    }
    if (bluetooth == BluetoothStart::Now) {
        startBluetooth();
    }
}

PlayerLinks::~PlayerLinks() = default;

void PlayerLinks::startBluetooth()
{
    m_profile->start();
    m_devices->start();
}

std::optional<QString> PlayerLinks::open(PlayerSlot player, qint16 port)
{
    if (std::optional<QString> busy = heldBy(player, portKey(port))) {
        return busy;
    }
    Link &link = m_links[player];
    const bool waitingHere = link_status::IsWaiting(link.status.state)
        && link.transport == link.serial && link.serial->port() == port;
    if (link_status::IsWaiting(link.status.state) && !waitingHere) {
        stop(player);
        setStatus(player, LinkState::Closed, QString());
    }
    link.serial->setPort(port);
    link.transport = link.serial;
    link.asked = Asked::UserOpen;
    std::optional<QString> failure = link.serial->open(LinkTransport::Opening::ByUser);
    if (failure) {
        // A link that waited for this port goes on waiting; any other is left unused.
        link.asked = Asked::Nothing;
        link.transport = waitingHere ? link.serial : nullptr;
    }
    return failure;
}

void PlayerLinks::openAtStart(PlayerSlot player, qint16 port)
{
    if (const std::optional<QString> failure = open(player, port)) {
        Link &link = m_links[player];
        link.status.port = port;
        link.status.device.clear();
        link.serial->setPort(port);
        link.transport = link.serial;
        setStatus(player, LinkState::StartFailed, *failure);
        link.serial->keepTrying();
    }
}

std::optional<QString> PlayerLinks::beginOpenDevice(PlayerSlot player, const QString &address)
{
    const QString device = address.toUpper();
    if (std::optional<QString> busy = heldBy(player, device)) {
        return busy;
    }
    Link &link = m_links[player];
    if (link_status::IsWaiting(link.status.state)) {
        stop(player);
        setStatus(player, LinkState::Closed, QString());
    }
    link.status.device = device;
    link.status.deviceName = m_devices->nameOf(device);
    link.bluetooth->setDevice(device);
    link.transport = link.bluetooth;
    link.asked = Asked::UserOpen;
    std::optional<QString> failure = link.bluetooth->open(LinkTransport::Opening::ByUser);
    if (failure) {
        link.asked = Asked::Nothing;
        link.transport = nullptr;
    }
    return failure;
}

void PlayerLinks::openDeviceAtStart(PlayerSlot player, const QString &address)
{
    Link &link = m_links[player];
    link.status.device = address.toUpper();
    link.status.deviceName = m_devices->nameOf(link.status.device);
    link.bluetooth->setDevice(link.status.device);
    link.transport = link.bluetooth;
    link.asked = Asked::StartOpen;
    if (const std::optional<QString> failure =
            link.bluetooth->open(LinkTransport::Opening::AtStart)) {
        handleFailed(player, *failure);
    }
}

void PlayerLinks::setBluetoothTiming(const BluetoothTiming &timing)
{
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        m_links[player].bluetooth->setTiming(timing);
    }
}

void PlayerLinks::close(PlayerSlot player)
{
    const bool wasOpen = isOpen(player);
    stop(player);
    setStatus(player, LinkState::Closed, QString());
    if (wasOpen) {
        Q_EMIT openChanged(player, false);
    }
}

void PlayerLinks::closeAll()
{
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        if (isOpen(player) || link_status::IsWaiting(m_links[player].status.state)) {
            close(player);
        }
    }
}

bool PlayerLinks::isOpen(PlayerSlot player) const
{
    return m_links[player].serial->isOpen() || m_links[player].bluetooth->isOpen();
}

link_status::LinkStatus PlayerLinks::status(PlayerSlot player) const
{
    return m_links[player].status;
}

SerialControl *PlayerLinks::control(PlayerSlot player) const { return m_links[player].control; }

void PlayerLinks::watchdogTick()
{
    takeIn();
    const rotavex::PerPlayer<bool> zeroed = port_events::WatchdogTick(m_linkSeen, m_latest.rpm);
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        m_latest.stored[player] += zeroed[player] ? 1 : 0;
    }
}

void PlayerLinks::takeIn()
{
    if (!m_takingIn) {
        takeInLinks();
    }
}

const rotavex::PlayerRpm &PlayerLinks::playerRpm()
{
    takeIn();
    return m_latest.rpm;
}

const port_events::LatestSamples &PlayerLinks::latestSamples()
{
    takeIn();
    return m_latest;
}

rotavex::LinkSeen &PlayerLinks::linkSeen()
{
    takeIn();
    return m_linkSeen;
}

void PlayerLinks::storeSample(PlayerSlot player, qint32 rpm)
{
    takeIn();
    m_latest.rpm[player] = rpm;
    ++m_latest.stored[player];
}

std::optional<QString> PlayerLinks::heldBy(PlayerSlot player, const QString &what) const
{
    for (PlayerSlot holder = kFirstPlayer; holder <= kLastPlayer; ++holder) {
        if (isOpen(holder) && (holder == player || holdsWhat(holder) == what)) {
            // The serial layer would only guess at "another program"; we know who holds it.
            return QStringLiteral("%1 is already open for player %2.")
                .arg(link_status::LinkName(m_links[holder].status))
                .arg(holder);
        }
    }
    return std::nullopt;
}

QString PlayerLinks::holdsWhat(PlayerSlot player) const
{
    const Link &link = m_links[player];
    if (link.transport == link.serial) {
        return portKey(link.serial->port());
    }
    if (link.transport == link.bluetooth) {
        return link.bluetooth->device();
    }
    return QString();
}

void PlayerLinks::stop(PlayerSlot player)
{
    Link &link = m_links[player];
    link.serial->close();
    link.bluetooth->close();
    link.transport = nullptr;
    link.asked = Asked::Nothing;
}

void PlayerLinks::setStatus(PlayerSlot player, LinkState state, const QString &reason)
{
    link_status::LinkStatus &status = m_links[player].status;
    status.state = state;
    status.reason = reason;
    status.at = QTime::currentTime();
    Q_EMIT statusChanged(player);
}

void PlayerLinks::handleOpened(PlayerSlot player)
{
    Link &link = m_links[player];
    const Asked asked = link.asked;
    link.asked = Asked::Nothing;
    const bool reconnect = link_status::IsWaiting(link.status.state) && asked == Asked::Nothing;
    if (link.transport == link.bluetooth) {
        link.decoder = comm::PacketState {};
        link.status.deviceName = m_devices->nameOf(link.status.device);
    } else {
        link.status.port = link.serial->port();
        link.status.device.clear();
        link.status.deviceName.clear();
    }
    setStatus(player, LinkState::Open, QString());
    Q_EMIT openChanged(player, true);
    if (asked == Asked::UserOpen && link.transport == link.bluetooth) {
        Q_EMIT bluetoothOpenFinished(player, QString());
    } else if (reconnect) {
        Q_EMIT reconnected(player);
    }
}

void PlayerLinks::handleFailed(PlayerSlot player, const QString &reason)
{
    Link &link = m_links[player];
    const Asked asked = link.asked;
    link.asked = Asked::Nothing;
    switch (asked) {
    case Asked::UserOpen:
        link.transport = nullptr;
        setStatus(player, LinkState::Closed, QString());
        Q_EMIT bluetoothOpenFinished(player, reason);
        break;
    case Asked::StartOpen:
        setStatus(player, LinkState::StartFailed, reason);
        link.transport->keepTrying();
        break;
    case Asked::Nothing:
        break;
    }
}

void PlayerLinks::handleLost(PlayerSlot player, const QString &reason)
{
    setStatus(player, LinkState::Lost, reason);
    Q_EMIT openChanged(player, false);
    Q_EMIT linkLost(player, reason);
    if (LinkTransport *transport = m_links[player].transport) {
        transport->keepTrying();
    }
}

void PlayerLinks::paceTick()
{
    if (!m_takingIn && !takeInLinks()) {
        m_pace->stop(); // every device is silent; the next byte of any restarts the pace
    }
}

bool PlayerLinks::takeInLinks()
{
    // Whoever reacts to a decoded sample may look at the samples again; that look must not
    // read the links inside this read.
    const QScopedValueRollback<bool> busy(m_takingIn, true);
    bool any = false;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        const Link &link = m_links[player];
        for (LinkTransport *transport : { static_cast<LinkTransport *>(link.serial),
                 static_cast<LinkTransport *>(link.bluetooth) }) {
            if (transport->isOpen()) {
                any = transport->takeIn() || any;
            }
        }
    }
    return any;
}

void PlayerLinks::handleReceived(PlayerSlot player, const QByteArray &bytes)
{
    Link &link = m_links[player];
    if (port_events::OnComm(link.decoder, bytes, player, m_latest.rpm, m_linkSeen)) {
        ++m_latest.stored[player];
    }
}
