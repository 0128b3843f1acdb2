// SPDX-License-Identifier: MIT
#include "link/serial_control.h"

#include "link/comm.h"
#include "link/port_events.h"
#include "support/pty_pair.h"

#include <QScopeGuard>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using rotavex::LinkSeen;
using rotavex::PlayerRpm;
using rotavex::PlayerSlot;

namespace
{

// One player's link wired as the main window wires it: every OnComm reads everything
// pending and hands it to the port events.
struct Link {
    explicit Link(PlayerSlot player)
        : port(player)
    {
        seen.fill(-1);
        QObject::connect(&control, &SerialControl::OnComm, &control,
            [this]() { port_events::OnComm(state, control.input(), port, rpm, seen); });
    }

    std::optional<QString> open(int commPort)
    {
        control.setCommPort(qint16(commPort));
        control.setSettings(QStringLiteral("9600,n,8,1"));
        control.setRThreshold(1);
        return control.setPortOpen(true);
    }

    PlayerSlot port;
    SerialControl control;
    comm::PacketState state;
    PlayerRpm rpm;
    LinkSeen seen;
};

// Counts socket-notifier activations anywhere in the application: a closed port whose
// descriptor still fires shows up here as a stream of them.
class SocketActivity : public QObject
{
public:
    SocketActivity() { QCoreApplication::instance()->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::SockAct) {
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestSerialControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framesReachPlayerRpm_data();
    void framesReachPlayerRpm();
    void lineSettingsReachDevice_data();
    void lineSettingsReachDevice();
    void invalidSettingsKeepPrevious();
    void openFailure_data();
    void openFailure();
    void samePortTwice();
    void openTwiceOnOneControl();
    void thresholdZeroRaisesNoEvents();
    void closedPortRaisesNoEvents();
    void vanishedDeviceClosesPortOnce();
    void reopensAfterDeviceReturns();
};

void TestSerialControl::framesReachPlayerRpm_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<qint32>("rpm");

    QTest::newRow("whole frame") << QList<QByteArray> { comm::encodeFrame(1000) } << 7500;
    QTest::newRow("split after high byte")
        << QList<QByteArray> { QByteArray("<\x03"), QByteArray("\xE8>") } << 7500;
    QTest::newRow("byte by byte") << QList<QByteArray> { "<", "\x1D", "\x4C", ">" } << 1000;
    QTest::newRow("two frames in one write last wins")
        << QList<QByteArray> { comm::encodeFrame(1000) + comm::encodeFrame(375) } << 20000;
    QTest::newRow("garbage then frame")
        << QList<QByteArray> { QByteArray("\x55\xAA>>") + comm::encodeFrame(830) } << 9036;
}

void TestSerialControl::framesReachPlayerRpm()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(qint32, rpm);

    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.exposeAs(runtime.portDir(), 3));
    Link link(3);
    QCOMPARE(link.open(3), std::nullopt);
    QVERIFY(link.control.portOpen());

    QSignalSpy events(&link.control, &SerialControl::OnComm);
    for (const QByteArray &bytes : writes) {
        const qsizetype before = events.count();
        QVERIFY(pty.write(bytes));
        // One event per write, so every write is a read of its own.
        QTRY_VERIFY(events.count() > before);
    }
    QCOMPARE(link.rpm[3], rpm);
    QCOMPARE(link.seen[3], qint16(0));
    QCOMPARE(link.seen[1], qint16(-1));
}

void TestSerialControl::lineSettingsReachDevice_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<speed_t>("speed");
    QTest::addColumn<bool>("twoStopBits");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<QSerialPort::DataBits>("dataBits");

    QTest::newRow("the program's settings")
        << "9600,n,8,1" << speed_t(B9600) << false << QSerialPort::NoParity << QSerialPort::Data8;
    QTest::newRow("even, 7 data, 2 stop") << "19200,E,7,2" << speed_t(B19200) << true
                                          << QSerialPort::EvenParity << QSerialPort::Data7;
    QTest::newRow("odd, 6 data") << "4800,o,6,1" << speed_t(B4800) << false
                                 << QSerialPort::OddParity << QSerialPort::Data6;
    QTest::newRow("mark, 5 data") << "2400,m,5,1" << speed_t(B2400) << false
                                  << QSerialPort::MarkParity << QSerialPort::Data5;
    QTest::newRow("space") << "1200,s,8,2" << speed_t(B1200) << true << QSerialPort::SpaceParity
                           << QSerialPort::Data8;
}

// Speed and stop bits are read back from the device itself: a pty keeps one set of line
// settings for both sides, seen through a descriptor the test holds. A pty forces 8 data bits
// without parity, so those two are read back from the serial layer instead.
void TestSerialControl::lineSettingsReachDevice()
{
    QFETCH(QString, settings);
    QFETCH(speed_t, speed);
    QFETCH(bool, twoStopBits);
    QFETCH(QSerialPort::Parity, parity);
    QFETCH(QSerialPort::DataBits, dataBits);

    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.exposeAs(runtime.portDir(), 4));
    const int probe =
        ::open(pty.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(probe >= 0);
    auto closeProbe = qScopeGuard([probe]() { ::close(probe); });

    SerialControl control;
    control.setCommPort(4);
    QVERIFY(control.setSettings(settings));
    QCOMPARE(control.settings(), settings);
    QCOMPARE(control.setPortOpen(true), std::nullopt);

    termios tio {};
    QCOMPARE(::tcgetattr(probe, &tio), 0);
    QCOMPARE(::cfgetispeed(&tio), speed);
    QCOMPARE((tio.c_cflag & CSTOPB) != 0, twoStopBits);
    const auto *port = control.findChild<QSerialPort *>();
    QVERIFY(port);
    QCOMPARE(port->parity(), parity);
    QCOMPARE(port->dataBits(), dataBits);
}

void TestSerialControl::invalidSettingsKeepPrevious()
{
    SerialControl control;
    QVERIFY(control.setSettings(QStringLiteral("19200,e,7,2")));
    QVERIFY(!control.setSettings(QStringLiteral("9600,x,8,1")));
    QCOMPARE(control.settings(), QStringLiteral("19200,e,7,2"));
}

void TestSerialControl::openFailure_data()
{
    QTest::addColumn<int>("commPort");
    QTest::addColumn<QString>("error");

    // %1 stands for the private folder of virtual ports.
    QTest::newRow("missing device")
        << 5 << QStringLiteral("No device for COM5: looked for %1/COM5 and /dev/rfcomm4");
    QTest::newRow("no port selected") << 0 << QStringLiteral("No port is selected");
    QTest::newRow("port beyond 16")
        << 17 << QStringLiteral("Port number 17 is out of range (1 to 16)");
}

void TestSerialControl::openFailure()
{
    QFETCH(int, commPort);
    QFETCH(QString, error);

    if (QFile::exists(QStringLiteral("/dev/rfcomm4"))) {
        QSKIP("this machine has a real /dev/rfcomm4");
    }
    TempRuntimeDir runtime;
    PtyPair elsewhere;
    QVERIFY(elsewhere.exposeAs(runtime.portDir(), 6));
    Link link(1);
    const std::optional<QString> result = link.open(commPort);
    QVERIFY(result.has_value());
    QCOMPARE(*result, error.contains(QLatin1String("%1")) ? error.arg(runtime.portDir()) : error);
    QVERIFY(!link.control.portOpen());
    QCOMPARE(link.control.commPort(), qint16(commPort));
}

// Two players choosing the same port: the second open is refused and the first link keeps
// working; once the first lets go, the second can have it.
void TestSerialControl::samePortTwice()
{
    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.exposeAs(runtime.portDir(), 2));
    Link first(1);
    Link second(2);
    QCOMPARE(first.open(2), std::nullopt);

    const std::optional<QString> refused = second.open(2);
    QVERIFY(refused.has_value());
    QVERIFY2(refused->contains(runtime.portDir() + QStringLiteral("/COM2")), qPrintable(*refused));
    QVERIFY2(refused->contains(QLatin1String("in use")), qPrintable(*refused));
    QVERIFY(!second.control.portOpen());

    QVERIFY(pty.write(comm::encodeFrame(1000)));
    QTRY_COMPARE(first.rpm[1], 7500);
    QCOMPARE(second.rpm[2], 0);

    QCOMPARE(first.control.setPortOpen(false), std::nullopt);
    QCOMPARE(second.open(2), std::nullopt);
    QVERIFY(pty.write(comm::encodeFrame(375)));
    QTRY_COMPARE(second.rpm[2], 20000);
}

void TestSerialControl::openTwiceOnOneControl()
{
    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.exposeAs(runtime.portDir(), 9));
    Link link(1);
    QCOMPARE(link.open(9), std::nullopt);
    QCOMPARE(link.control.setPortOpen(true), QStringLiteral("COM9 is already open"));
    QVERIFY(link.control.portOpen());
}

void TestSerialControl::thresholdZeroRaisesNoEvents()
{
    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.exposeAs(runtime.portDir(), 1));
    Link link(1);
    QCOMPARE(link.open(1), std::nullopt);
    link.control.setRThreshold(0);
    QSignalSpy events(&link.control, &SerialControl::OnComm);

    QVERIFY(pty.write(comm::encodeFrame(1000)));
    QByteArray received;
    QTRY_COMPARE((received += link.control.input()), comm::encodeFrame(1000));
    QCOMPARE(events.count(), 0);
}

void TestSerialControl::closedPortRaisesNoEvents()
{
    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.exposeAs(runtime.portDir(), 1));
    Link link(1);
    QCOMPARE(link.open(1), std::nullopt);
    QCOMPARE(link.control.setPortOpen(false), std::nullopt);
    QCOMPARE(link.control.setPortOpen(false), std::nullopt);
    QVERIFY(!link.control.portOpen());
    QSignalSpy events(&link.control, &SerialControl::OnComm);

    QVERIFY(pty.write(comm::encodeFrame(1000)));
    QTest::qWait(100);
    QCOMPARE(events.count(), 0);
    QCOMPARE(link.control.input(), QByteArray());
}

// A device that disappears while open must close the port and report once, not leave the
// program spinning on a descriptor that is always readable and always fails.
void TestSerialControl::vanishedDeviceClosesPortOnce()
{
    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.exposeAs(runtime.portDir(), 8));
    Link link(4);
    QCOMPARE(link.open(8), std::nullopt);
    QVERIFY(pty.write(comm::encodeFrame(1000)));
    QTRY_COMPARE(link.rpm[4], 7500);

    QSignalSpy lost(&link.control, &SerialControl::linkLost);
    QSignalSpy events(&link.control, &SerialControl::OnComm);
    pty.vanish();
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!link.control.portOpen());
    const QString description = lost.first().first().toString();
    QVERIFY2(description.startsWith(
                 QStringLiteral("Connection lost (%1/COM8): ").arg(runtime.portDir())),
        qPrintable(description));

    SocketActivity activity;
    const qsizetype eventsAfterLoss = events.count();
    QTest::qWait(200);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(events.count(), eventsAfterLoss);
    QCOMPARE(activity.count, 0);
    QCOMPARE(link.rpm[4], 7500);
}

void TestSerialControl::reopensAfterDeviceReturns()
{
    TempRuntimeDir runtime;
    Link link(2);
    {
        PtyPair gone;
        QVERIFY(gone.exposeAs(runtime.portDir(), 12));
        QCOMPARE(link.open(12), std::nullopt);
        QSignalSpy lost(&link.control, &SerialControl::linkLost);
        gone.vanish();
        QTRY_COMPARE(lost.count(), 1);
    }
    PtyPair back;
    QVERIFY(back.exposeAs(runtime.portDir(), 12));
    QCOMPARE(link.control.setPortOpen(true), std::nullopt);
    QVERIFY(back.write(comm::encodeFrame(7500)));
    QTRY_COMPARE(link.rpm[2], 1000);

    QSignalSpy lostAgain(&link.control, &SerialControl::linkLost);
    back.vanish();
    QTRY_COMPARE(lostAgain.count(), 1);
}

QTEST_GUILESS_MAIN(TestSerialControl)
#include "tst_serial_control.moc"
