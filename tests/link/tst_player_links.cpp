// SPDX-License-Identifier: MIT
// The four links on real pseudo-terminals: opening and closing, refusals, a device that goes
// away and comes back (with and without the user stepping in), and links opened at start-up.
#include "link/link_status.h"
#include "link/player_links.h"
#include "link/serial_control.h"
#include "support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using link_status::LinkState;
using link_status::LinkStatus;
using rotavex::PlayerSlot;

namespace
{

const QByteArray kFrame7500("<\x03\xE8>", 4);

// Long enough for the watch to have looked at least once more.
constexpr int kPastOneLookMs = int(PlayerLinks::kWatchInterval.count() * 3 / 2);

int openFdCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

class tst_PlayerLinks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PtyPair> plug(int port)
    {
        auto device = std::make_unique<PtyPair>();
        if (!device->isValid() || !device->exposeAs(m_runtime->portDir(), port)) {
            return nullptr;
        }
        return device;
    }

    std::unique_ptr<TempRuntimeDir> m_runtime;
    std::unique_ptr<PlayerLinks> m_links;

private Q_SLOTS:
    void init()
    {
        m_runtime = std::make_unique<TempRuntimeDir>();
        m_links = std::make_unique<PlayerLinks>();
    }

    void cleanup()
    {
        m_links.reset();
        m_runtime.reset();
    }

    void describe_data()
    {
        QTest::addColumn<LinkStatus>("status");
        QTest::addColumn<QString>("line");

        const QTime at(14, 5, 40);
        QTest::newRow("open") << LinkStatus { LinkState::Open, 3, QTime(14, 2, 11), {} }
                              << "COM3 open since 14:02:11";
        QTest::newRow("lost") << LinkStatus { LinkState::Lost, 3, at, "the device disconnected" }
                              << "COM3 lost at 14:05:40: the device disconnected. Reconnecting "
                                 "when it returns.";
        QTest::newRow("closed") << LinkStatus { LinkState::Closed, 3, at, {} } << "COM3 closed";
        QTest::newRow("closed without a port") << LinkStatus {} << "No port";
        QTest::newRow("failed at start-up")
            << LinkStatus { LinkState::StartFailed, 12, at, "No device for COM12" }
            << "COM12 could not be opened at start-up: No device for COM12. Retrying.";
        QTest::newRow("reason ending its own sentence")
            << LinkStatus { LinkState::StartFailed, 2, at, "COM2 is already open for player 1." }
            << "COM2 could not be opened at start-up: COM2 is already open for player 1. "
               "Retrying.";
    }

    void describe()
    {
        QFETCH(LinkStatus, status);
        QFETCH(QString, line);
        QCOMPARE(link_status::Describe(status), line);
    }

    void openAndClose()
    {
        const auto device = plug(2);
        QVERIFY(device);
        QSignalSpy changed(m_links.get(), &PlayerLinks::openChanged);

        QCOMPARE(m_links->open(1, 2), std::nullopt);
        QVERIFY(m_links->isOpen(1));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.takeFirst(), QVariantList({ QVariant::fromValue(PlayerSlot(1)), true }));
        QVERIFY2(link_status::Describe(m_links->status(1)).startsWith("COM2 open since "),
            qPrintable(link_status::Describe(m_links->status(1))));
        QCOMPARE(m_links->control(1)->objectName(), QStringLiteral("MSComm1"));
        QVERIFY(device->write(kFrame7500));
        QTRY_COMPARE(m_links->playerRpm()[1], 7500);

        m_links->close(1);
        QVERIFY(!m_links->isOpen(1));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.takeFirst(), QVariantList({ QVariant::fromValue(PlayerSlot(1)), false }));
        QCOMPARE(link_status::Describe(m_links->status(1)), QStringLiteral("COM2 closed"));
        m_links->close(1);
        QCOMPARE(changed.count(), 0); // closing a closed link changes nothing
    }

    void refusedOpen_data()
    {
        QTest::addColumn<PlayerSlot>("player");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("failure"); // %1 = the virtual port folder

        QTest::newRow("port another player holds")
            << PlayerSlot(2) << 1 << "COM1 is already open for player 1.";
        QTest::newRow("no device behind the port")
            << PlayerSlot(2) << 5 << "No device for COM5: looked for %1/COM5 and /dev/rfcomm4";
        QTest::newRow("player whose link is open")
            << PlayerSlot(1) << 5 << "COM1 is already open for player 1.";
    }

    // Nothing opens, nothing is announced, and the link already open keeps delivering.
    void refusedOpen()
    {
        QFETCH(PlayerSlot, player);
        QFETCH(int, port);
        QFETCH(QString, failure);

        const auto device = plug(1);
        QVERIFY(device);
        QCOMPARE(m_links->open(1, 1), std::nullopt);
        QSignalSpy changed(m_links.get(), &PlayerLinks::openChanged);

        if (failure.contains(QStringLiteral("%1"))) {
            failure = failure.arg(m_runtime->portDir());
        }
        QCOMPARE(m_links->open(player, qint16(port)), failure);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!m_links->isOpen(2));
        QCOMPARE(m_links->status(2).state, LinkState::Closed);
        QVERIFY(m_links->isOpen(1));
        QCOMPARE(m_links->status(1).port, qint16(1));
        QCOMPARE(m_links->control(1)->commPort(), qint16(1));
        QVERIFY(device->write(kFrame7500));
        QTRY_COMPARE(m_links->playerRpm()[1], 7500);
        QCOMPARE(m_links->playerRpm()[2], 0);
    }

    void lostLinkReconnects_data()
    {
        QTest::addColumn<bool>("refusedFirst");
        QTest::newRow("device returns") << false;
        QTest::newRow("device refuses once present, then returns") << true;
    }

    void lostLinkReconnects()
    {
        QFETCH(bool, refusedFirst);

        auto device = plug(3);
        QVERIFY(device);
        QCOMPARE(m_links->open(4, 3), std::nullopt);
        QSignalSpy lost(m_links.get(), &PlayerLinks::linkLost);
        QSignalSpy reconnected(m_links.get(), &PlayerLinks::reconnected);

        device->vanish();
        QVERIFY(lost.wait(5000));
        QCOMPARE(lost.takeFirst(),
            QVariantList(
                { QVariant::fromValue(PlayerSlot(4)), QStringLiteral("the device disconnected") }));
        QVERIFY(!m_links->isOpen(4));
        QCOMPARE(m_links->status(4).state, LinkState::Lost);
        QCOMPARE(m_links->status(4).port, qint16(3));

        if (refusedFirst) {
            // Something is at the path, but not a serial device: every reopen is refused, quietly,
            // and no descriptor stays behind.
            const int fdsBefore = openFdCount();
            QFile impostor(m_runtime->portDir() + QStringLiteral("/COM3"));
            QVERIFY(impostor.open(QIODevice::WriteOnly));
            impostor.close();
            QTest::qWait(kPastOneLookMs);
            QCOMPARE(reconnected.count(), 0);
            QCOMPARE(m_links->status(4).state, LinkState::Lost);
            QCOMPARE(openFdCount(), fdsBefore);
            QVERIFY(impostor.remove());
        }

        device = plug(3);
        QVERIFY(device);
        QVERIFY(reconnected.wait(5000));
        QCOMPARE(reconnected.takeFirst().first().value<PlayerSlot>(), PlayerSlot(4));
        QVERIFY(m_links->isOpen(4));
        QCOMPARE(lost.count(), 0);
        QVERIFY(device->write(kFrame7500));
        QTRY_COMPARE(m_links->playerRpm()[4], 7500);
    }

    void userEndsTheWait_data()
    {
        QTest::addColumn<bool>("openElsewhere");
        QTest::newRow("Close") << false;
        QTest::newRow("Open on another port") << true;
    }

    // After the user has stepped in, a device returning to the old port is left alone.
    void userEndsTheWait()
    {
        QFETCH(bool, openElsewhere);

        auto device = plug(2);
        const auto other = plug(6);
        QVERIFY(device && other);
        QCOMPARE(m_links->open(1, 2), std::nullopt);
        QSignalSpy lost(m_links.get(), &PlayerLinks::linkLost);
        device->vanish();
        QVERIFY(lost.wait(5000));

        if (openElsewhere) {
            QCOMPARE(m_links->open(1, 6), std::nullopt);
        } else {
            m_links->close(1);
            QCOMPARE(link_status::Describe(m_links->status(1)), QStringLiteral("COM2 closed"));
        }
        QSignalSpy reconnected(m_links.get(), &PlayerLinks::reconnected);
        device = plug(2);
        QVERIFY(device);
        QTest::qWait(kPastOneLookMs);
        QCOMPARE(reconnected.count(), 0);
        QCOMPARE(m_links->isOpen(1), openElsewhere);
        QCOMPARE(m_links->status(1).port, qint16(openElsewhere ? 6 : 2));
    }

    // Start-up opens what it can without a word; a missing device is waited for.
    void openAtStartWaitsForMissingDevice()
    {
        const auto first = plug(1);
        QVERIFY(first);
        QSignalSpy reconnected(m_links.get(), &PlayerLinks::reconnected);

        m_links->openAtStart(1, 1);
        m_links->openAtStart(2, 2);
        QVERIFY(m_links->isOpen(1));
        QVERIFY(!m_links->isOpen(2));
        LinkStatus waiting = m_links->status(2);
        QCOMPARE(waiting.state, LinkState::StartFailed);
        waiting.at = QTime(9, 0, 0);
        QCOMPARE(link_status::Describe(waiting),
            QStringLiteral("COM2 could not be opened at start-up: No device for COM2: looked for "
                           "%1/COM2 and /dev/rfcomm1. Retrying.")
                .arg(m_runtime->portDir()));

        const auto second = plug(2);
        QVERIFY(second);
        QVERIFY(reconnected.wait(5000));
        QCOMPARE(reconnected.takeFirst().first().value<PlayerSlot>(), PlayerSlot(2));
        QVERIFY(m_links->isOpen(2));
        QCOMPARE(m_links->status(2).state, LinkState::Open);
    }
};

QTEST_GUILESS_MAIN(tst_PlayerLinks)
#include "tst_player_links.moc"
