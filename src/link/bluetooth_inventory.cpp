// SPDX-License-Identifier: MIT
#include "link/bluetooth_inventory.h"

#include <algorithm>

namespace bluetooth_inventory
{

namespace
{

    const Adapter *findAdapter(const Snapshot &snapshot, const QString &path)
    {
        const auto it = std::find_if(snapshot.adapters.cbegin(), snapshot.adapters.cend(),
            [&path](const Adapter &adapter) { return adapter.path == path; });
        return it == snapshot.adapters.cend() ? nullptr : &*it;
    }

    bool offersSerialPort(const Device &device)
    {
        return device.uuids.contains(QString::fromLatin1(kSerialPortUuid), Qt::CaseInsensitive);
    }

} // namespace

QList<SerialDevice> PairedSerialDevices(const Snapshot &snapshot)
{
    QList<SerialDevice> list;
    if (!snapshot.running) {
        return list;
    }
    for (const Device &device : snapshot.devices) {
        const Adapter *adapter = findAdapter(snapshot, device.adapter);
        if (adapter == nullptr || !adapter->powered || !device.paired || !offersSerialPort(device)
            || !IsAddress(device.address)) {
            continue;
        }
        list << SerialDevice { device.address.toUpper(),
            device.name.isEmpty() ? device.address.toUpper() : device.name };
    }
    std::sort(list.begin(), list.end(), [](const SerialDevice &a, const SerialDevice &b) {
        const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.address < b.address;
    });
    return list;
}

QString Caption(const SerialDevice &device)
{
    if (device.name.isEmpty() || device.name.compare(device.address, Qt::CaseInsensitive) == 0) {
        return device.address;
    }
    return QStringLiteral("%1 (%2)").arg(device.name, device.address);
}

std::optional<QString> Obstacle(const Snapshot &snapshot, const QString &address)
{
    if (!snapshot.running) {
        return QStringLiteral("the Bluetooth service is not running");
    }
    if (snapshot.adapters.isEmpty()) {
        return QStringLiteral("there is no Bluetooth adapter");
    }
    const auto device = std::find_if(
        snapshot.devices.cbegin(), snapshot.devices.cend(), [&address](const Device &d) {
            return d.address.compare(address, Qt::CaseInsensitive) == 0;
        });
    const Adapter *adapter =
        device == snapshot.devices.cend() ? nullptr : findAdapter(snapshot, device->adapter);
    const bool anyPowered = std::any_of(snapshot.adapters.cbegin(), snapshot.adapters.cend(),
        [](const Adapter &a) { return a.powered; });
    if (adapter != nullptr ? !adapter->powered : !anyPowered) {
        return QStringLiteral("Bluetooth is switched off");
    }
    // A paired device is never forgotten by the service on its own; one it does not list now
    // may well come back, so it is worth trying. One it lists as unpaired is not.
    if (device != snapshot.devices.cend() && !device->paired) {
        return QStringLiteral("the device is not paired with this computer");
    }
    return std::nullopt;
}

QString OutOfReachReason() { return QStringLiteral("the device is out of range or switched off"); }

QString NotAnsweringReason() { return QStringLiteral("the Bluetooth service is not answering"); }

QString BoundedName(const QString &name)
{
    if (name.size() <= kMaxNameLength) {
        return name;
    }
    const qsizetype cut =
        name.at(kMaxNameLength - 1).isHighSurrogate() ? kMaxNameLength - 1 : kMaxNameLength;
    return name.left(cut);
}

bool IsAddress(const QString &text)
{
    // Six pairs of hex digits joined by colons, checked by hand: a pattern compiled for it cost
    // more than the window's start-up could spare.
    constexpr qsizetype kLength = 17;
    if (text.size() != kLength) {
        return false;
    }
    for (qsizetype i = 0; i < kLength; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (i % 3 == 2 ? c != u':' : !hex) {
            return false;
        }
    }
    return true;
}

} // namespace bluetooth_inventory
