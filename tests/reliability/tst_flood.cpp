// SPDX-License-Identifier: MIT
// Four links flooded as fast as pseudo-terminals go with frames, spikes and garbage during a
// Speed game. The board must keep refreshing and show only speeds that frames of the right
// link carry, and the links must still deliver afterwards. ROTAVEX_FLOOD_SECONDS runs it for
// that long (the soak); otherwise it lasts three refresh ticks. It prints its figures (bytes
// moved, refresh gaps, memory) either way; the soak judges them.
#include "rig.h"

#include "link/comm.h"
#include "link/player_links.h"
#include "link/serial_control.h"
#include "main_window/frm_main.h"

#include <QElapsedTimer>
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

constexpr int kTestTicks = 3;

} // namespace

class tst_Flood : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void speedGameUnderFlood();
};

void tst_Flood::speedGameUnderFlood()
{
    GameRig rig;
    rotavex::PerPlayer<reliability::FloodPattern> patterns;
    QSet<qint32> anyDecodable;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        QVERIFY(rig.plugDevice(p));
        QCOMPARE(rig.openLink(p), std::nullopt);
        patterns[p] = reliability::floodPattern(p, 17u * quint32(p));
        anyDecodable += patterns[p].decodable;
    }

    // Checked after every refresh, right behind the main window's own handler.
    QStringList faults;
    int ticks = 0;
    qint64 maxGapMs = 0;
    qint64 rssAfterFirstTickKib = 0;
    QElapsedTimer sinceTick;
    connect(rig.refreshTimer(), &QTimer::timeout, this, [&] {
        if (ticks > 0) {
            maxGapMs = std::max(maxGapMs, sinceTick.elapsed());
        } else {
            rssAfterFirstTickKib = reliability::statusKib("VmRSS");
        }
        sinceTick.start();
        ++ticks;
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const QSet<qint32> &ok = patterns[p].decodable;
            const std::optional<qint32> speed = GameRig::rpmInCaption(rig.speedCaption(p));
            const std::optional<qint32> record = GameRig::rpmInCaption(rig.recordCaption(p));
            const double bar = rig.barValue(p);
            if (!speed || !ok.contains(*speed) || !record || !ok.contains(*record) || bar < 0
                || bar > rotavex::kMaxRpm || !ok.contains(qint32(bar))) {
                faults << QStringLiteral("tick %1, player %2: speed \"%3\", record \"%4\", bar %5")
                              .arg(ticks)
                              .arg(p)
                              .arg(rig.speedCaption(p), rig.recordCaption(p))
                              .arg(bar);
            }
        }
        if (!anyDecodable.contains(qint32(rig.bigDisplayValue()))) {
            faults
                << QStringLiteral("tick %1: big display %2").arg(ticks).arg(rig.bigDisplayValue());
        }
    });

    // Every sample a read leaves behind, checked right behind the main window's own handler:
    // a frame mixed from two links or from garbage shows up here long before the board.
    qint64 events = 0;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        connect(rig.window().links().control(p), &SerialControl::OnComm, this, [&, p] {
            ++events;
            for (PlayerSlot q = kFirstPlayer; q <= kLastPlayer; ++q) {
                const qint32 sample = rig.window().links().playerRpm()[q];
                if (sample != -1 && !patterns[q].decodable.contains(sample)
                    && faults.size() < 100) {
                    faults << QStringLiteral("after a read of link %1, player %2 has sample %3")
                                  .arg(p)
                                  .arg(q)
                                  .arg(sample);
                }
            }
        });
    }

    std::vector<reliability::FloodWriter::Stream> streams;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        streams.push_back({ rig.device(p).masterFd(), patterns[p].bytes });
    }
    reliability::FloodWriter writer(std::move(streams));
    rig.startGame(0);

    const int soakSeconds = reliability::envInt("ROTAVEX_FLOOD_SECONDS", 0);
    QElapsedTimer flooding;
    flooding.start();
    if (soakSeconds > 0) {
        QTest::qWait(soakSeconds * 1000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= kTestTicks, 60'000);
    }
    writer.stop();
    const double seconds = flooding.elapsed() / 1000.0;
    const qint64 rssEndKib = reliability::statusKib("VmRSS");

    qInfo("FIGURES flood seconds=%.1f ticks=%d max_tick_gap_ms=%lld bytes_written=%lld "
          "reads=%lld rss_after_first_tick_kib=%lld rss_end_kib=%lld rss_peak_kib=%lld",
        seconds, ticks, maxGapMs, writer.bytesWritten(), events, rssAfterFirstTickKib, rssEndKib,
        reliability::statusKib("VmHWM"));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(u'\n')));
    QVERIFY(ticks >= kTestTicks);
    // The links are still open and still deliver after the flood (the watchdog held, or its
    // tick could mark a link unseen again before the look).
    rig.window()
        .findChild<QTimer *>(QStringLiteral("tmrTimeout"))
        ->setInterval(std::chrono::hours(1));
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        QVERIFY(rig.window().links().isOpen(p));
        rig.window().links().linkSeen()[p] = -1;
        QVERIFY(rig.device(p).write(comm::encodeFrame(1000)));
        QTRY_COMPARE(rig.window().links().linkSeen()[p], qint16(0));
    }
}

QTEST_MAIN(tst_Flood)
#include "tst_flood.moc"
