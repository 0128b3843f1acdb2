// SPDX-License-Identifier: MIT
#include "settings/settings_store.h"

#include "support/pty_pair.h"

#include <QFile>
#include <QSettings>
#include <QTest>

#include <memory>

using namespace settings_store;

class tst_device_setting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_store = std::make_unique<TempSettings>(); }
    void cleanup() { m_store.reset(); }

    void storedText_data();
    void storedText();
    void clearingWritesOnlyWhatWasThere();

private:
    std::unique_ptr<TempSettings> m_store;
};

void tst_device_setting::storedText_data()
{
    QTest::addColumn<QString>("text"); // "<absent>": no key
    QTest::addColumn<QString>("device");

    QTest::newRow("absent: the port") << "<absent>"
                                      << "";
    QTest::newRow("empty: the port") << ""
                                     << "";
    QTest::newRow("address") << "00:11:22:33:44:55"
                             << "00:11:22:33:44:55";
    QTest::newRow("lower case made upper") << "00:1a:7d:da:71:13"
                                           << "00:1A:7D:DA:71:13";
    QTest::newRow("spaces around") << " 00:11:22:33:44:55 "
                                   << "00:11:22:33:44:55";
    QTest::newRow("dashes are not an address") << "00-11-22-33-44-55"
                                               << "";
    QTest::newRow("too short") << "00:11:22:33:44"
                               << "";
    QTest::newRow("a port name") << "COM3"
                                 << "";
}

void tst_device_setting::storedText()
{
    QFETCH(QString, text);
    QFETCH(QString, device);
    if (text != QStringLiteral("<absent>")) {
        QVERIFY(!WriteSetting("Rotavex", "Properties", "Device2", text));
    }
    QVERIFY(!WriteSetting("Rotavex", "Properties", "CommPort2", "5"));
    QCOMPARE(ReadPlayerDevice(2), device);
    QCOMPARE(ReadPlayerDevice(1), QString());
    // The port stays as stored whatever the device key holds.
    QCOMPARE(ReadPlayerPort(2), qint16(5));
}

void tst_device_setting::clearingWritesOnlyWhatWasThere()
{
    QVERIFY(!WritePlayerDevice(1, QString()));
    const QString file = StoreFile();
    QVERIFY(!QFile::exists(file));
    QVERIFY(!WritePlayerDevice(3, QStringLiteral("00:11:22:33:44:55")));
    QCOMPARE(ReadSetting("Rotavex", "Properties", "Device3", "<absent>"),
        QStringLiteral("00:11:22:33:44:55"));
    QVERIFY(!WritePlayerDevice(3, QString()));
    QCOMPARE(ReadSetting("Rotavex", "Properties", "Device3", "<absent>"), QString());
    QCOMPARE(
        ReadSetting("Rotavex", "Properties", "Device1", "<absent>"), QStringLiteral("<absent>"));
}

QTEST_GUILESS_MAIN(tst_device_setting)
#include "tst_device_setting.moc"
