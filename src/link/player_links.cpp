// SPDX-License-Identifier: MIT
#include "link/player_links.h"

#include "link/bluetooth_devices.h"
#include "link/bluetooth_inventory.h"
#include "link/bluetooth_transport.h"
#include "link/port_events.h"
#include "link/port_names.h"
#include "link/serial_control.h"

#include <QTime>
#include <QTimer>

using link_status::LinkState;
using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

constexpr auto kLineSettings = "9600,n,8,1";
constexpr qint16 kReceiveThreshold = 1;
constexpr std::chrono::milliseconds kWatchdogInterval { 2000 };

} // namespace

PlayerLinks::PlayerLinks(QObject *parent)
    : QObject(parent)
    , m_watch(new QTimer(this))
    , m_watchdog(new QTimer(this))
    , m_bluetoothRetry(new QTimer(this))
    , m_devices(new BluetoothDevices(this))
    , m_transport(new BluetoothTransport(this))
{
    setObjectName(QStringLiteral("PlayerLinks"));
    m_watchdog->setObjectName(QStringLiteral("tmrTimeout"));
    m_watchdog->setInterval(kWatchdogInterval);
    connect(m_watchdog, &QTimer::timeout, this, &PlayerLinks::watchdogTick);
    m_watchdog->start();
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        auto *control = new SerialControl(this);
        control->setObjectName(QStringLiteral("MSComm%1").arg(player));
        m_links[player].control = control;
        connect(control, &SerialControl::OnComm, this, [this, player] { handleOnComm(player); });
        connect(control, &SerialControl::linkLost, this,
            [this, player](const QString &description) { handleLost(player, description); });
    }
    m_watch->setInterval(kWatchInterval);
    connect(m_watch, &QTimer::timeout, this, &PlayerLinks::watchTick);
    m_bluetoothRetry->setInterval(m_timing.retry);
    connect(m_bluetoothRetry, &QTimer::timeout, this, &PlayerLinks::retryTick);
    connect(m_devices, &BluetoothDevices::changed, this, &PlayerLinks::devicesChanged);
    connect(m_transport, &BluetoothTransport::connecting, this,
        [this](PlayerSlot player, quint32 attempt) {
            if (m_links[player].attempt == attempt) {
                m_links[player].attemptReachedService = true;
            }
        });
    connect(m_transport, &BluetoothTransport::connected, this, &PlayerLinks::handleConnected);
    connect(m_transport, &BluetoothTransport::received, this, &PlayerLinks::handleReceived);
    connect(m_transport, &BluetoothTransport::ended, this, &PlayerLinks::handleEnded);
}

PlayerLinks::~PlayerLinks() = default;

std::optional<QString> PlayerLinks::open(PlayerSlot player, qint16 port)
{
    const link_status::LinkStatus before = m_links[player].status;
    const bool waitingHere =
        link_status::IsWaiting(before.state) && before.port == port && before.device.isEmpty();
    if (link_status::IsWaiting(before.state) && !waitingHere) {
        endBluetooth(player);
        setStatus(player, LinkState::Closed, QString());
    }
    std::optional<QString> failure = openPort(player, port);
    if (!failure) {
        setStatus(player, LinkState::Open, QString());
        Q_EMIT openChanged(player, true);
    }
    return failure;
}

void PlayerLinks::openAtStart(PlayerSlot player, qint16 port)
{
    if (const std::optional<QString> failure = open(player, port)) {
        m_links[player].status.port = port;
        setStatus(player, LinkState::StartFailed, *failure);
    }
}

void PlayerLinks::close(PlayerSlot player)
{
    const bool wasOpen = isOpen(player);
    // Closing cannot usefully fail: whatever happens, the link ends up closed.
    static_cast<void>(m_links[player].control->setPortOpen(false));
    if (isBluetooth(player)) {
        endBluetooth(player);
    }
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
    return m_links[player].control->portOpen() || m_links[player].bluetoothOpen;
}

link_status::LinkStatus PlayerLinks::status(PlayerSlot player) const
{
    return m_links[player].status;
}

SerialControl *PlayerLinks::control(PlayerSlot player) const { return m_links[player].control; }

void PlayerLinks::watchdogTick()
{
    const rotavex::PerPlayer<bool> zeroed = port_events::WatchdogTick(m_linkSeen, m_latest.rpm);
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        m_latest.stored[player] += zeroed[player] ? 1 : 0;
    }
}

void PlayerLinks::storeSample(PlayerSlot player, qint32 rpm)
{
    m_latest.rpm[player] = rpm;
    ++m_latest.stored[player];
}

std::optional<QString> PlayerLinks::openPort(PlayerSlot player, qint16 port)
{
    for (PlayerSlot holder = kFirstPlayer; holder <= kLastPlayer; ++holder) {
        const qint16 held = m_links[holder].status.port;
        const bool heldHere = held == port && !isBluetooth(holder);
        if (isOpen(holder) && (heldHere || holder == player)) {
            // The serial layer would only guess at "another program"; we know who holds it.
            return QStringLiteral("%1 is already open for player %2.")
                .arg(link_status::LinkName(m_links[holder].status))
                .arg(holder);
        }
    }
    SerialControl &control = *m_links[player].control;
    control.setCommPort(port);
    control.setSettings(QString::fromLatin1(kLineSettings));
    control.setRThreshold(kReceiveThreshold);
    const std::optional<QString> error = control.setPortOpen(true);
    if (error) {
        return error;
    }
    if (!control.portOpen()) {
        return QString();
    }
    m_links[player].status.port = port;
    m_links[player].status.device.clear();
    m_links[player].status.deviceName.clear();
    return std::nullopt;
}

void PlayerLinks::setStatus(PlayerSlot player, LinkState state, const QString &reason)
{
    link_status::LinkStatus &status = m_links[player].status;
    status.state = state;
    status.reason = reason;
    status.at = QTime::currentTime();
    QTimer *watch = status.device.isEmpty() ? m_watch : m_bluetoothRetry;
    if (link_status::IsWaiting(state) && !watch->isActive()) {
        watch->start();
    }
    Q_EMIT statusChanged(player);
}

void PlayerLinks::handleOnComm(PlayerSlot player)
{
    Link &link = m_links[player];
    if (port_events::OnComm(
            link.decoder, link.control->input(), player, m_latest.rpm, m_linkSeen)) {
        ++m_latest.stored[player];
    }
}

void PlayerLinks::handleLost(PlayerSlot player, const QString &description)
{
    const qint16 port = m_links[player].status.port;
    // A device that went away is the usual case and the one a user can act on; anything else
    // keeps the serial layer's own words.
    const bool deviceGone = port_names::Resolve(port).device.isEmpty();
    const QString reason = deviceGone ? QStringLiteral("the device disconnected") : description;
    setStatus(player, LinkState::Lost, reason);
    Q_EMIT openChanged(player, false);
    Q_EMIT linkLost(player, reason);
}

void PlayerLinks::watchTick()
{
    bool stillWaiting = false;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        const link_status::LinkStatus status = m_links[player].status;
        if (!link_status::IsWaiting(status.state) || !status.device.isEmpty()) {
            continue;
        }
        // Only a stat until the device is back: nothing is opened, so nothing is held.
        if (port_names::Resolve(status.port).device.isEmpty() || openPort(player, status.port)) {
            stillWaiting = true;
            continue;
        }
        setStatus(player, LinkState::Open, QString());
        Q_EMIT openChanged(player, true);
        Q_EMIT reconnected(player);
    }
    if (!stillWaiting) {
        m_watch->stop();
    }
}

std::optional<QString> PlayerLinks::beginOpenDevice(PlayerSlot player, const QString &address)
{
    const QString device = address.toUpper();
    for (PlayerSlot holder = kFirstPlayer; holder <= kLastPlayer; ++holder) {
        const bool heldHere =
            m_links[holder].bluetoothOpen && m_links[holder].status.device == device;
        if (isOpen(holder) && (heldHere || holder == player)) {
            return QStringLiteral("%1 is already open for player %2.")
                .arg(link_status::LinkName(m_links[holder].status))
                .arg(holder);
        }
    }
    Link &link = m_links[player];
    if (link_status::IsWaiting(link.status.state)) {
        endBluetooth(player);
        setStatus(player, LinkState::Closed, QString());
    }
    link.status.device = device;
    link.status.deviceName = m_devices->nameOf(device);
    if (const std::optional<QString> obstacle = m_devices->obstacle(device)) {
        return *obstacle;
    }
    startAttempt(player, AttemptKind::UserOpen);
    return std::nullopt;
}

void PlayerLinks::openDeviceAtStart(PlayerSlot player, const QString &address)
{
    Link &link = m_links[player];
    link.status.device = address.toUpper();
    link.status.deviceName = m_devices->nameOf(link.status.device);
    // The service's answer about adapters and devices may not be in yet; the first one starts
    // the attempt then.
    link.attemptKind = AttemptKind::AtStart;
    link.startPending = !m_devices->isLoaded();
    if (!link.startPending) {
        startAttempt(player, AttemptKind::AtStart);
    }
}

void PlayerLinks::setBluetoothTiming(const BluetoothTiming &timing)
{
    m_timing = timing;
    m_bluetoothRetry->setInterval(m_timing.retry);
}

bool PlayerLinks::isBluetooth(PlayerSlot player) const
{
    return !m_links[player].status.device.isEmpty();
}

void PlayerLinks::startAttempt(PlayerSlot player, AttemptKind kind)
{
    Link &link = m_links[player];
    link.attempt = ++m_lastAttempt;
    link.busyAttempt = link.attempt;
    link.attemptKind = kind;
    link.attemptReachedService = false;
    m_transport->connectDevice(player, m_devices->pathOf(link.status.device), link.attempt);
    const auto timeout =
        kind == AttemptKind::UserOpen ? m_timing.openTimeout : m_timing.retryTimeout;
    const quint32 attempt = link.attempt;
    QTimer::singleShot(
        timeout, this, [this, player, attempt] { handleAttemptTimeout(player, attempt); });
}

void PlayerLinks::endBluetooth(PlayerSlot player)
{
    Link &link = m_links[player];
    link.startPending = false;
    if (link.attempt != 0 || link.bluetoothOpen) {
        m_transport->drop(player, link.attempt);
    }
    link.attempt = 0;
    link.bluetoothOpen = false;
}

void PlayerLinks::handleConnected(PlayerSlot player, quint32 attempt)
{
    Link &link = m_links[player];
    if (attempt != link.attempt) {
        // An abandoned attempt got through after all; it is not wanted any more.
        m_transport->drop(player, attempt);
        return;
    }
    const bool reconnect = link_status::IsWaiting(link.status.state);
    const AttemptKind kind = link.attemptKind;
    link.bluetoothOpen = true;
    link.decoder = comm::PacketState {};
    link.status.deviceName = m_devices->nameOf(link.status.device);
    setStatus(player, LinkState::Open, QString());
    Q_EMIT openChanged(player, true);
    if (kind == AttemptKind::UserOpen) {
        Q_EMIT bluetoothOpenFinished(player, QString());
    } else if (reconnect) {
        Q_EMIT reconnected(player);
    }
}

void PlayerLinks::handleReceived(PlayerSlot player, quint32 attempt, const QByteArray &bytes)
{
    Link &link = m_links[player];
    if (attempt != link.attempt || !link.bluetoothOpen) {
        return;
    }
    if (port_events::OnComm(link.decoder, bytes, player, m_latest.rpm, m_linkSeen)) {
        ++m_latest.stored[player];
    }
}

void PlayerLinks::handleEnded(PlayerSlot player, quint32 attempt)
{
    Link &link = m_links[player];
    if (attempt == link.busyAttempt) {
        link.busyAttempt = 0;
    }
    if (attempt != link.attempt) {
        return;
    }
    link.attempt = 0;
    if (link.bluetoothOpen) {
        link.bluetoothOpen = false;
        const QString reason = failureReason(player);
        setStatus(player, LinkState::Lost, reason);
        Q_EMIT openChanged(player, false);
        Q_EMIT linkLost(player, reason);
        // The device may be back before the next tick; no reason to wait the whole interval.
        return;
    }
    attemptFailed(player, failureReason(player));
}

void PlayerLinks::handleAttemptTimeout(PlayerSlot player, quint32 attempt)
{
    Link &link = m_links[player];
    if (attempt != link.attempt || link.bluetoothOpen) {
        return;
    }
    // Qt never reports a page that failed; silence this long means the device did not answer,
    // or the service itself did not take the request.
    const QString reason = link.attemptReachedService ? failureReason(player)
                                                      : bluetooth_inventory::NotAnsweringReason();
    m_transport->drop(player, attempt);
    link.attempt = 0;
    attemptFailed(player, reason);
}

void PlayerLinks::attemptFailed(PlayerSlot player, const QString &reason)
{
    Link &link = m_links[player];
    switch (link.attemptKind) {
    case AttemptKind::UserOpen:
        link.attemptKind = AttemptKind::Retry;
        setStatus(player, LinkState::Closed, QString());
        Q_EMIT bluetoothOpenFinished(player, reason);
        break;
    case AttemptKind::AtStart:
        link.attemptKind = AttemptKind::Retry;
        setStatus(player, LinkState::StartFailed, reason);
        break;
    case AttemptKind::Retry:
        // Quietly: the state and its time stay as they were when the link was lost.
        break;
    }
}

QString PlayerLinks::failureReason(PlayerSlot player) const
{
    if (m_devices->isLoaded() && !m_devices->isHung()) {
        if (const std::optional<QString> obstacle =
                m_devices->obstacle(m_links[player].status.device)) {
            return *obstacle;
        }
    }
    return bluetooth_inventory::OutOfReachReason();
}

void PlayerLinks::retryTick()
{
    bool stillWaiting = false;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        const Link &link = m_links[player];
        if (!isBluetooth(player) || !link_status::IsWaiting(link.status.state)) {
            continue;
        }
        stillWaiting = true;
        // One attempt at a time: a request still pending with the service is not piled upon.
        if (link.attempt == 0 && link.busyAttempt == 0) {
            startAttempt(player, AttemptKind::Retry);
        }
    }
    if (!stillWaiting) {
        m_bluetoothRetry->stop();
    }
}

void PlayerLinks::devicesChanged()
{
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        Link &link = m_links[player];
        if (!isBluetooth(player)) {
            continue;
        }
        if (link.startPending && m_devices->isLoaded()) {
            link.startPending = false;
            startAttempt(player, AttemptKind::AtStart);
        }
        const QString name = m_devices->nameOf(link.status.device);
        if (!name.isEmpty() && name != link.status.deviceName) {
            link.status.deviceName = name;
            Q_EMIT statusChanged(player);
        }
        const bool known = m_devices->isLoaded() && !m_devices->isHung();
        // A waiting link says what stands in its way now (the adapter switched off after the
        // link was lost, say); its state and time stay.
        if (known && link_status::IsWaiting(link.status.state)) {
            const QString reason = failureReason(player);
            if (reason != link.status.reason) {
                link.status.reason = reason;
                Q_EMIT statusChanged(player);
            }
        }
        // A device that has just come back is tried at once rather than at the next tick.
        const bool reachable = known && !m_devices->obstacle(link.status.device);
        if (reachable && link_status::IsWaiting(link.status.state) && link.attempt == 0
            && link.busyAttempt == 0) {
            startAttempt(player, AttemptKind::Retry);
        }
    }
}
