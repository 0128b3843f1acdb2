// SPDX-License-Identifier: MIT
#include "link/port_names.h"

#include "support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestPortNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void virtualPortWins();
    void missingDeviceNamesWhatWasLookedFor();
    void danglingVirtualPortIsMissing();
    void portOutOfRange_data();
    void portOutOfRange();
    void candidatesInOrder();
};

void TestPortNames::virtualPortWins()
{
    TempRuntimeDir runtime;
    PtyPair pty;
    QVERIFY(pty.isValid());
    QVERIFY(pty.exposeAs(runtime.portDir(), 7));

    const port_names::Resolution resolution = port_names::Resolve(7);
    QCOMPARE(resolution.device, runtime.portDir() + QStringLiteral("/COM7"));
    QCOMPARE(resolution.error, QString());
}

void TestPortNames::missingDeviceNamesWhatWasLookedFor()
{
    TempRuntimeDir runtime;
    if (QFile::exists(QStringLiteral("/dev/rfcomm15"))) {
        QSKIP("this machine has a real /dev/rfcomm15");
    }
    const port_names::Resolution resolution = port_names::Resolve(16);
    QCOMPARE(resolution.device, QString());
    QCOMPARE(resolution.error,
        QStringLiteral("No device for COM16: looked for %1/COM16 and /dev/rfcomm15")
            .arg(runtime.portDir()));
}

// A virtual port whose device went away must not be offered for opening.
void TestPortNames::danglingVirtualPortIsMissing()
{
    TempRuntimeDir runtime;
    QVERIFY(QDir().mkpath(runtime.portDir()));
    const QString dangling = runtime.portDir() + QStringLiteral("/COM3");
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/device"), dangling));
    QVERIFY(port_names::Resolve(3).device != dangling);
}

void TestPortNames::portOutOfRange_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("error");

    QTest::newRow("no selection") << 0 << QStringLiteral("No port is selected");
    QTest::newRow("negative") << -1 << QStringLiteral("Port number -1 is out of range (1 to 16)");
    QTest::newRow("one past the last")
        << 17 << QStringLiteral("Port number 17 is out of range (1 to 16)");
}

void TestPortNames::portOutOfRange()
{
    QFETCH(int, port);
    QFETCH(QString, error);

    TempRuntimeDir runtime;
    const port_names::Resolution resolution = port_names::Resolve(port);
    QCOMPARE(resolution.device, QString());
    QCOMPARE(resolution.error, error);
    QVERIFY(port_names::Candidates(port).isEmpty());
}

void TestPortNames::candidatesInOrder()
{
    TempRuntimeDir runtime;
    QCOMPARE(port_names::VirtualPortDir(), runtime.portDir());
    QCOMPARE(port_names::Candidates(1),
        (QStringList { runtime.portDir() + "/COM1", QStringLiteral("/dev/rfcomm0") }));
}

QTEST_GUILESS_MAIN(TestPortNames)
#include "tst_port_names.moc"
