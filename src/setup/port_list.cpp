// SPDX-License-Identifier: MIT
#include "setup/port_list.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QTextDocument>

#include <algorithm>

using bluetooth_inventory::SerialDevice;

namespace port_list
{

namespace
{

    constexpr int kNameRole = Qt::UserRole + 1;

    void addDevice(QComboBox &list, const SerialDevice &device)
    {
        list.addItem(bluetooth_inventory::Caption(device), device.address);
        list.setItemData(list.count() - 1, device.name, kNameRole);
    }

} // namespace

QString DeviceAt(const QComboBox &list, int index)
{
    return index >= port_names::kPortCount ? list.itemData(index).toString() : QString();
}

void SetDevices(QComboBox &list, const QList<SerialDevice> &devices)
{
    const int selectedIndex = list.currentIndex();
    const QString selected = DeviceAt(list, selectedIndex);
    QList<SerialDevice> wanted = devices;
    if (!selected.isEmpty()
        && std::none_of(wanted.cbegin(), wanted.cend(),
            [&selected](const SerialDevice &device) { return device.address == selected; })) {
        wanted << SerialDevice { selected, list.itemData(selectedIndex, kNameRole).toString() };
    }
    // The entries are rebuilt, not the choice: no one listening should see a change of it.
    const QSignalBlocker quiet(&list);
    while (list.count() > port_names::kPortCount) {
        list.removeItem(list.count() - 1);
    }
    for (const SerialDevice &device : wanted) {
        addDevice(list, device);
    }
    list.setCurrentIndex(selected.isEmpty() ? selectedIndex : list.findData(selected));
    ShowSelection(list);
}

void SelectDevice(QComboBox &list, const QString &address, const QString &name)
{
    int index = list.findData(address);
    if (index < port_names::kPortCount) {
        addDevice(list, SerialDevice { address, name.isEmpty() ? address : name });
        index = list.count() - 1;
    }
    list.setCurrentIndex(index);
    ShowSelection(list);
}

void ShowSelection(QComboBox &list)
{
    list.setToolTip(DeviceAt(list, list.currentIndex()).isEmpty()
            ? QString()
            : Qt::convertFromPlainText(list.currentText()));
}

} // namespace port_list
