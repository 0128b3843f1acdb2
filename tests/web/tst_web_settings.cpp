// SPDX-License-Identifier: MIT
#include "settings/settings_store.h"
#include "support/pty_pair.h"
#include "web/web_scoreboard.h"
#include "web/web_settings.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class tst_WebSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reachAsStored_data();
    void reachAsStored();
};

void tst_WebSettings::reachAsStored_data()
{
    QTest::addColumn<QString>("on"); // as stored; null: no such key
    QTest::addColumn<QString>("allInterfaces");
    QTest::addColumn<bool>("serves");
    QTest::addColumn<bool>("reachable"); // from another of this computer's addresses

    QTest::newRow("on, every interface") << "1"
                                         << "1" << true << true;
    QTest::newRow("true, false means this computer only") << "true"
                                                          << "false" << true << false;
    QTest::newRow("yes, no") << "yes"
                             << "no" << true << false;
    QTest::newRow("on, off") << "on"
                             << "OFF" << true << false;
    QTest::newRow("0 keeps this computer only") << "1"
                                                << "0" << true << false;
    QTest::newRow("reach neither yes nor no") << "1"
                                              << "public" << true << false;
    QTest::newRow("reach empty") << "1"
                                 << "" << true << false;
    QTest::newRow("reach never chosen") << "1" << QString() << true << true;
    QTest::newRow("page false") << "false"
                                << "1" << false << false;
    QTest::newRow("page neither yes nor no") << "sometimes"
                                             << "1" << false << false;
}

// The page serves only when the file says yes, and "this computer only" holds: a client that
// comes by another address of this computer (as a phone comes by the network's) is refused.
void tst_WebSettings::reachAsStored()
{
    QFETCH(QString, on);
    QFETCH(QString, allInterfaces);
    QFETCH(bool, serves);
    QFETCH(bool, reachable);
    TempSettings store;
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const auto keep = [](const char *key, const QString &text) {
        if (!text.isNull()) {
            QVERIFY(!settings_store::WriteSetting(
                QStringLiteral("Rotavex"), QStringLiteral("Properties"), QLatin1String(key), text));
        }
    };
    keep("WebScoreboard", on);
    keep("WebAllInterfaces", allInterfaces);
    keep("WebPort", QString::number(port));

    const web::WebSettings settings = web::ReadWebSettings();
    QCOMPARE(settings.on, serves);
    QCOMPARE(settings.port, port);
    if (!serves) {
        return;
    }
    web::WebScoreboard board;
    QSignalSpy started(&board, &web::WebScoreboard::started);
    board.start(settings.port, settings.allInterfaces);
    QVERIFY(started.wait(10000));

    const auto connects = [port](const QHostAddress &address) {
        QTcpSocket client;
        client.connectToHost(address, port);
        return client.waitForConnected(10000);
    };
    QVERIFY(connects(QHostAddress::LocalHost));
    // Every 127.x.y.z is this computer, but a listener on 127.0.0.1 alone does not take it.
    QCOMPARE(connects(QHostAddress(QStringLiteral("127.0.0.2"))), reachable);
    settings_store::TakeStoreNotice();
}

QTEST_GUILESS_MAIN(tst_WebSettings)
#include "tst_web_settings.moc"
