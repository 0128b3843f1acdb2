// SPDX-License-Identifier: MIT
#include "link/bluetooth_devices.h"
#include "link/link_status.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"
#include "settings/settings_store.h"
#include "setup/frm_setup.h"
#include "support/private_bus.h"
#include "support/pty_pair.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

using rotavex::PlayerSlot;
using namespace std::chrono_literals;

namespace
{

QComboBox *cboPort(QWidget *dialog, PlayerSlot player)
{
    return dialog->findChild<QComboBox *>(QStringLiteral("cboPort%1").arg(player));
}

QPushButton *cmdOpen(QWidget *dialog, PlayerSlot player)
{
    return dialog->findChild<QPushButton *>(QStringLiteral("cmdOpen%1").arg(player));
}

QStringList deviceEntries(QComboBox *list)
{
    QStringList entries;
    for (int i = 16; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

QString stored(const QString &key)
{
    return settings_store::ReadSetting(QString::fromLatin1(settings_store::kApplication),
        QString::fromLatin1(settings_store::kSection), key, QStringLiteral("<absent>"));
}

void store(const QString &key, const QString &value)
{
    QVERIFY(!settings_store::WriteSetting(QString::fromLatin1(settings_store::kApplication),
        QString::fromLatin1(settings_store::kSection), key, value));
}

QString caption(int number)
{
    return QStringLiteral("SPINNER-%1 (%2)").arg(number).arg(FakeBluezProcess::address(number));
}

QString plainToolTip(const QWidget *widget)
{
    QTextDocument document;
    document.setHtml(widget->toolTip());
    return document.toPlainText();
}

} // namespace

class tst_bluetooth_setup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void listFollowsPairedSerialDevices();
    void noBluetoothListsPortsOnly_data();
    void noBluetoothListsPortsOnly();
    void openFailureMessage_data();
    void openFailureMessage();
    void boardThroughSetupAndStartUp();

private:
    /// Runs `act` on the next modal window of type T once it is up.
    template <typename T> QPointer<QTimer> whenModal(std::function<void(T *)> act)
    {
        auto *poll = new QTimer(m_scope.get());
        connect(poll, &QTimer::timeout, m_scope.get(), [poll, act] {
            auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
            if (modal == nullptr || !modal->isVisible()) {
                return;
            }
            poll->stop();
            act(modal);
        });
        poll->start(5);
        return poll;
    }

    /// Shows Setup over `links` as the main window does and runs `act` while it is up.
    void runSetup(PlayerLinks &links, QWidget *owner, const std::function<void(frmSetup *)> &act)
    {
        frmSetup dialog(links, m_names, owner);
        whenModal<frmSetup>(act);
        QTimer::singleShot(30000, m_scope.get(), [] {
            while (QWidget *modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        });
        dialog.exec();
        m_names = dialog.Unload();
    }

    /// Clicks Open of `player`; the text of the message it brought up, empty for none.
    QString clickOpen(frmSetup *dialog, PlayerSlot player)
    {
        QString text;
        const QPointer<QTimer> poll = whenModal<QMessageBox>([&text](QMessageBox *box) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        cmdOpen(dialog, player)->click();
        // The dialog stays greyed until the open has ended and its message is closed.
        const bool ended = QTest::qWaitFor([dialog] { return dialog->isEnabled(); }, 20000);
        delete poll.data();
        if (!ended) {
            return QStringLiteral("<still greyed>");
        }
        return text;
    }

    bool waitForDevices(PlayerLinks &links, int count)
    {
        return QTest::qWaitFor([&links, count] {
            return links.bluetoothDevices().isLoaded()
                && links.bluetoothDevices().serialDevices().size() == count;
        });
    }

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<QObject> m_scope;
    std::unique_ptr<FakeBluezProcess> m_fake;
    rotavex::PlayerName m_names;
};

void tst_bluetooth_setup::initTestCase()
{
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(m_bus->isValid(), "dbus-daemon could not be started");
}

void tst_bluetooth_setup::init()
{
    m_settings = std::make_unique<TempSettings>();
    m_scope = std::make_unique<QObject>();
}

void tst_bluetooth_setup::cleanup()
{
    m_fake.reset();
    m_scope.reset();
    m_settings.reset();
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

// Only paired devices with the serial port profile, by name, after the COM ports; pairing,
// renaming and removing while the dialog is up show at once; a selection survives.
void tst_bluetooth_setup::listFollowsPairedSerialDevices()
{
    m_fake = std::make_unique<FakeBluezProcess>(
        QStringList { "--devices", "3", "--unpaired", "1", "--headset" });
    QVERIFY(m_fake->isReady());
    PlayerLinks links;
    QVERIFY(waitForDevices(links, 3));
    QWidget owner;
    owner.show();

    QStringList atOpen, afterPairing, afterChanges, portEntries;
    QString selectedAfterChanges;
    QString toolTip;
    runSetup(links, &owner, [&](frmSetup *dialog) {
        QComboBox *list = cboPort(dialog, 2);
        atOpen = deviceEntries(list);
        for (int i = 0; i < 16; ++i) {
            portEntries << list->itemText(i);
        }
        list->setCurrentIndex(16 + 1); // SPINNER-2
        QVERIFY(m_fake->command(QStringLiteral("pair 4")));
        QTRY_COMPARE(deviceEntries(list).size(), 4);
        afterPairing = deviceEntries(list);
        QVERIFY(m_fake->command(QStringLiteral("rename 1 ZED")));
        QVERIFY(m_fake->command(QStringLiteral("vanish 3")));
        QVERIFY(m_fake->command(QStringLiteral("vanish 2")));
        QTRY_VERIFY(deviceEntries(list).contains(QStringLiteral("ZED (00:11:22:33:44:01)")));
        QTRY_VERIFY(!deviceEntries(list).contains(caption(3)));
        afterChanges = deviceEntries(cboPort(dialog, 1));
        selectedAfterChanges = list->currentText();
        toolTip = plainToolTip(list);
        dialog->accept();
    });

    QCOMPARE(portEntries.first(), QStringLiteral("COM1"));
    QCOMPARE(portEntries.last(), QStringLiteral("COM16"));
    QCOMPARE(atOpen, QStringList({ caption(1), caption(2), caption(3) }));
    QCOMPARE(afterPairing, QStringList({ caption(1), caption(2), caption(3), caption(4) }));
    QCOMPARE(afterChanges, QStringList({ caption(4), "ZED (00:11:22:33:44:01)" }));
    // The chosen device keeps its entry (and the choice) though it has gone.
    QCOMPARE(selectedAfterChanges, caption(2));
    QCOMPARE(toolTip, caption(2)); // the closed list may cut it short
    QCOMPARE(stored("Device2"), FakeBluezProcess::address(2));
    QCOMPARE(stored("CommPort2"), QStringLiteral("1"));
    // Players who use a port keep a file without the new key.
    QCOMPARE(stored("Device1"), QStringLiteral("<absent>"));
}

void tst_bluetooth_setup::noBluetoothListsPortsOnly_data()
{
    QTest::addColumn<QStringList>("arguments"); // empty: no service at all

    QTest::newRow("no Bluetooth service") << QStringList();
    QTest::newRow("no adapter") << QStringList { "--no-adapter" };
    QTest::newRow("adapter switched off") << QStringList { "--powered-off" };
}

// Without usable Bluetooth the program is as it was: COM ports only, nothing shown.
void tst_bluetooth_setup::noBluetoothListsPortsOnly()
{
    QFETCH(QStringList, arguments);
    if (!arguments.isEmpty()) {
        m_fake = std::make_unique<FakeBluezProcess>(arguments);
        QVERIFY(m_fake->isReady());
    }
    store(QStringLiteral("OpenAtStart"), QStringLiteral("1"));
    frmMain window;
    window.show();
    auto *links = window.findChild<PlayerLinks *>(QStringLiteral("PlayerLinks"));
    QVERIFY(links != nullptr);
    QVERIFY(QTest::qWaitFor([links, &arguments] {
        return links->bluetoothDevices().isLoaded()
            && links->bluetoothDevices().snapshot().running == !arguments.isEmpty();
    }));
    QTest::qWait(300);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QVERIFY(std::none_of(windows.cbegin(), windows.cend(),
        [](QWidget *w) { return w->isVisible() && qobject_cast<QMessageBox *>(w) != nullptr; }));

    int entries = 0;
    runSetup(*links, &window, [&entries](frmSetup *dialog) {
        entries = cboPort(dialog, 1)->count();
        dialog->accept();
    });
    QCOMPARE(entries, 16);
}

void tst_bluetooth_setup::openFailureMessage_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");

    QTest::newRow("out of range") << "out 1"
                                  << "Cannot open SPINNER-1 !\r\nThe device is out of range or "
                                     "switched off.";
    QTest::newRow("unpaired after it was chosen")
        << "unpair 1"
        << "Cannot open SPINNER-1 !\r\nThe device is not paired with this computer.";
    QTest::newRow("adapter switched off")
        << "power off"
        << "Cannot open SPINNER-1 !\r\nBluetooth is switched off.";
    QTest::newRow("service not answering")
        << "hang"
        << "Cannot open SPINNER-1 !\r\nThe Bluetooth service is not answering.";
}

// A stored device that cannot be reached is reported in the message box form of a port.
void tst_bluetooth_setup::openFailureMessage()
{
    QFETCH(QString, command);
    QFETCH(QString, message);

    m_fake = std::make_unique<FakeBluezProcess>();
    QVERIFY(m_fake->isReady());
    store(QStringLiteral("Device1"), FakeBluezProcess::address(1));
    PlayerLinks links;
    links.setBluetoothTiming({ 600ms, 500ms, 1500ms });
    QVERIFY(waitForDevices(links, 4));
    QVERIFY(m_fake->command(command));
    QTest::qWait(200); // the change reaches the list
    QWidget owner;
    owner.show();

    QString shown;
    QString selected;
    runSetup(links, &owner, [&](frmSetup *dialog) {
        selected = cboPort(dialog, 1)->currentText();
        shown = clickOpen(dialog, 1);
        dialog->accept();
    });
    QCOMPARE(selected, caption(1));
    QCOMPARE(shown, message);
    QVERIFY(!links.isOpen(1));
    m_fake.reset(); // a hung service lets go of the calls it holds
}

// The whole path: pick the device by name in Setup, its speed reaches the board; the stored
// device opens by itself at the next start.
void tst_bluetooth_setup::boardThroughSetupAndStartUp()
{
    m_fake =
        std::make_unique<FakeBluezProcess>(QStringList { "--profile", "steady", "--rpm", "7500" });
    QVERIFY(m_fake->isReady());
    {
        frmMain window;
        window.show();
        auto *links = window.findChild<PlayerLinks *>(QStringLiteral("PlayerLinks"));
        QVERIFY(waitForDevices(*links, 4));
        QString message = QStringLiteral("<not run>");
        runSetup(*links, &window, [&](frmSetup *dialog) {
            cboPort(dialog, 3)->setCurrentIndex(cboPort(dialog, 3)->findText(caption(2)));
            message = clickOpen(dialog, 3);
            dialog->findChild<QCheckBox *>(QStringLiteral("chkOpenAtStart"))->setChecked(true);
            dialog->accept();
        });
        QCOMPARE(message, QString());
        QVERIFY(links->isOpen(3));
        QVERIFY(window.nameBold(3));
        QTRY_COMPARE(links->playerRpm()[3], 7500);
        QVERIFY(plainToolTip(window.findChild<QLabel *>(QStringLiteral("lblName3")))
                    .contains(QStringLiteral("SPINNER-2 connected since ")));
    }
    QCOMPARE(stored("Device3"), FakeBluezProcess::address(2));

    frmMain next;
    next.show();
    auto *links = next.findChild<PlayerLinks *>(QStringLiteral("PlayerLinks"));
    QTRY_VERIFY(links->isOpen(3));
    QVERIFY(next.nameBold(3));
    QTRY_COMPARE(links->playerRpm()[3], 7500);
}

QTEST_MAIN(tst_bluetooth_setup)
#include "tst_bluetooth_setup.moc"
