// SPDX-License-Identifier: MIT
#include "link/player_links.h"

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
}

PlayerLinks::~PlayerLinks() = default;

std::optional<QString> PlayerLinks::open(PlayerSlot player, qint16 port)
{
    const link_status::LinkStatus before = m_links[player].status;
    const bool waitingHere = link_status::IsWaiting(before.state) && before.port == port;
    if (link_status::IsWaiting(before.state) && !waitingHere) {
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

bool PlayerLinks::isOpen(PlayerSlot player) const { return m_links[player].control->portOpen(); }

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
        if (isOpen(holder) && (held == port || holder == player)) {
            // The serial layer would only guess at "another program"; we know who holds it.
            return QStringLiteral("%1 is already open for player %2.")
                .arg(port_names::PortCaption(held))
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
    return std::nullopt;
}

void PlayerLinks::setStatus(PlayerSlot player, LinkState state, const QString &reason)
{
    link_status::LinkStatus &status = m_links[player].status;
    status.state = state;
    status.reason = reason;
    status.at = QTime::currentTime();
    if (link_status::IsWaiting(state) && !m_watch->isActive()) {
        m_watch->start();
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
        if (!link_status::IsWaiting(status.state)) {
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
