// SPDX-License-Identifier: MIT
#pragma once

#include "link/link_transport.h"
#include "shared/player_tables.h"

#include <chrono>

class BluetoothDevices;
class BluetoothTransport;
class QTimer;

/// A player's link to a paired Bluetooth device through the program's profile, one attempt at
/// a time. An open takes until the service hands the connection over or gives up (bounded by
/// the timing). A waiting link tries its device on a clock, and at once when the service lists
/// it as reachable again; its reason follows what the service says.
class BluetoothLink : public LinkTransport
{
    Q_OBJECT
public:
    /// The pace of connection attempts.
    struct Timing {
        /// How often a lost link tries its device again.
        std::chrono::milliseconds retry { 5000 };
        /// How long a quiet try may take before it counts as failed (abandoned, not waited for).
        std::chrono::milliseconds retryTimeout { 4500 };
        /// How long a user's open may take before it is reported as failed.
        std::chrono::milliseconds openTimeout { 10000 };
    };

    /// The profile and the device list are shared by the players' links and outlive them.
    BluetoothLink(rotavex::PlayerSlot player, BluetoothTransport &profile,
        const BluetoothDevices &devices, QObject *parent = nullptr);

    /// The device of the next open, as "00:11:22:33:44:55" (any case).
    void setDevice(const QString &address) { m_device = address.toUpper(); }
    const QString &device() const { return m_device; }
    void setTiming(const Timing &timing);

    /// A user's open fails at once for what cannot work (no service, adapter off …); one at
    /// start-up waits for the service's first list of devices before it tries.
    std::optional<QString> open(Opening opening) override;
    void keepTrying() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool takeIn() override;

private:
    /// Where an attempt comes from, which decides what its failure does.
    enum class Kind { ByUser, AtStart, Retry };

    void startAttempt(Kind kind);
    void handleConnected(rotavex::PlayerSlot player, quint32 attempt);
    void handleEnded(rotavex::PlayerSlot player, quint32 attempt);
    void handleTimeout(quint32 attempt);
    void attemptFailed(const QString &reason);
    QString failureReason() const;
    void retryTick();
    void devicesChanged();

    rotavex::PlayerSlot m_player;
    BluetoothTransport &m_profile;
    const BluetoothDevices &m_devices;
    QTimer *m_retry;
    Timing m_timing;
    QString m_device;
    QString m_name; // as last told
    QString m_reason; // as last told while waiting
    quint32 m_lastAttempt = 0;
    quint32 m_attempt = 0; ///< the attempt whose reports count; 0: none
    quint32 m_busyAttempt = 0; ///< the attempt the profile still holds; 0: none
    Kind m_kind = Kind::Retry;
    bool m_reachedService = false;
    bool m_open = false;
    bool m_waiting = false; ///< trying quietly
    bool m_startPending = false; ///< an open at start-up waits for the first device list
};
