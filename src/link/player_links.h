// SPDX-License-Identifier: MIT
#pragma once

#include "link/bluetooth_link.h"
#include "link/comm.h"
#include "link/link_status.h"
#include "link/port_events.h"
#include "link/serial_link.h"
#include "shared/player_tables.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class BluetoothDevices;
class BluetoothTransport;
class QTimer;
class SerialControl;

/// The four players' links, serial or Bluetooth, over one transport interface: their
/// decoders, the samples and link flags they write, one guard against two players holding one
/// device, and one rule for a lost link (it waits, and the transport keeps trying at its own
/// pace until it is back or closed). The serial controls MSComm1..MSComm4 and the watchdog
/// timer are its children. The only place that opens a link. Nothing here waits on a system
/// service. Links are read at the links' own pace (kReadPace) while their devices stream, and
/// everything that reached them is taken in before anyone looks at the samples, so a frame
/// counts exactly where it would if it had been read as it arrived.
class PlayerLinks : public QObject
{
    Q_OBJECT
public:
    /// How often a waiting serial link looks for its device (one stat of its path, no
    /// descriptor).
    static constexpr std::chrono::milliseconds kWatchInterval = SerialLink::kWatchInterval;

    /// How often links whose devices stream are read: ten times a second is plenty for a board
    /// redrawn once a second, and leaves a device's buffer far from full. A silent link is not
    /// read at all until its device speaks.
    static constexpr std::chrono::milliseconds kReadPace { 100 };

    /// The pace of Bluetooth connection attempts.
    using BluetoothTiming = BluetoothLink::Timing;

    /// When the Bluetooth service is first asked: Now, or when startBluetooth() is called (a
    /// window asks once it has shown its first picture: joining the system bus waits for the
    /// bus's handshake). Links of Bluetooth devices opened before that wait for the list.
    enum class BluetoothStart { Now, Deferred };

    explicit PlayerLinks(QObject *parent = nullptr, BluetoothStart bluetooth = BluetoothStart::Now);
    /// Begins asking the Bluetooth service (once; nothing when it was asked at construction).
    void startBluetooth();
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
    /// Closes every open link and ends every wait, so nothing reopens behind a closed window.
    void closeAll();
    bool isOpen(rotavex::PlayerSlot player) const;
    /// State, port, time and reason of the player's link.
    link_status::LinkStatus status(rotavex::PlayerSlot player) const;
    /// The player's serial control (objectName MSComm1..MSComm4).
    SerialControl *control(rotavex::PlayerSlot player) const;

    /// One watchdog tick: a link without a usable frame since the previous tick gets sample 0.
    /// The watchdog timer (objectName tmrTimeout, every 2 s, a child of the links) calls it.
    /// Bytes that reached a link before it are taken in first.
    void watchdogTick();

    /// Decodes every byte that has reached the open links by now. Everything below that reads
    /// or writes the samples does this first.
    void takeIn();
    /// Latest sample per player: the links' decoded samples and the watchdog's zeros.
    const rotavex::PlayerRpm &playerRpm();
    /// The latest samples with how many each link has stored, for the game's refresh.
    const port_events::LatestSamples &latestSamples();
    /// Stores a sample for the player as a decoded frame would (the benchmark's and the
    /// screenshot tool's stand-in devices).
    void storeSample(rotavex::PlayerSlot player, qint32 rpm);
    /// 0 = a usable frame arrived since the last watchdog tick, -1 = armed by that tick.
    rotavex::LinkSeen &linkSeen();

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
    /// What the player's link was last asked to do, which decides what its outcome means.
    enum class Asked { Nothing, UserOpen, StartOpen };

    struct Link {
        SerialControl *control = nullptr;
        SerialLink *serial = nullptr;
        BluetoothLink *bluetooth = nullptr;
        LinkTransport *transport = nullptr; ///< the one in use or waited for; null: none
        Asked asked = Asked::Nothing;
        comm::PacketState decoder;
        link_status::LinkStatus status;
        bool operator==(const Link &) const = default; // PerPlayer compares its items
    };

    /// "<link> is already open for player p." when another open link holds `what` (as
    /// holdsWhat() names it), or the player's own link is open.
    std::optional<QString> heldBy(rotavex::PlayerSlot player, const QString &what) const;
    /// What the player's link takes or waits for: its port or its device; empty: nothing.
    QString holdsWhat(rotavex::PlayerSlot player) const;
    /// Ends whatever the player's link is doing, quietly.
    void stop(rotavex::PlayerSlot player);
    void use(rotavex::PlayerSlot player, LinkTransport *transport, Asked asked);
    void setStatus(rotavex::PlayerSlot player, link_status::LinkState state, const QString &reason);
    void handleOpened(rotavex::PlayerSlot player);
    void handleFailed(rotavex::PlayerSlot player, const QString &reason);
    void handleLost(rotavex::PlayerSlot player, const QString &reason);
    void handleReceived(rotavex::PlayerSlot player, const QByteArray &bytes);
    /// The pace timer fired: reads the links, and stops when none of them had anything.
    void paceTick();
    /// Reads every open link; returns whether any had bytes.
    bool takeInLinks();

    rotavex::PerPlayer<Link> m_links;
    port_events::LatestSamples m_latest;
    rotavex::LinkSeen m_linkSeen;
    QTimer *m_watchdog;
    QTimer *m_pace;
    bool m_takingIn = false; ///< a reader of the samples runs inside takeIn()
    BluetoothDevices *m_devices;
    BluetoothTransport *m_profile;
};
