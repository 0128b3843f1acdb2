// SPDX-License-Identifier: MIT
#include "link/port_events.h"

#include <QTest>

using rotavex::LinkSeen;
using rotavex::PlayerRpm;

namespace
{

constexpr int kTickMs = 2000;
constexpr int kFrameEveryMs = 100;
constexpr int kNever = -1;

// Runs a link on player 2 in whole milliseconds: frames at 50, 150, 250 ... ms while t <
// stopMs, watchdog ticks at every multiple of 2000 ms. Returns the times at which a tick left
// the player's sample at 0; after every tick the sample is overwritten with a stale value, as
// the filter's write-back would, so each later zeroing shows.
QList<int> zeroingTicks(const QByteArray &frame, int stopMs, int untilMs)
{
    comm::PacketState state;
    PlayerRpm rpm;
    rpm[2] = 4321;
    LinkSeen seen;
    QList<int> zeroed;
    for (int t = 0; t <= untilMs; ++t) {
        if (t % kFrameEveryMs == kFrameEveryMs / 2 && t < stopMs) {
            port_events::OnComm(state, frame, 2, rpm, seen);
        }
        if (t > 0 && t % kTickMs == 0) {
            port_events::WatchdogTick(seen, rpm);
            if (rpm[2] == 0) {
                zeroed.append(t);
            }
            rpm[2] = 4321;
        }
    }
    return zeroed;
}

QList<int> ticksFrom(int firstMs, int untilMs)
{
    QList<int> ticks;
    for (int t = firstMs; t <= untilMs; t += kTickMs) {
        ticks.append(t);
    }
    return ticks;
}

} // namespace

class TestPortEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onComm_data();
    void onComm();
    void watchdogStepFunction_data();
    void watchdogStepFunction();
    void noPortOpenKeepsEveryFlagArmed();
    void oneFramePerWindowKeepsLinkAlive();
};

void TestPortEvents::onComm_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qint32>("before");
    QTest::addColumn<qint32>("after");

    QTest::newRow("usable frame stores rpm") << comm::encodeFrame(1000) << 3000 << 7500;
    QTest::newRow("rejected frame keeps previous") << comm::encodeFrame(7501) << 3000 << 3000;
    QTest::newRow("half frame keeps previous") << QByteArray("<\x03") << 3000 << 3000;
    QTest::newRow("garbage keeps previous") << QByteArray("abc") << 3000 << 3000;
    QTest::newRow("empty event stores zero") << QByteArray() << 3000 << 0;
    QTest::newRow("count zero stores zero") << comm::encodeFrame(0) << 3000 << 0;
}

void TestPortEvents::onComm()
{
    QFETCH(QByteArray, input);
    QFETCH(qint32, before);
    QFETCH(qint32, after);

    comm::PacketState state;
    PlayerRpm rpm(std::array<qint32, 4> { 11, before, 33, 44 });
    LinkSeen seen;
    port_events::OnComm(state, input, 2, rpm, seen);
    QCOMPARE(rpm, PlayerRpm(std::array<qint32, 4> { 11, after, 33, 44 }));
}

void TestPortEvents::watchdogStepFunction_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("stopMs");
    QTest::addColumn<int>("firstZeroMs");

    // Silence starting just before a tick is caught after a little over 2 s, silence starting
    // just after one after nearly 4 s.
    QTest::newRow("frames never stop") << comm::encodeFrame(1000) << 20001 << kNever;
    QTest::newRow("last frame 50 ms before a tick") << comm::encodeFrame(1000) << 6000 << 8000;
    QTest::newRow("last frame 50 ms after a tick") << comm::encodeFrame(1000) << 6100 << 10000;
    QTest::newRow("no frame at all") << comm::encodeFrame(1000) << 0 << 4000;
    // A device turning slower than 1000 rpm sends only rejected frames: it must drop to 0 as a
    // silent one does, not keep showing its last speed.
    QTest::newRow("only rejected frames read 0 after two ticks")
        << comm::encodeFrame(7501) << 20001 << 4000;
    QTest::newRow("a rejected frame after each good one changes nothing")
        << comm::encodeFrame(1000) + comm::encodeFrame(7501) << 20001 << kNever;
    QTest::newRow("a good frame after each rejected one changes nothing")
        << comm::encodeFrame(7501) + comm::encodeFrame(1000) << 20001 << kNever;
}

void TestPortEvents::watchdogStepFunction()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, stopMs);
    QFETCH(int, firstZeroMs);

    constexpr int kUntilMs = 20000;
    const QList<int> expected =
        firstZeroMs == kNever ? QList<int>() : ticksFrom(firstZeroMs, kUntilMs);
    QCOMPARE(zeroingTicks(frame, stopMs, kUntilMs), expected);
}

void TestPortEvents::noPortOpenKeepsEveryFlagArmed()
{
    PlayerRpm rpm;
    LinkSeen seen;
    LinkSeen allArmed;
    allArmed.fill(-1);
    for (int tick = 1; tick <= 3; ++tick) {
        port_events::WatchdogTick(seen, rpm);
        QCOMPARE(seen, allArmed);
        QCOMPARE(rpm, PlayerRpm());
    }
}

// One completed frame between two ticks is all the watchdog asks for; the first tick after
// the last frame only arms, the second zeroes.
void TestPortEvents::oneFramePerWindowKeepsLinkAlive()
{
    comm::PacketState state;
    PlayerRpm rpm;
    LinkSeen seen;
    for (int window = 0; window < 10; ++window) {
        port_events::OnComm(state, comm::encodeFrame(1000), 4, rpm, seen);
        port_events::WatchdogTick(seen, rpm);
        QCOMPARE(rpm[4], 7500);
        QCOMPARE(seen[4], qint16(-1));
    }
    port_events::WatchdogTick(seen, rpm);
    QCOMPARE(rpm[4], 0);
}

QTEST_GUILESS_MAIN(TestPortEvents)
#include "tst_port_events.moc"
