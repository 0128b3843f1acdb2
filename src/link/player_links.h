// SPDX-License-Identifier: MIT
#pragma once

#include "link/comm.h"
#include "link/link_status.h"
#include "shared/player_tables.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class BluetoothDevices;
class BluetoothTransport;
class QTimer;
class SerialControl;

/// The four players' serial links MSComm1..MSComm4 (its children), their decoders, the samples
/// and link flags they write, and the watch that reopens a link whose device has come back.
/// A player may use a paired Bluetooth device instead of a port; its bytes go through the same
/// decoder. The only place that opens a link. Nothing here waits on a system service.
class PlayerLinks : public QObject
{
    Q_OBJECT
public:
    /// How often a waiting link looks for its device (one stat of its path, no descriptor).
    static constexpr std::chrono::milliseconds kWatchInterval { 1000 };

    /// The pace of Bluetooth connection attempts.
    struct BluetoothTiming {
        /// How often a lost link tries its device again (one attempt at a time).
        std::chrono::milliseconds retry { 5000 };
        /// How long a retry may take before it counts as failed (abandoned, not waited for).
        std::chrono::milliseconds retryTimeout { 4500 };
        /// How long a user's Open may take before it is reported as failed.
        std::chrono::milliseconds openTimeout { 10000 };
    };

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
    /// Starts opening the player's link on the paired Bluetooth device at `address`. Returns
    /// the failure at once when it cannot work (the device is held by a player, this one
    /// included, as "<name> is already open for player p."; no service, adapter off …), and
    /// otherwise std::nullopt: bluetoothOpenFinished() follows. Ends a wait for another device.
    [[nodiscard]] std::optional<QString> beginOpenDevice(
        rotavex::PlayerSlot player, const QString &address);
    /// Opens the device as beginOpenDevice() does, but a failure is not reported: the link
    /// keeps trying (state StartFailed).
    void openDeviceAtStart(rotavex::PlayerSlot player, const QString &address);
    /// Replaces the pace of Bluetooth attempts (for tests that cannot wait seconds).
    void setBluetoothTiming(const BluetoothTiming &timing);
    /// The Bluetooth service as last read (devices, adapters), for lists and names.
    const BluetoothDevices &bluetoothDevices() const { return *m_devices; }
    /// Closes the player's link, or ends its wait for a device. Closing a closed link is fine.
    void close(rotavex::PlayerSlot player);
    bool isOpen(rotavex::PlayerSlot player) const;
    /// State, port, time and reason of the player's link.
    link_status::LinkStatus status(rotavex::PlayerSlot player) const;
    /// The player's serial control (objectName MSComm1..MSComm4).
    SerialControl *control(rotavex::PlayerSlot player) const;

    /// One watchdog tick: a link without a usable frame since the previous tick gets sample 0.
    void watchdogTick();

    /// Latest sample per player; the links write decoded samples and the watchdog's zeros,
    /// the sample filter writes its result back into the same entries.
    rotavex::PlayerRpm &playerRpm() { return m_playerRpm; }
    const rotavex::PlayerRpm &playerRpm() const { return m_playerRpm; }
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
    /// A beginOpenDevice() ended: `failure` is empty when the link is open, otherwise why not,
    /// in words for a person (a sentence without its full stop).
    void bluetoothOpenFinished(rotavex::PlayerSlot player, const QString &failure);

private:
    /// Where a Bluetooth attempt comes from, which decides what its failure does.
    enum class AttemptKind { UserOpen, AtStart, Retry };

    struct Link {
        SerialControl *control = nullptr;
        comm::PacketState decoder;
        link_status::LinkStatus status;
        bool bluetoothOpen = false;
        quint32 attempt = 0; ///< the attempt whose reports count; 0: none
        quint32 busyAttempt = 0; ///< the attempt the transport still holds; 0: none
        bool attemptReachedService = false;
        bool startPending = false; ///< a start-up open waits for the first device list
        AttemptKind attemptKind = AttemptKind::Retry;
        bool operator==(const Link &) const = default; // PerPlayer compares its items
    };

    std::optional<QString> openPort(rotavex::PlayerSlot player, qint16 port);
    void setStatus(rotavex::PlayerSlot player, link_status::LinkState state, const QString &reason);
    void handleOnComm(rotavex::PlayerSlot player);
    void handleLost(rotavex::PlayerSlot player, const QString &description);
    void watchTick();
    bool isBluetooth(rotavex::PlayerSlot player) const;
    void startAttempt(rotavex::PlayerSlot player, AttemptKind kind);
    void endBluetooth(rotavex::PlayerSlot player);
    void handleConnected(rotavex::PlayerSlot player, quint32 attempt);
    void handleReceived(rotavex::PlayerSlot player, quint32 attempt, const QByteArray &bytes);
    void handleEnded(rotavex::PlayerSlot player, quint32 attempt);
    void handleAttemptTimeout(rotavex::PlayerSlot player, quint32 attempt);
    void attemptFailed(rotavex::PlayerSlot player, const QString &reason);
    QString failureReason(rotavex::PlayerSlot player) const;
    void retryTick();
    void devicesChanged();

    rotavex::PerPlayer<Link> m_links;
    rotavex::PlayerRpm m_playerRpm;
    rotavex::LinkSeen m_linkSeen;
    QTimer *m_watch;
    QTimer *m_bluetoothRetry;
    BluetoothDevices *m_devices;
    BluetoothTransport *m_transport;
    quint32 m_lastAttempt = 0;
    BluetoothTiming m_timing;
};
