// SPDX-License-Identifier: MIT
// The failure texts of Resolve are checked end to end, through a real open, in
// tst_serial_control.
#include "link/port_names.h"

#include "support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestPortNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void candidates_data();
    void candidates();
    void virtualPortWins();
    void danglingVirtualPortIsMissing();
};

void TestPortNames::candidates_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("expected"); // "%1" stands for the virtual port folder

    QTest::newRow("first port") << 1 << QStringList { "%1/COM1", "/dev/rfcomm0" };
    QTest::newRow("last port") << 16 << QStringList { "%1/COM16", "/dev/rfcomm15" };
    QTest::newRow("no selection") << 0 << QStringList();
    QTest::newRow("one past the last") << 17 << QStringList();
    QTest::newRow("negative") << -1 << QStringList();
}

void TestPortNames::candidates()
{
    QFETCH(int, port);
    QFETCH(QStringList, expected);

    TempRuntimeDir runtime;
    QCOMPARE(port_names::VirtualPortDir(), runtime.portDir());
    expected.replaceInStrings(QStringLiteral("%1"), runtime.portDir());
    QCOMPARE(port_names::Candidates(port), expected);
}

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

// A virtual port whose device went away must not be offered for opening.
void TestPortNames::danglingVirtualPortIsMissing()
{
    TempRuntimeDir runtime;
    QVERIFY(QDir().mkpath(runtime.portDir()));
    const QString dangling = runtime.portDir() + QStringLiteral("/COM3");
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/device"), dangling));
    QVERIFY(port_names::Resolve(3).device != dangling);
}

QTEST_GUILESS_MAIN(TestPortNames)
#include "tst_port_names.moc"
