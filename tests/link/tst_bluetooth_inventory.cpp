// SPDX-License-Identifier: MIT
#include "link/bluetooth_inventory.h"
#include "link/link_status.h"

#include <QTest>

using namespace bluetooth_inventory;
using link_status::LinkState;
using link_status::LinkStatus;

Q_DECLARE_METATYPE(link_status::LinkStatus)

Q_DECLARE_METATYPE(bluetooth_inventory::Snapshot)

namespace
{

const QString kAdapter = QStringLiteral("/org/bluez/hci0");
const QString kSerial = QString::fromLatin1(kSerialPortUuid);

Device device(const QString &name, const QString &address, bool paired = true,
    const QStringList &uuids = { kSerial }, const QString &adapter = kAdapter)
{
    return Device { adapter + QStringLiteral("/dev_") + QString(address).replace(u':', u'_'),
        address, name, adapter, paired, uuids };
}

Snapshot service(QList<Device> devices, bool powered = true)
{
    return Snapshot { true, { Adapter { kAdapter, powered } }, std::move(devices) };
}

QStringList captions(const QList<SerialDevice> &devices)
{
    QStringList list;
    for (const SerialDevice &d : devices) {
        list << Caption(d);
    }
    return list;
}

} // namespace

class tst_bluetooth_inventory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pickableDevices_data();
    void pickableDevices();
    void obstacles_data();
    void obstacles();
    void statusLines_data();
    void statusLines();
};

void tst_bluetooth_inventory::pickableDevices_data()
{
    QTest::addColumn<Snapshot>("snapshot");
    QTest::addColumn<QStringList>("listed");

    const Device a = device("SPINNER-1", "00:11:22:33:44:01");
    const Device b = device("spinner-2", "00:11:22:33:44:02");
    QTest::newRow("sorted by name, case ignored")
        << service({ b, device("Zed", "00:11:22:33:44:09"), a })
        << QStringList { "SPINNER-1 (00:11:22:33:44:01)", "spinner-2 (00:11:22:33:44:02)",
               "Zed (00:11:22:33:44:09)" };
    QTest::newRow("same name: by address")
        << service({ device("X", "00:11:22:33:44:09"), device("X", "00:11:22:33:44:03") })
        << QStringList { "X (00:11:22:33:44:03)", "X (00:11:22:33:44:09)" };
    QTest::newRow("unpaired device left out")
        << service({ a, device("NEW", "00:11:22:33:44:05", false) })
        << QStringList { "SPINNER-1 (00:11:22:33:44:01)" };
    QTest::newRow("no serial port profile left out") << service({ a,
        device("HEADSET", "00:11:22:33:44:06", true, { "0000110b-0000-1000-8000-00805f9b34fb" }) })
                                                     << QStringList {
                                                            "SPINNER-1 (00:11:22:33:44:01)"
                                                        };
    QTest::newRow("serial port among other profiles")
        << service({ device("COMBO", "00:11:22:33:44:07", true,
               { "0000110b-0000-1000-8000-00805f9b34fb", kSerial.toUpper() }) })
        << QStringList { "COMBO (00:11:22:33:44:07)" };
    QTest::newRow("nameless device listed by address, lower case made upper")
        << service({ device("", "00:11:22:33:aa:08") }) << QStringList { "00:11:22:33:AA:08" };
    for (const char *odd : { "00-11-22-33-44-01", "00:11:22:33:44:0", "00:11:22:33:44:011",
             "00:11:22:33:44:0G", "00:11:22:33:44:\u0661\u0662", "00:11:22:33:4401:" }) {
        QTest::addRow("malformed address left out: %s", odd)
            << service({ device("ODD", odd) }) << QStringList {};
    }
    QTest::newRow("device of an unknown adapter left out") << service(
        { device("ELSEWHERE", "00:11:22:33:44:01", true, { kSerial }, "/org/bluez/hci9") })
                                                           << QStringList {};
    QTest::newRow("adapter switched off") << service({ a, b }, false) << QStringList {};
    QTest::newRow("service not running") << Snapshot { false, {}, { a } } << QStringList {};
}

void tst_bluetooth_inventory::pickableDevices()
{
    QFETCH(Snapshot, snapshot);
    QFETCH(QStringList, listed);
    QCOMPARE(captions(PairedSerialDevices(snapshot)), listed);
}

void tst_bluetooth_inventory::obstacles_data()
{
    QTest::addColumn<Snapshot>("snapshot");
    QTest::addColumn<QString>("reason"); // empty: worth trying

    const QString address = QStringLiteral("00:11:22:33:44:01");
    const Device paired = device("SPINNER-1", address);
    QTest::newRow("paired device on a powered adapter") << service({ paired }) << QString();
    QTest::newRow("service not running")
        << Snapshot {} << QStringLiteral("the Bluetooth service is not running");
    QTest::newRow("no adapter") << Snapshot { true, {}, {} }
                                << QStringLiteral("there is no Bluetooth adapter");
    QTest::newRow("adapter off") << service({ paired }, false)
                                 << QStringLiteral("Bluetooth is switched off");
    QTest::newRow("device unpaired")
        << service({ device("SPINNER-1", address, false) })
        << QStringLiteral("the device is not paired with this computer");
    QTest::newRow("device not listed: it may come back") << service({}) << QString();
    QTest::newRow("device not listed, adapter off")
        << service({}, false) << QStringLiteral("Bluetooth is switched off");
    QTest::newRow("own adapter on though another is off") << Snapshot { true,
        { Adapter { "/org/bluez/hci1", false }, Adapter { kAdapter, true } }, { paired } }
                                                          << QString();
}

void tst_bluetooth_inventory::obstacles()
{
    QFETCH(Snapshot, snapshot);
    QFETCH(QString, reason);
    // Addresses compare whatever their case.
    QCOMPARE(Obstacle(snapshot, QStringLiteral("00:11:22:33:44:01")).value_or(QString()), reason);
}

void tst_bluetooth_inventory::statusLines_data()
{
    QTest::addColumn<LinkStatus>("status");
    QTest::addColumn<QString>("line");

    const QTime at(14, 5, 40);
    const QString address = QStringLiteral("00:11:22:33:44:07");
    QTest::newRow("connected") << LinkStatus { LinkState::Open, 0, at, {}, address, "SPINNER-7" }
                               << "SPINNER-7 connected since 14:05:40";
    QTest::newRow("lost")
        << LinkStatus { LinkState::Lost, 0, at, OutOfReachReason(), address, "SPINNER-7" }
        << "SPINNER-7 lost at 14:05:40: the device is out of range or switched off. "
           "Reconnecting.";
    QTest::newRow("start-up failed, name not yet known") << LinkStatus {
        LinkState::StartFailed, 0, at, "Bluetooth is switched off", address, {}
    } << "00:11:22:33:44:07 could not be opened at start-up: Bluetooth is switched off. Retrying.";
    QTest::newRow("closed") << LinkStatus { LinkState::Closed, 3, at, {}, address, "SPINNER-7" }
                            << "SPINNER-7 closed";
    QTest::newRow("serial port unchanged")
        << LinkStatus { LinkState::Lost, 3, at, "the device disconnected", {}, {} }
        << "COM3 lost at 14:05:40: the device disconnected. Reconnecting when it returns.";
}

void tst_bluetooth_inventory::statusLines()
{
    QFETCH(LinkStatus, status);
    QFETCH(QString, line);
    QCOMPARE(link_status::Describe(status), line);
}

QTEST_GUILESS_MAIN(tst_bluetooth_inventory)
#include "tst_bluetooth_inventory.moc"
