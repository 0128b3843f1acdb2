// SPDX-License-Identifier: MIT
#include "game/game_clock.h"

#include <QTest>
#include <QTimer>

using game::PlayMode;

namespace
{

// A real session on the clock, with a monotonic time the test sets by hand and device 1
// spinning a steady 6000 rpm.
struct Rig {
    game::GameSession session;
    qint64 nowMs = 5'000'000;
    port_events::LatestSamples latest;
    game::GameClock clock { session, [this] { return latest; }, nullptr, [this] { return nowMs; } };
    QList<results::GameRecord> records;

    Rig()
    {
        QObject::connect(&session, &game::GameSession::ended,
            [this](const results::GameRecord &record) { records.append(record); });
        session.setLink(1, true, 1);
        latest.rpm[1] = 6000;
        latest.stored[1] = 1;
    }
    QTimer *timer(const char *name) { return clock.findChild<QTimer *>(QLatin1String(name)); }
    // One second goes by; a stalled event loop delivers neither timer's tick in it.
    void second(bool stalled)
    {
        nowMs += 1000;
        for (const char *name : { "tmrStrenght", "tmrRefresh" }) {
            if (!stalled && timer(name)->isActive()) {
                QMetaObject::invokeMethod(timer(name), "timeout", Qt::DirectConnection);
            }
        }
    }
};

} // namespace

class tst_GameClock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondsPlayed_data()
    {
        QTest::addColumn<PlayMode>("mode");
        QTest::addColumn<QList<int>>("stalled"); // seconds whose ticks never arrive
        QTest::addColumn<int>("endsAt"); // the second the game is seen to end
        QTest::newRow("Strength, on time") << PlayMode::Strength << QList<int> {} << 30;
        QTest::newRow("Strength, a stalled second")
            << PlayMode::Strength << QList<int> { 12 } << 30;
        QTest::newRow("Strength, stalled over its end")
            << PlayMode::Strength << QList<int> { 29, 30 } << 31;
        QTest::newRow("Speed limit, a stalled second")
            << PlayMode::Speed << QList<int> { 12 } << 30;
    }
    // A 30-s game is 30 seconds of play and is recorded as 30 s, stalls or not.
    void secondsPlayed()
    {
        QFETCH(PlayMode, mode);
        QFETCH(QList<int>, stalled);
        Rig rig;
        rig.clock.choose(mode, 30);
        rig.clock.setTimeLimit(30);
        rig.clock.start();
        int second = 0;
        while (second < 40 && rig.session.snapshot().running) {
            rig.second(stalled.contains(++second));
        }
        QTEST(second, "endsAt");
        QVERIFY(!rig.timer("tmrRefresh")->isActive() && !rig.timer("tmrStrenght")->isActive());
        QCOMPARE(rig.records.size(), 1);
        QCOMPARE(rig.records.first().ticks, 30);
        QVERIFY(rig.records.first().complete);
        QCOMPARE(rig.records.first().ending,
            mode == PlayMode::Speed ? results::Ending::TimeUp : results::Ending::RanOut);
    }

    void commands_data()
    {
        QTest::addColumn<QString>("before"); // speed, strength, strength stopped
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("running");
        QTest::addColumn<PlayMode>("mode");
        QTest::addColumn<int>("countdown");
        QTest::newRow("Start while playing keeps the game")
            << "strength"
            << "start" << true << PlayMode::Strength << 88;
        QTest::newRow("Stop while playing") << "speed"
                                            << "stop" << false << PlayMode::Speed << 90;
        QTest::newRow("choose while playing: the mode waits, the preset shows")
            << "speed"
            << "choose" << true << PlayMode::Speed << 30;
        QTest::newRow("Start after a Strength stop goes on")
            << "strength stopped"
            << "start" << true << PlayMode::Strength << 88;
        QTest::newRow("choose after a Strength stop, then Start: a new game")
            << "strength stopped"
            << "choose" << true << PlayMode::Strength << 30;
    }
    void commands()
    {
        QFETCH(QString, before);
        QFETCH(QString, command);
        Rig rig;
        rig.clock.choose(before == QLatin1String("speed") ? PlayMode::Speed : PlayMode::Strength);
        rig.clock.start();
        rig.second(false);
        rig.second(false);
        if (before.endsWith(QLatin1String("stopped"))) {
            rig.clock.stop();
        }
        if (command == QLatin1String("start")) {
            rig.clock.start();
        } else if (command == QLatin1String("stop")) {
            rig.clock.stop();
        } else {
            rig.clock.choose(PlayMode::Strength, 30);
            if (!rig.session.snapshot().running) {
                rig.clock.start();
            }
        }
        const game::Snapshot &shown = rig.session.snapshot();
        QTEST(shown.running, "running");
        QTEST(shown.mode, "mode");
        QTEST(shown.countdownSeconds, "countdown");
        QCOMPARE(rig.timer("tmrRefresh")->isActive(), shown.running);
        QCOMPARE(rig.timer("tmrStrenght")->isActive(),
            shown.running && shown.mode == PlayMode::Strength);
    }

    void countIn_data()
    {
        QTest::addColumn<QString>("how"); // board, heat
        QTest::addColumn<bool>("boardCountsIn");
        QTest::addColumn<bool>("heatsCountIn");
        QTest::addColumn<qint64>("heardLateMs"); // the first tone heard this much later
        QTest::addColumn<qint64>("stopAtMs"); // -1: not stopped
        QTest::addColumn<QList<int>>("shown"); // the count-in's numbers as they changed
        QTest::addColumn<qint64>("goMs"); // -1: never goes
        QTest::newRow("board's Start by default: at once")
            << "board" << false << true << qint64(0) << qint64(-1) << QList<int> {} << qint64(0);
        QTest::newRow("heat: 3, 2, 1, go at three seconds")
            << "heat" << false << true << qint64(0) << qint64(-1) << QList<int> { 3, 2, 1, 0 }
            << qint64(3000);
        QTest::newRow("heat with heats set to start at once")
            << "heat" << false << false << qint64(0) << qint64(-1) << QList<int> {} << qint64(0);
        QTest::newRow("board's Start with the count-in set for it")
            << "board" << true << true << qint64(0) << qint64(-1) << QList<int> { 3, 2, 1, 0 }
            << qint64(3000);
        QTest::newRow("the sound heard 250 ms late: go moves with it")
            << "heat" << false << true << qint64(250) << qint64(-1) << QList<int> { 3, 2, 1, 0 }
            << qint64(3250);
        QTest::newRow("a late report beyond a second is not followed")
            << "heat" << false << true << qint64(1500) << qint64(-1) << QList<int> { 3, 2, 1, 0 }
            << qint64(3000);
        QTest::newRow("stopped during the count-in: no game")
            << "heat" << false << true << qint64(0) << qint64(1500) << QList<int> { 3, 2, 0 }
            << qint64(-1);
    }
    // The count-in keeps the game stopped until go; a game's seconds count from go, so a
    // count-in stopped part-way leaves nothing to record.
    void countIn()
    {
        QFETCH(QString, how);
        QFETCH(bool, boardCountsIn);
        QFETCH(bool, heatsCountIn);
        QFETCH(qint64, heardLateMs);
        QFETCH(qint64, stopAtMs);
        Rig rig;
        rig.clock.setCountIn(boardCountsIn, heatsCountIn);
        rig.clock.choose(PlayMode::Strength, 30);
        QList<int> shown;
        QObject::connect(&rig.session, &game::GameSession::updated, [&](const game::Snapshot &s) {
            if (shown.value(shown.size() - 1, 0) != s.countIn) {
                shown.append(s.countIn);
            }
        });
        const qint64 fromMs = rig.nowMs;
        if (how == QLatin1String("heat")) {
            rig.clock.startHeat();
        } else {
            rig.clock.start();
        }
        if (heardLateMs > 0) {
            rig.clock.alignCountIn(fromMs + heardLateMs);
        }
        // Time goes on in 50-ms steps; the count-in's timer is fired at every step, early as
        // well as late, and the game's own timers not at all.
        qint64 goMs = rig.session.snapshot().running ? 0 : -1;
        while (goMs < 0 && rig.nowMs - fromMs < 6000) {
            rig.nowMs += 50;
            if (rig.nowMs - fromMs == stopAtMs) {
                rig.clock.stop();
            }
            if (rig.timer("tmrCountIn")->isActive()) {
                QMetaObject::invokeMethod(rig.timer("tmrCountIn"), "timeout", Qt::DirectConnection);
            }
            if (rig.session.snapshot().running) {
                goMs = rig.nowMs - fromMs;
            }
            QVERIFY(rig.session.snapshot().running || !rig.timer("tmrRefresh")->isActive());
        }
        QTEST(shown, "shown");
        QTEST(goMs, "goMs");
        if (goMs < 0) {
            QVERIFY(!rig.clock.countingIn());
            QVERIFY(rig.records.isEmpty());
            return;
        }
        // 30 seconds of play from go, caught up from the go as planned.
        for (int second = 0; second < 40 && rig.session.snapshot().running; ++second) {
            rig.second(false);
        }
        QCOMPARE(rig.records.size(), 1);
        QCOMPARE(rig.records.first().ticks, 30);
    }
};

QTEST_GUILESS_MAIN(tst_GameClock)
#include "tst_game_clock.moc"
