// SPDX-License-Identifier: MIT
#pragma once

#include "link/bluetooth_inventory.h"
#include "link/port_names.h"

#include <QList>
#include <QString>

class QComboBox;

// A player's port list: the COM entries first, then one entry per Bluetooth device a player
// can pick, each carrying the device's address.
namespace port_list
{

/// The device address of entry `index`; empty for a COM entry or no entry.
QString DeviceAt(const QComboBox &list, int index);

/// Makes the entries after the COM entries `devices`, in order, keeping the selection: a
/// selected device that is no longer in `devices` keeps its entry, so a choice never changes
/// under the user's hand.
void SetDevices(QComboBox &list, const QList<bluetooth_inventory::SerialDevice> &devices);

/// Selects the device at `address`, adding an entry for it (captioned with `name` when known)
/// when the list has none.
void SelectDevice(QComboBox &list, const QString &address, const QString &name);

/// The list's tooltip names the selected device in full ("SPINNER-7 (00:11:22:33:44:55)"),
/// which the closed list may show cut short; no tooltip for a port.
void ShowSelection(QComboBox &list);

} // namespace port_list
