// SPDX-License-Identifier: MIT
// Links read at their own pace on real pseudo-terminals: whatever reached a link before a
// refresh tick or a watchdog check counts in it, a frame cut across reads is put together, a
// device that went silent is heard again when it speaks, and no byte is lost or reordered.
#include "link/comm.h"
#include "link/player_links.h"
#include "link/serial_control.h"
#include "support/pty_pair.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

namespace
{

// What the device or the program does next (Send: the bytes reach the link; Paced: the event
// loop runs until the links' pace has read; Silence: it runs with the device silent; Tick: the
// game's refresh; Watchdog: the watchdog's check), and what the samples say afterwards.
struct Step {
    enum class Kind { Send, Paced, Silence, Tick, Watchdog };
    Kind kind = Kind::Tick;
    QByteArray bytes;
    qint32 rpm = 0; ///< Tick, Watchdog: player 1's sample afterwards
    bool fresh = false; ///< Tick: something was stored since the previous Tick
};

Step send(const QByteArray &bytes) { return { Step::Kind::Send, bytes, 0, false }; }
Step paced() { return { Step::Kind::Paced, {}, 0, false }; }
Step silence() { return { Step::Kind::Silence, {}, 0, false }; }
Step tick(qint32 rpm, bool fresh) { return { Step::Kind::Tick, {}, rpm, fresh }; }
Step watchdog(qint32 rpm) { return { Step::Kind::Watchdog, {}, rpm, false }; }

const QByteArray kFrame7500 = comm::encodeFrame(1000);
const QByteArray kFrame3000 = comm::encodeFrame(2500);

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class tst_LinkBatching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_runtime = std::make_unique<TempRuntimeDir>();
        m_links = std::make_unique<PlayerLinks>();
        // The watchdog's own timer stays out of the way; the steps call its check.
        m_links->findChild<QTimer *>(QStringLiteral("tmrTimeout"))->stop();
    }

    void cleanup()
    {
        m_links.reset();
        m_runtime.reset();
    }

    void framesCountWhereTheyArrived_data()
    {
        QTest::addColumn<QList<Step>>("steps");

        QTest::newRow("frame just before a tick")
            << QList<Step> { send(kFrame7500), tick(7500, true) };
        QTest::newRow("two frames before a tick: the later one counts")
            << QList<Step> { send(kFrame7500 + kFrame3000), tick(3000, true) };
        QTest::newRow("nothing new: the next tick keeps the sample")
            << QList<Step> { send(kFrame7500), tick(7500, true), tick(7500, false) };
        QTest::newRow("frame split across reads, a tick between its halves")
            << QList<Step> { send(kFrame7500.first(2)), tick(0, false), send(kFrame7500.sliced(2)),
                   tick(7500, true) };
        QTest::newRow("frame split across reads, both halves before the tick")
            << QList<Step> { send(kFrame7500.first(2)), paced(), send(kFrame7500.sliced(2)),
                   tick(7500, true) };
        QTest::newRow("frame split across reads, one byte at a time")
            << QList<Step> { send(kFrame3000.first(1)), paced(), send(kFrame3000.sliced(1, 1)),
                   tick(0, false), send(kFrame3000.sliced(2, 1)), paced(),
                   send(kFrame3000.sliced(3)), tick(3000, true) };
        QTest::newRow("frame just before a watchdog check keeps the link alive")
            << QList<Step> { send(kFrame7500), tick(7500, true), watchdog(7500), send(kFrame3000),
                   watchdog(3000), tick(3000, true) };
        QTest::newRow("frame cut by a watchdog check completes after it")
            << QList<Step> { send(kFrame7500), watchdog(7500), send(kFrame3000.first(3)),
                   watchdog(0), send(kFrame3000.sliced(3)), watchdog(3000), tick(3000, true) };
        QTest::newRow("device goes silent: two checks zero it") << QList<Step> { send(kFrame7500),
            paced(), watchdog(7500), silence(), watchdog(0), tick(0, true) };
        QTest::newRow("device silent, then speaks again") << QList<Step> { send(kFrame7500),
            paced(), tick(7500, true), silence(), send(kFrame3000), paced(), tick(3000, true) };
    }

    void framesCountWhereTheyArrived()
    {
        QFETCH(QList<Step>, steps);
        PtyPair device;
        QVERIFY(device.isValid() && device.exposeAs(m_runtime->portDir(), 1));
        QCOMPARE(m_links->open(1, 1), std::nullopt);
        QSignalSpy reads(m_links->control(1), &SerialControl::OnComm);
        quint32 stored = m_links->latestSamples().stored[1];

        for (const Step &step : steps) {
            switch (step.kind) {
            case Step::Kind::Send:
                // Arrived, and nothing has turned the event loop since: only the reader of the
                // next step can take it in.
                QVERIFY(device.write(step.bytes) && device.waitUnread(step.bytes.size()));
                break;
            case Step::Kind::Paced: {
                const qsizetype before = reads.count();
                QTRY_VERIFY_WITH_TIMEOUT(reads.count() > before, 10'000);
                break;
            }
            case Step::Kind::Silence:
                QTest::qWait(int(PlayerLinks::kReadPace.count() * 4));
                break;
            case Step::Kind::Tick: {
                const port_events::LatestSamples latest = m_links->latestSamples();
                QCOMPARE(latest.rpm[1], step.rpm);
                QCOMPARE(latest.stored[1] != std::exchange(stored, latest.stored[1]), step.fresh);
                break;
            }
            case Step::Kind::Watchdog:
                m_links->watchdogTick();
                QCOMPARE(m_links->playerRpm()[1], step.rpm);
                break;
            }
        }
    }

    void pacedReadKeepsEveryByteInOrder_data()
    {
        QTest::addColumn<int>("chunks");
        QTest::addColumn<int>("chunkBytes");
        QTest::newRow("one byte") << 1 << 1;
        QTest::newRow("many small chunks") << 50 << 7;
        QTest::newRow("more than the device side holds at once") << 3 << 3000;
    }

    // The serial layer notices an arrival by taking its first byte; the rest is read straight
    // from the device. Whatever the split, the bytes come out whole, in order, and only when
    // the owner asks.
    void pacedReadKeepsEveryByteInOrder()
    {
        QFETCH(int, chunks);
        QFETCH(int, chunkBytes);
        PtyPair device;
        QVERIFY(device.isValid() && device.exposeAs(m_runtime->portDir(), 2));
        SerialControl control;
        control.setPaced(true);
        control.setCommPort(2);
        control.setRThreshold(1);
        QCOMPARE(control.setPortOpen(true), std::nullopt);
        QSignalSpy waiting(&control, &SerialControl::bytesWaiting);
        QByteArray sent, received;
        connect(&control, &SerialControl::OnComm, this, [&] { received += control.input(); });
        for (int c = 0; c < chunks; ++c) {
            sent += QByteArray(chunkBytes, char(c * 37 + 1));
            QVERIFY(device.write(sent.last(chunkBytes)));
            QCoreApplication::processEvents(); // the serial layer's chance to notice
        }
        QTRY_VERIFY_WITH_TIMEOUT(!waiting.isEmpty(), 10'000);
        QVERIFY(received.isEmpty());
        // A large write reaches the device side in parts, so one call may not see it all.
        QTRY_VERIFY_WITH_TIMEOUT((control.takeIn(), received.size() >= sent.size()), 10'000);
        QCOMPARE(received, sent);
    }

private:
    std::unique_ptr<TempRuntimeDir> m_runtime;
    std::unique_ptr<PlayerLinks> m_links;
};

QTEST_GUILESS_MAIN(tst_LinkBatching)
#include "tst_link_batching.moc"
