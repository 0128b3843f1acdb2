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
    void reachAsStored_data()
    {
        QTest::addColumn<QString>("on"); // as stored
        QTest::addColumn<QString>("allInterfaces"); // null: never chosen
        QTest::addColumn<int>("reach"); // -1 not served, 0 this computer only, 1 every address
        const auto row = [](const char *name, const char *on, const char *all, int reach) {
            QTest::newRow(name) << QString(on) << (all ? QString(all) : QString()) << reach;
        };
        row("true, false: this computer only", "true", "false", 0);
        row("Yes, junk: this computer only", "Yes", "public", 0);
        row("on, never chosen: every address", "on", nullptr, 1);
        row("junk: not served", "sometimes", "1", -1);
    }

    // The page serves only when the file says yes, and "this computer only" holds: a client
    // coming by another address of this computer (as a phone by the network's) is refused.
    void reachAsStored()
    {
        QFETCH(QString, on);
        QFETCH(QString, allInterfaces);
        QFETCH(int, reach);
        TempSettings store;
        const quint16 port = [] {
            QTcpServer probe;
            return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : quint16(0);
        }();
        for (const auto &[key, text] : { std::pair { "WebScoreboard", on },
                 { "WebAllInterfaces", allInterfaces }, { "WebPort", QString::number(port) } }) {
            QVERIFY(
                text.isNull() || !settings_store::WriteSetting("Rotavex", "Properties", key, text));
        }
        const web::WebSettings settings = web::ReadWebSettings();
        QCOMPARE(settings.on, reach >= 0);
        web::WebScoreboard board;
        QSignalSpy started(&board, &web::WebScoreboard::started);
        if (settings.on) {
            board.start(settings.port, settings.allInterfaces);
            QVERIFY(started.wait(10000));
        }
        // Every 127.x.y.z is this computer, but a listener on 127.0.0.1 alone does not take it.
        for (const auto &[address, reached] :
            { std::pair { "127.0.0.1", reach >= 0 }, { "127.0.0.2", reach == 1 } }) {
            QTcpSocket client;
            client.connectToHost(QHostAddress(QLatin1String(address)), port);
            QCOMPARE(client.waitForConnected(10000), reached);
        }
    }
};

QTEST_GUILESS_MAIN(tst_WebSettings)
#include "tst_web_settings.moc"
