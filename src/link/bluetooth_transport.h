// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QByteArray>
#include <QDBusContext>
#include <QObject>
#include <QString>

class QDBusMessage;
class QDBusObjectPath;
class QDBusPendingCallWatcher;
class QDBusUnixFileDescriptor;
class QSocketNotifier;

/// The players' Bluetooth serial connections (RFCOMM, Serial Port Profile) through the
/// system's Bluetooth service: the program registers one client profile for the serial port
/// service class, asks for each device with Device1.ConnectProfile, and the service hands over
/// each connection, naming its device, through Profile1.NewConnection. Every call is
/// asynchronous, so a service that hangs never holds up the caller's thread. Reports are tagged
/// with the caller's attempt number, so a late report of an abandoned attempt is easy to
/// ignore; every attempt ends with exactly one ended() (always queued), after at most one
/// connected(). Profile calls are taken only from the service itself (the current owner of its
/// bus name), and a connection only as a socket; anything else is refused with a D-Bus error
/// and changes nothing.
class BluetoothTransport : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.bluez.Profile1")
public:
    /// How long one call to the service may take before it counts as failed.
    static constexpr int kCallTimeoutMs = 25000;
    /// The most bytes one takeIn() reads from a connection; the rest waits for the next.
    static constexpr qsizetype kReadLimit = 64 * 1024;

    /// Nothing is asked of the bus until start().
    explicit BluetoothTransport(QObject *parent = nullptr);
    ~BluetoothTransport() override;

    /// Connects to the system bus and follows who owns the service. Once only.
    void start();

    /// Starts connecting `player` to the device at object path `devicePath` (from the service's
    /// object tree; empty when the service does not list it) as attempt `attempt` (non-zero),
    /// ending that player's previous attempt first.
    void connectDevice(rotavex::PlayerSlot player, const QString &devicePath, quint32 attempt);
    /// Ends the player's attempt `attempt` (0: whichever it has), connected or not.
    void drop(rotavex::PlayerSlot player, quint32 attempt = 0);
    /// Hands over what the player's connection of attempt `attempt` holds by now, as received()
    /// within this call, and ends the attempt if the connection closed. Returns whether bytes
    /// came; one that found none watches the connection again (pending() follows new bytes).
    bool takeIn(rotavex::PlayerSlot player, quint32 attempt);

Q_SIGNALS:
    /// The Bluetooth service answers while it pages the device (it is not hung).
    void connecting(rotavex::PlayerSlot player, quint32 attempt);
    /// The connection stands; bytes follow as received().
    void connected(rotavex::PlayerSlot player, quint32 attempt);
    /// Bytes (or the connection's end) wait on the connection; takeIn() hands them over.
    /// Raised once, then the connection is not watched until a takeIn() finds nothing.
    void pending(rotavex::PlayerSlot player, quint32 attempt);
    /// Bytes from the device, in order.
    void received(rotavex::PlayerSlot player, quint32 attempt, const QByteArray &bytes);
    /// The attempt is over: it failed, the connection closed, or it was dropped.
    void ended(rotavex::PlayerSlot player, quint32 attempt);

public Q_SLOTS:
    // org.bluez.Profile1, called by the service; exported on the system bus.
    void NewConnection(const QDBusObjectPath &device, const QDBusUnixFileDescriptor &fd,
        const QVariantMap &properties);
    void RequestDisconnection(const QDBusObjectPath &device);
    void Release();

private:
    struct Attempt {
        quint32 number = 0; ///< 0: none
        QString devicePath;
        bool requested = false; ///< ConnectProfile sent
        int fd = -1; ///< our descriptor of the connection, once connected; owned
        QSocketNotifier *input = nullptr; ///< watches fd; owned (child)
        bool operator==(const Attempt &) const = default; // PerPlayer compares its items
    };

    void ensureRegistered();
    void handleRegistered(QDBusPendingCallWatcher *watcher);
    void request(rotavex::PlayerSlot player);
    void finish(rotavex::PlayerSlot player, bool disconnectProfile);
    void inputArrived(rotavex::PlayerSlot player);
    void serviceOwnerChanged(const QString &owner);
    /// Whether the Profile1 call being handled comes from the service; refuses it otherwise.
    bool acceptCall(const char *what);

    rotavex::PerPlayer<Attempt> m_attempts;
    enum class Registration { None, Pending, Done } m_registration = Registration::None;
    bool m_started = false;
    bool m_exported = false;
    QString m_owner; ///< the service's unique bus name; empty while nobody owns it
    bool m_ownerKnown = false; ///< the watcher has spoken: a late first look at the owner is old
};
