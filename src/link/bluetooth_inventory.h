// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the Bluetooth service knows, as plain values, and the decisions the program takes from
// it: which devices a player can pick, and why a device cannot be reached. No D-Bus here.
namespace bluetooth_inventory
{

/// The Bluetooth service's bus name and its device interface.
inline const QString kService = QStringLiteral("org.bluez");
inline const QString kDeviceInterface = QStringLiteral("org.bluez.Device1");

/// The Serial Port Profile's service class, as the service lists it in a device's UUIDs.
inline constexpr auto kSerialPortUuid = "00001101-0000-1000-8000-00805f9b34fb";
/// The longest device name kept, in UTF-16 units: a device can only announce 248 bytes.
inline constexpr qsizetype kMaxNameLength = 248;

/// One adapter (org.bluez.Adapter1) at `path`.
struct Adapter {
    QString path;
    bool powered = false;
    bool operator==(const Adapter &) const = default;
};

/// One remote device (org.bluez.Device1) as the service describes it.
struct Device {
    QString path;
    QString address; ///< "00:11:22:33:44:55"
    QString name; ///< Alias, else Name; may be empty
    QString adapter; ///< path of the adapter it belongs to
    bool paired = false;
    QStringList uuids; ///< lower-case service class UUIDs
    bool operator==(const Device &) const = default;
};

/// The service as last read. `running` is false when nobody owns the service's bus name.
struct Snapshot {
    bool running = false;
    QList<Adapter> adapters;
    QList<Device> devices;
    bool operator==(const Snapshot &) const = default;
};

/// A device a player can pick: paired, offering the Serial Port Profile, on a powered adapter.
struct SerialDevice {
    QString address;
    QString name;
    bool operator==(const SerialDevice &) const = default;
};

/// The devices a player can pick, by name (case-insensitive), then address. A device with no
/// name is listed under its address.
QList<SerialDevice> PairedSerialDevices(const Snapshot &snapshot);

/// The entry a list shows for a device: "SPINNER-7 (00:11:22:33:44:55)", or the address alone
/// when the name is empty or is the address.
QString Caption(const SerialDevice &device);

/// Why a connection to `address` cannot work at all, in words for a person ("the Bluetooth
/// service is not running", "there is no Bluetooth adapter", "Bluetooth is switched off", "the
/// device is not paired with this computer"); nullopt when it is worth trying, including a
/// device the service does not list (it may come back).
std::optional<QString> Obstacle(const Snapshot &snapshot, const QString &address);

/// The reason given when a device that could be tried did not connect or dropped its link.
QString OutOfReachReason();
/// The reason given when the service took too long to take a connection request at all.
QString NotAnsweringReason();

/// `name` cut to kMaxNameLength, never inside a surrogate pair.
QString BoundedName(const QString &name);

/// Whether `text` is a Bluetooth address in the colon form (case-insensitive).
bool IsAddress(const QString &text);

} // namespace bluetooth_inventory
