// SPDX-License-Identifier: MIT
// A player's device vanishes and comes back, again and again, while a Speed game runs and
// every device streams: each loss closes the link once and un-bolds the name, each return
// reconnects by itself (nobody touches Setup) and delivers, and no descriptor is left behind.
// The CPU share while the link waits and the memory growth are printed as figures, which the
// soak judges. ROTAVEX_VANISH_CYCLES sets the cycles per link (the soak runs 50).
#include "rig.h"

#include "link/comm.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>

using reliability::GameRig;
using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

constexpr int kTestCycles = 2;
// Long enough for a spinning descriptor or a second loss report to show.
constexpr int kQuietMs = 250;

} // namespace

class tst_Vanish : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deviceVanishesAndReturns_data();
    void deviceVanishesAndReturns();
};

void tst_Vanish::deviceVanishesAndReturns_data()
{
    QTest::addColumn<PlayerSlot>("player");
    QTest::newRow("player 1's device") << PlayerSlot(1);
    QTest::newRow("player 2's device") << PlayerSlot(2);
    QTest::newRow("player 3's device") << PlayerSlot(3);
    QTest::newRow("player 4's device") << PlayerSlot(4);
}

void tst_Vanish::deviceVanishesAndReturns()
{
    QFETCH(PlayerSlot, player);
    const int cycles = reliability::envInt("ROTAVEX_VANISH_CYCLES", kTestCycles);

    GameRig rig;
    frmMain &window = rig.window();
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        QVERIFY(rig.plugDevice(p));
        QCOMPARE(rig.openLink(p), std::nullopt);
    }
    rig.startGame(0);

    // Every device present streams a frame every 20 ms, from the test's own thread so that a
    // vanish never races a write.
    rotavex::PerPlayer<int> counts { { 1250, 1000, 750, 500 } };
    rotavex::PerPlayer<bool> present { { true, true, true, true } };
    QTimer stream;
    connect(&stream, &QTimer::timeout, this, [&] {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            if (present[p]) {
                rig.device(p).write(comm::encodeFrame(counts[p]));
            }
        }
    });
    stream.start(std::chrono::milliseconds(20));

    // The share of a core the process takes over a quiet wait.
    const auto cpuShareOverQuietWait = [] {
        const double cpuBefore = reliability::cpuSeconds();
        QElapsedTimer quiet;
        quiet.start();
        QTest::qWait(kQuietMs);
        return (reliability::cpuSeconds() - cpuBefore) / (quiet.elapsed() / 1000.0);
    };
    const double usualCpuShare = cpuShareOverQuietWait();

    double worstCpuShare = 0;
    qint64 worstReconnectMs = 0;
    const auto cycle = [&](int count) {
        PlayerLinks &links = window.links();
        QSignalSpy lost(&links, &PlayerLinks::linkLost);
        QSignalSpy reconnected(&links, &PlayerLinks::reconnected);
        present[player] = false;
        rig.device(player).vanish();
        QTRY_COMPARE(lost.count(), 1);
        QCOMPARE(lost.first().first().value<PlayerSlot>(), player);
        QVERIFY(!links.isOpen(player));
        QVERIFY(!window.nameBold(player));

        worstCpuShare = std::max(worstCpuShare, cpuShareOverQuietWait());
        QCOMPARE(lost.count(), 1);

        QVERIFY(rig.plugDevice(player));
        QElapsedTimer returning;
        returning.start();
        QTRY_COMPARE(reconnected.count(), 1);
        worstReconnectMs = std::max(worstReconnectMs, returning.elapsed());
        QCOMPARE(reconnected.first().first().value<PlayerSlot>(), player);
        QVERIFY(window.nameBold(player));
        counts[player] = count;
        present[player] = true;
        QTRY_COMPARE(links.playerRpm()[player], comm::CountToRpm(count));
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            QVERIFY(links.isOpen(p));
        }
    };

    // One round first, so that what a first loss and reopen allocate once is not counted.
    cycle(900);
    if (QTest::currentTestFailed()) {
        return;
    }
    const int fdBefore = reliability::openFdCount();
    const qint64 rssBeforeKib = reliability::statusKib("VmRSS");
    for (int i = 0; i < cycles; ++i) {
        // A different speed each time, so a stale reading cannot pass for fresh data.
        cycle(400 + 50 * (i % 100));
        if (QTest::currentTestFailed()) {
            return;
        }
    }
    const int fdAfter = reliability::openFdCount();
    const qint64 rssAfterKib = reliability::statusKib("VmRSS");
    qInfo("FIGURES vanish player=%d cycles=%d fds_before=%d fds_after=%d rss_before_kib=%lld "
          "rss_after_kib=%lld cpu_share_before=%.3f worst_cpu_share_after_loss=%.3f "
          "worst_reconnect_ms=%lld",
        player, cycles, fdBefore, fdAfter, rssBeforeKib, rssAfterKib, usualCpuShare, worstCpuShare,
        worstReconnectMs);
    QCOMPARE(fdAfter, fdBefore);
    QVERIFY(rig.refreshTimer()->isActive());
}

QTEST_MAIN(tst_Vanish)
#include "tst_vanish.moc"
