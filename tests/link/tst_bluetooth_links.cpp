// SPDX-License-Identifier: MIT
#include "link/bluetooth_devices.h"
#include "link/bluetooth_inventory.h"
#include "link/link_status.h"
#include "link/player_links.h"
#include "support/private_bus.h"
#include "support/stall_meter.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using link_status::LinkState;
using rotavex::PlayerSlot;
using namespace std::chrono_literals;

namespace
{

// The steady profile's speeds of devices 1..4; each encodes to an exact count.
constexpr std::array<int, 4> kRpm { 6000, 7500, 10000, 12500 };

QStringList steadyArguments(QStringList extra = {})
{
    return QStringList { QStringLiteral("--profile"), QStringLiteral("steady"),
        QStringLiteral("--rpm"), QStringLiteral("6000,7500,10000,12500") }
    + extra;
}

// Short enough for a test to see several attempts, long enough for a connect on a busy machine.
PlayerLinks::BluetoothTiming quickTiming()
{
    return PlayerLinks::BluetoothTiming { 600ms, 500ms, 1500ms };
}

} // namespace

class tst_bluetooth_links : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void devicesFramesAndNames();
    void openFailureSaysWhy_data();
    void openFailureSaysWhy();
    void lostDeviceReconnects_data();
    void lostDeviceReconnects();
    void startUpKeepsTrying();
    void closeEndsTheWait();
    void hungServiceNeverBlocks();
    void strangerChangesNothing_data();
    void strangerChangesNothing();
    void malformedListIsIgnored_data();
    void malformedListIsIgnored();
    void slowStartStillOpensStoredDevices();
    void silentServiceAnswersLate();
    void adapterOffAndHugeNameSaidPlainly();

private:
    bool startFake(const QStringList &arguments)
    {
        m_fake = std::make_unique<FakeBluezProcess>(arguments);
        return m_fake->isReady();
    }
    // Waits until the links' view of the service shows `running` and `devices` pickable ones.
    bool waitForService(bool running, int devices)
    {
        return QTest::qWaitFor([this, running, devices] {
            const BluetoothDevices &list = m_links->bluetoothDevices();
            return list.isLoaded() && list.snapshot().running == running
                && list.serialDevices().size() == devices;
        });
    }
    bool open(PlayerSlot player)
    {
        QSignalSpy finished(m_links.get(), &PlayerLinks::bluetoothOpenFinished);
        if (m_links->beginOpenDevice(player, FakeBluezProcess::address(player))) {
            return false;
        }
        return finished.wait(10000) && finished.constLast().at(1).toString().isEmpty();
    }

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeBluezProcess> m_fake;
    std::unique_ptr<PlayerLinks> m_links;
};

void tst_bluetooth_links::initTestCase()
{
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(m_bus->isValid(), "dbus-daemon could not be started");
}

void tst_bluetooth_links::init() { m_links = std::make_unique<PlayerLinks>(); }

void tst_bluetooth_links::cleanup()
{
    // The service goes first: calls a hung one still holds fail at once when it leaves.
    m_fake.reset();
    m_links.reset();
}

// Four devices at once, each through the decoder into its player's sample; the busy guard
// and the tooltip name the device.
void tst_bluetooth_links::devicesFramesAndNames()
{
    QVERIFY(startFake(steadyArguments()));
    QVERIFY(waitForService(true, 4));
    QVERIFY(open(1));
    QCOMPARE(m_links->beginOpenDevice(2, FakeBluezProcess::address(1)),
        QStringLiteral("SPINNER-1 is already open for player 1."));
    QCOMPARE(m_links->open(1, 3), QStringLiteral("SPINNER-1 is already open for player 1."));
    // The other three at once: each connection reaches the player who asked for its device.
    QSignalSpy finished(m_links.get(), &PlayerLinks::bluetoothOpenFinished);
    for (PlayerSlot player = 2; player <= 4; ++player) {
        QVERIFY(!m_links->beginOpenDevice(player, FakeBluezProcess::address(player)));
    }
    QTRY_COMPARE(finished.size(), 3);
    for (const QList<QVariant> &report : finished) {
        QCOMPARE(report.at(1).toString(), QString());
    }
    for (PlayerSlot player = 1; player <= 4; ++player) {
        QVERIFY(m_links->isOpen(player));
        QTRY_COMPARE(m_links->playerRpm()[player], kRpm[player - 1]);
        const link_status::LinkStatus status = m_links->status(player);
        QCOMPARE(status.state, LinkState::Open);
        QVERIFY(link_status::Describe(status).startsWith(
            QStringLiteral("SPINNER-%1 connected since ").arg(player)));
    }
    // A new name shows up in the tooltip line without reopening anything.
    QVERIFY(m_fake->command(QStringLiteral("rename 2 ZED")));
    QTRY_COMPARE(m_links->status(2).deviceName, QStringLiteral("ZED"));

    m_links->close(3);
    QVERIFY(!m_links->isOpen(3));
    QCOMPARE(link_status::Describe(m_links->status(3)), QStringLiteral("SPINNER-3 closed"));
}

void tst_bluetooth_links::openFailureSaysWhy_data()
{
    QTest::addColumn<bool>("service");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no Bluetooth service")
        << false << QStringList() << QString() << "the Bluetooth service is not running";
    QTest::newRow("no adapter") << true << QStringList { "--no-adapter" } << QString()
                                << "there is no Bluetooth adapter";
    QTest::newRow("adapter switched off")
        << true << QStringList { "--powered-off" } << QString() << "Bluetooth is switched off";
    QTest::newRow("device not paired") << true << QStringList() << "unpair 1"
                                       << "the device is not paired with this computer";
    QTest::newRow("device out of range") << true << QStringList() << "out 1"
                                         << "the device is out of range or switched off";
    QTest::newRow("device unknown to the service") << true << QStringList() << "vanish 1"
                                                   << "the device is out of range or switched off";
}

// Every failed Open says why in words, and leaves the link closed and not waiting.
void tst_bluetooth_links::openFailureSaysWhy()
{
    QFETCH(bool, service);
    QFETCH(QStringList, arguments);
    QFETCH(QString, command);
    QFETCH(QString, reason);

    m_links->setBluetoothTiming(quickTiming());
    if (service) {
        QVERIFY(startFake(arguments));
        if (!command.isEmpty()) {
            QVERIFY(m_fake->command(command));
        }
    }
    // The device list follows the service: whatever it shows, the service's state is known.
    QVERIFY(QTest::qWaitFor([this, service] {
        return m_links->bluetoothDevices().isLoaded()
            && m_links->bluetoothDevices().snapshot().running == service;
    }));
    QTest::qWait(200); // the command's announcements reach the list

    QSignalSpy finished(m_links.get(), &PlayerLinks::bluetoothOpenFinished);
    QString failure;
    if (const std::optional<QString> refused =
            m_links->beginOpenDevice(1, FakeBluezProcess::address(1))) {
        failure = *refused;
    } else {
        QVERIFY(finished.wait(10000));
        failure = finished.constLast().at(1).toString();
    }
    QCOMPARE(failure, reason);
    QVERIFY(!m_links->isOpen(1));
    QCOMPARE(m_links->status(1).state, LinkState::Closed);
}

void tst_bluetooth_links::lostDeviceReconnects_data()
{
    QTest::addColumn<QString>("lose");
    QTest::addColumn<QString>("restore");
    QTest::addColumn<bool>("quick");

    // At the real pace: back within 6 s of its return.
    QTest::newRow("device vanishes and returns") << "vanish 1"
                                                 << "return 1" << false;
    QTest::newRow("device goes out of range and back") << "out 1"
                                                       << "in 1" << true;
    QTest::newRow("adapter switched off and on") << "power off"
                                                 << "power on" << true;
}

// A lost device: the link closes, the watchdog zeroes the speed, attempts fail silently, and
// the link comes back by itself with no message.
void tst_bluetooth_links::lostDeviceReconnects()
{
    QFETCH(QString, lose);
    QFETCH(QString, restore);
    QFETCH(bool, quick);

    if (quick) {
        m_links->setBluetoothTiming(quickTiming());
    }
    QVERIFY(startFake(steadyArguments()));
    QVERIFY(waitForService(true, 4));
    QVERIFY(open(1));
    QTRY_COMPARE(m_links->playerRpm()[1], kRpm[0]);

    QSignalSpy openChanged(m_links.get(), &PlayerLinks::openChanged);
    QSignalSpy lost(m_links.get(), &PlayerLinks::linkLost);
    QSignalSpy reconnected(m_links.get(), &PlayerLinks::reconnected);
    QSignalSpy finished(m_links.get(), &PlayerLinks::bluetoothOpenFinished);
    QVERIFY(m_fake->command(lose));
    QTRY_VERIFY(!m_links->isOpen(1));
    QCOMPARE(openChanged.size(), 1);
    QCOMPARE(lost.size(), 1);
    QCOMPARE(m_links->status(1).state, LinkState::Lost);
    QVERIFY(link_status::Describe(m_links->status(1)).endsWith(QStringLiteral(". Reconnecting.")));
    // Two watchdog ticks without frames: the speed reads 0.
    m_links->watchdogTick();
    m_links->watchdogTick();
    QCOMPARE(m_links->playerRpm()[1], 0);

    if (quick) {
        // Several attempts fail meanwhile, none of them heard of.
        QTest::qWait(2000);
        QVERIFY(!m_links->isOpen(1));
    }
    QVERIFY(m_fake->command(restore));
    QTRY_VERIFY_WITH_TIMEOUT(m_links->isOpen(1), 6000);
    QCOMPARE(reconnected.size(), 1);
    QCOMPARE(lost.size(), 1);
    QCOMPARE(finished.size(), 0);
    QCOMPARE(m_links->status(1).state, LinkState::Open);
    m_links->storeSample(1, 0);
    QTRY_COMPARE(m_links->playerRpm()[1], kRpm[0]);
}

// A stored device that is not there at start-up: no message, a reason in the tooltip line,
// and the link opens once the device is back.
void tst_bluetooth_links::startUpKeepsTrying()
{
    m_links->setBluetoothTiming(quickTiming());
    QVERIFY(startFake(steadyArguments()));
    QVERIFY(waitForService(true, 4));
    QVERIFY(m_fake->command(QStringLiteral("out 2")));
    QSignalSpy finished(m_links.get(), &PlayerLinks::bluetoothOpenFinished);
    m_links->openDeviceAtStart(2, FakeBluezProcess::address(2).toLower());
    QTRY_COMPARE(m_links->status(2).state, LinkState::StartFailed);
    QCOMPARE(link_status::Describe(m_links->status(2)).section(u':', 0, 0),
        QStringLiteral("SPINNER-2 could not be opened at start-up"));
    QVERIFY(link_status::Describe(m_links->status(2))
                .endsWith(QStringLiteral("out of range or switched off. Retrying.")));
    QVERIFY(m_fake->command(QStringLiteral("in 2")));
    QTRY_VERIFY_WITH_TIMEOUT(m_links->isOpen(2), 5000);
    QTRY_COMPARE(m_links->playerRpm()[2], kRpm[1]);
    QCOMPARE(finished.size(), 0);
}

// Close ends a wait: the device's return does not reopen it, and a serial port can be used.
void tst_bluetooth_links::closeEndsTheWait()
{
    m_links->setBluetoothTiming(quickTiming());
    QVERIFY(startFake(steadyArguments()));
    QVERIFY(waitForService(true, 4));
    QVERIFY(open(1));
    QVERIFY(m_fake->command(QStringLiteral("vanish 1")));
    QTRY_COMPARE(m_links->status(1).state, LinkState::Lost);
    m_links->close(1);
    QVERIFY(m_fake->command(QStringLiteral("return 1")));
    QTest::qWait(1500);
    QVERIFY(!m_links->isOpen(1));
    QCOMPARE(m_links->status(1).state, LinkState::Closed);
    // Another player may now take the device.
    QVERIFY(open(4));
    QCOMPARE(m_links->beginOpenDevice(1, FakeBluezProcess::address(4)),
        QStringLiteral("SPINNER-4 is already open for player 4."));
}

// A service that stops answering: Open fails in words, the list keeps what it knew, the event
// loop keeps turning, and the links can be destroyed without waiting for the service.
void tst_bluetooth_links::hungServiceNeverBlocks()
{
    m_links->setBluetoothTiming(quickTiming());
    QVERIFY(startFake(steadyArguments()));
    QVERIFY(waitForService(true, 4));
    QVERIFY(open(1));
    QVERIFY(m_fake->command(QStringLiteral("hang")));

    StallMeter meter;
    QSignalSpy finished(m_links.get(), &PlayerLinks::bluetoothOpenFinished);
    QVERIFY(!m_links->beginOpenDevice(2, FakeBluezProcess::address(2)));
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.constLast().at(1).toString(), bluetooth_inventory::NotAnsweringReason());
    // A second Open fails the same way.
    QVERIFY(!m_links->beginOpenDevice(3, FakeBluezProcess::address(3)));
    QVERIFY(finished.wait(10000));
    QCOMPARE(m_links->bluetoothDevices().serialDevices().size(), 4);
    // The frames of the open link keep arriving.
    m_links->storeSample(1, 0);
    QTRY_COMPARE(m_links->playerRpm()[1], kRpm[0]);
    // Many turns of a 5 ms timer in those seconds: nothing held the loop.
    QVERIFY2(meter.turns() > 100, qPrintable(QString::number(meter.turns())));
    qInfo("longest event-loop stall with a hung service: %lld ms", meter.longestMs());
    // Destroyed while calls to the service are pending: nothing waits for them.
    m_links.reset();
}

void tst_bluetooth_links::strangerChangesNothing_data()
{
    QTest::addColumn<QString>("lose"); // before the call; empty: the link stays up
    QTest::addColumn<QString>("call");

    QTest::newRow("stranger drops a live link") << ""
                                                << "foreign disconnect 1";
    QTest::newRow("stranger hands over a connected device") << ""
                                                            << "foreign new 1 socket";
    QTest::newRow("stranger hands over a device being reconnected") << "out 1"
                                                                    << "foreign new 1 socket";
    QTest::newRow("stranger hands over a file") << "out 1"
                                                << "foreign new 1 file";
    QTest::newRow("stranger releases the profile") << ""
                                                   << "foreign release";
    QTest::newRow("service hands over a file for a live link") << ""
                                                               << "hand-file 1";
}

// Profile calls from anyone but the service, or with anything but a socket, are refused with
// an error, and the link goes on as it was: no frames of theirs, no dropped link.
void tst_bluetooth_links::strangerChangesNothing()
{
    QFETCH(QString, lose);
    QFETCH(QString, call);

    m_links->setBluetoothTiming(quickTiming());
    QVERIFY(startFake(steadyArguments()));
    QVERIFY(waitForService(true, 4));
    QVERIFY(open(1));
    const bool live = lose.isEmpty();
    if (!live) {
        QVERIFY(m_fake->command(lose));
        QTRY_COMPARE(m_links->status(1).state, LinkState::Lost);
    }
    QVERIFY(m_fake->command(call));
    QTRY_VERIFY(m_fake->command(QStringLiteral("refused")));
    m_links->storeSample(1, 0);
    QTest::qWait(500);
    QCOMPARE(m_links->isOpen(1), live);
    QCOMPARE(m_links->status(1).state, live ? LinkState::Open : LinkState::Lost);
    if (live) {
        QTRY_COMPARE(m_links->playerRpm()[1], kRpm[0]);
    } else {
        QCOMPARE(m_links->playerRpm()[1], 0);
    }
}

void tst_bluetooth_links::malformedListIsIgnored_data()
{
    QTest::addColumn<QString>("signature");
    QTest::newRow("a dictionary") << "a{sv}";
    QTest::newRow("a structure") << "(is)";
    QTest::newRow("paths to lists") << "a{oas}";
    QTest::newRow("paths to properties") << "a{oa{sv}}";
}

// A device list of the wrong shape at start-up: one warning, no devices, Open says the
// service is not answering, and nothing crashes.
void tst_bluetooth_links::malformedListIsIgnored()
{
    QFETCH(QString, signature);
    QTest::ignoreMessage(QtWarningMsg,
        qPrintable(QStringLiteral("Ignoring a Bluetooth device list of signature \"%1\"; "
                                  "asking again later")
                       .arg(signature)));
    QVERIFY(startFake({ QStringLiteral("--malformed"), signature }));
    QTRY_VERIFY(m_links->bluetoothDevices().isHung());
    QVERIFY(m_links->bluetoothDevices().serialDevices().isEmpty());
    QCOMPARE(m_links->beginOpenDevice(1, FakeBluezProcess::address(1)),
        bluetooth_inventory::NotAnsweringReason());
}

// A service silent for its first seconds: Open says so meanwhile, and once it answers the
// devices are listed and the stored device opens by itself.
void tst_bluetooth_links::slowStartStillOpensStoredDevices()
{
    m_links.reset();
    QVERIFY(startFake(steadyArguments({ QStringLiteral("--slow-start"), QStringLiteral("6000") })));
    m_links = std::make_unique<PlayerLinks>();
    m_links->setBluetoothTiming(quickTiming());
    m_links->openDeviceAtStart(1, FakeBluezProcess::address(1));
    QTRY_VERIFY_WITH_TIMEOUT(m_links->bluetoothDevices().isHung(), 10000);
    QCOMPARE(m_links->beginOpenDevice(2, FakeBluezProcess::address(2)),
        bluetooth_inventory::NotAnsweringReason());
    QVERIFY(waitForService(true, 4));
    QTRY_VERIFY_WITH_TIMEOUT(m_links->isOpen(1), 10000);
    QTRY_COMPARE(m_links->playerRpm()[1], kRpm[0]);
}

// Links stored for start-up open soon after a service silent for its first 20 s first answers:
// no pause grown meanwhile delays them (one once cost 20 s more).
void tst_bluetooth_links::silentServiceAnswersLate()
{
    constexpr int kSilentMs = 20000;
    QElapsedTimer sinceStart; // the service's, give or take its own start
    sinceStart.start();
    QVERIFY(startFake(steadyArguments({ "--slow-start", QString::number(kSilentMs) })));
    for (PlayerSlot player = 1; player <= 4; ++player) {
        m_links->openDeviceAtStart(player, FakeBluezProcess::address(player));
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        m_links->isOpen(1) && m_links->isOpen(2) && m_links->isOpen(3) && m_links->isOpen(4),
        kSilentMs + 12000);
    qInfo("links open %lld ms after the first answer", sinceStart.elapsed() - kSilentMs);
    QTRY_COMPARE(m_links->playerRpm()[4], kRpm[3]);
}

// The adapter switched off mid-game is named as such, not as four devices out of range; a
// device's huge name is cut short.
void tst_bluetooth_links::adapterOffAndHugeNameSaidPlainly()
{
    m_links->setBluetoothTiming(quickTiming());
    QVERIFY(startFake(steadyArguments()));
    QVERIFY(waitForService(true, 4));
    QVERIFY(open(1));
    QVERIFY(m_fake->command(QStringLiteral("rename 1 ") + QString(100000, u'N')));
    QTRY_COMPARE(m_links->status(1).deviceName.size(), bluetooth_inventory::kMaxNameLength);
    QVERIFY(m_fake->command(QStringLiteral("power off")));
    QTRY_COMPARE(m_links->status(1).reason, QStringLiteral("Bluetooth is switched off"));
    QCOMPARE(m_links->status(1).state, LinkState::Lost);
}

QTEST_GUILESS_MAIN(tst_bluetooth_links)
#include "tst_bluetooth_links.moc"
