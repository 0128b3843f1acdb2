// SPDX-License-Identifier: MIT
#pragma once

#include "link/comm.h"
#include "link/link_status.h"
#include "link/port_events.h"
#include "shared/player_tables.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class QTimer;
class SerialControl;

/// The four players' serial links MSComm1..MSComm4 (its children), their decoders, the samples
/// and link flags they write, and the watch that reopens a link whose device has come back.
/// The only place that opens a link. Everything runs on the UI thread.
class PlayerLinks : public QObject
{
    Q_OBJECT
public:
    /// How often a waiting link looks for its device (one stat of its path, no descriptor).
    static constexpr std::chrono::milliseconds kWatchInterval { 1000 };

    explicit PlayerLinks(QObject *parent = nullptr);
    ~PlayerLinks() override;

    /// Opens the player's link on port 1..16 as "9600,n,8,1" with a receive threshold of 1.
    /// Returns std::nullopt on success, otherwise the failure's description; a port a player
    /// holds (this one included) is refused with "COMn is already open for player p." and left
    /// alone. An open on another port than the one a lost link waits for ends that wait.
    [[nodiscard]] std::optional<QString> open(rotavex::PlayerSlot player, qint16 port);
    /// Opens as open() does, but a failure is not reported: the link waits for its device and
    /// opens as soon as it can (state StartFailed).
    void openAtStart(rotavex::PlayerSlot player, qint16 port);
    /// Closes the player's link, or ends its wait for a device. Closing a closed link is fine.
    void close(rotavex::PlayerSlot player);
    /// Closes every open link and ends every wait, so nothing reopens behind a closed window.
    void closeAll();
    bool isOpen(rotavex::PlayerSlot player) const;
    /// State, port, time and reason of the player's link.
    link_status::LinkStatus status(rotavex::PlayerSlot player) const;
    /// The player's serial control (objectName MSComm1..MSComm4).
    SerialControl *control(rotavex::PlayerSlot player) const;

    /// One watchdog tick: a link without a usable frame since the previous tick gets sample 0.
    /// The watchdog timer (objectName tmrTimeout, every 2 s, a child of the links) calls it.
    void watchdogTick();

    /// Latest sample per player: the links' decoded samples and the watchdog's zeros.
    const rotavex::PlayerRpm &playerRpm() const { return m_latest.rpm; }
    /// The latest samples with how many each link has stored, for the game's refresh.
    const port_events::LatestSamples &latestSamples() const { return m_latest; }
    /// Stores a sample for the player as a decoded frame would (the benchmark's and the
    /// screenshot tool's stand-in devices).
    void storeSample(rotavex::PlayerSlot player, qint32 rpm);
    /// 0 = a usable frame arrived since the last watchdog tick, -1 = armed by that tick.
    rotavex::LinkSeen &linkSeen() { return m_linkSeen; }

Q_SIGNALS:
    /// The player's link opened or closed, by the user, a loss or a reconnect.
    void openChanged(rotavex::PlayerSlot player, bool open);
    /// The link closed itself because its device failed; it now waits for the device.
    void linkLost(rotavex::PlayerSlot player, const QString &reason);
    /// A waiting link found its device again and is open.
    void reconnected(rotavex::PlayerSlot player);
    /// Anything that status() reports changed.
    void statusChanged(rotavex::PlayerSlot player);

private:
    struct Link {
        SerialControl *control = nullptr;
        comm::PacketState decoder;
        link_status::LinkStatus status;
        bool operator==(const Link &) const = default; // PerPlayer compares its items
    };

    std::optional<QString> openPort(rotavex::PlayerSlot player, qint16 port);
    void setStatus(rotavex::PlayerSlot player, link_status::LinkState state, const QString &reason);
    void handleOnComm(rotavex::PlayerSlot player);
    void handleLost(rotavex::PlayerSlot player, const QString &description);
    void watchTick();

    rotavex::PerPlayer<Link> m_links;
    port_events::LatestSamples m_latest;
    rotavex::LinkSeen m_linkSeen;
    QTimer *m_watch;
    QTimer *m_watchdog;
};
