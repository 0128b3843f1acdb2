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

namespace
{

// What the device or the program does next, and what the samples say afterwards.
struct Step {
    enum class Kind {
        Send, ///< the device sends `bytes`; they have reached the link when the next step runs
        Paced, ///< the event loop runs until the links' own pace has read what waits
        Silence, ///< the event loop runs for a while with the device silent
        Tick, ///< the game's refresh reads the samples
        Watchdog, ///< the watchdog's check
    };
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
        QTest::newRow("frame read at the pace, then a tick")
            << QList<Step> { send(kFrame7500), paced(), tick(7500, true) };
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

        for (qsizetype i = 0; i < steps.size(); ++i) {
            const Step &step = steps[i];
            const QByteArray where = "step " + QByteArray::number(i + 1);
            switch (step.kind) {
            case Step::Kind::Send:
                QVERIFY2(device.write(step.bytes), where.constData());
                // Arrived, and nothing has turned the event loop since: only the reader of
                // the next step can take it in.
                QVERIFY2(device.waitUnread(step.bytes.size()), where.constData());
                break;
            case Step::Kind::Paced: {
                const qsizetype before = reads.count();
                QTRY_VERIFY2_WITH_TIMEOUT(reads.count() > before, where.constData(), 10'000);
                break;
            }
            case Step::Kind::Silence:
                QTest::qWait(int(PlayerLinks::kReadPace.count() * 4));
                break;
            case Step::Kind::Tick: {
                const port_events::LatestSamples latest = m_links->latestSamples();
                QVERIFY2(latest.rpm[1] == step.rpm,
                    (where + ": rpm " + QByteArray::number(latest.rpm[1])).constData());
                QVERIFY2((latest.stored[1] != stored) == step.fresh, where.constData());
                stored = latest.stored[1];
                break;
            }
            case Step::Kind::Watchdog:
                m_links->watchdogTick();
                QVERIFY2(m_links->playerRpm()[1] == step.rpm,
                    (where + ": rpm " + QByteArray::number(m_links->playerRpm()[1])).constData());
                break;
            }
        }
    }

    void pacedReadKeepsEveryByteInOrder_data()
    {
        QTest::addColumn<int>("chunks");
        QTest::addColumn<int>("chunkBytes");

        QTest::newRow("one byte") << 1 << 1;
        QTest::newRow("one frame in single bytes") << 4 << 1;
        QTest::newRow("many small chunks") << 50 << 7;
        QTest::newRow("more than the device side holds at once") << 3 << 3000;
    }

    // The serial layer notices an arrival by taking its first byte; the rest is read straight
    // from the device. Whatever the split, the bytes come out whole and in order, and only
    // when the owner asks.
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
        QSignalSpy events(&control, &SerialControl::OnComm);
        QByteArray received;
        connect(&control, &SerialControl::OnComm, this,
            [&control, &received] { received += control.input(); });

        QByteArray sent;
        for (int c = 0; c < chunks; ++c) {
            QByteArray chunk;
            for (int b = 0; b < chunkBytes; ++b) {
                chunk += char((c * 31 + b) % 251);
            }
            sent += chunk;
            QVERIFY(device.write(chunk));
            // Give the serial layer its chance to notice between chunks.
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!waiting.isEmpty(), 10'000);
        QCOMPARE(events.count(), 0); // nothing is handed over until the owner asks
        // A large write reaches the device side in parts, so one call may not see it all.
        QTRY_VERIFY_WITH_TIMEOUT((control.takeIn(), received.size() >= sent.size()), 10'000);
        QCOMPARE(received, sent);
        QVERIFY(!control.takeIn()); // nothing more: listening again
        QVERIFY(device.write(kFrame7500));
        QTRY_VERIFY_WITH_TIMEOUT(waiting.count() >= 2, 10'000);
        QVERIFY(control.takeIn());
        QCOMPARE(received, sent + kFrame7500);
    }

private:
    std::unique_ptr<TempRuntimeDir> m_runtime;
    std::unique_ptr<PlayerLinks> m_links;
};

QTEST_GUILESS_MAIN(tst_LinkBatching)
#include "tst_link_batching.moc"
