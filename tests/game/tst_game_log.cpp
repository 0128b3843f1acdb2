// SPDX-License-Identifier: MIT
#include "game/game_log.h"

#include <QTest>
#include <QTimeZone>

using namespace game;
using results::GameRecord;
using results::PlayerResult;
using rotavex::PerPlayer;
using rotavex::PlayerRpm;
using rotavex::PlayMode;

namespace
{

const GameStart kStrength60 { QDateTime(QDate(2026, 11, 8), QTime(20, 0), QTimeZone(3600)),
    PlayMode::Strength, 60 };
const rotavex::PlayerName kNames(std::array<QString, 4> { "Ann", "Bob", "Cy", "Di" });
const PerPlayer<QString> kPorts(std::array<QString, 4> { "ttyS1", "ttyS2", "ttyS3", "ttyS4" });

} // namespace

class tst_GameLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strengthGameFromTheRealUpdate();
    void whoGetsAResult_data();
    void whoGetsAResult();
    void onlyAcceptedTicksCount();
};

void tst_GameLog::strengthGameFromTheRealUpdate()
{
    speed_mode::MeasurementState state;
    PlayerRpm rpm;
    speed_mode::UpdateStrengthMode(state, rpm, true);
    GameLog log;
    log.begin(kStrength60, PerPlayer<bool>(std::array { true, true, false, false }));
    const QList<std::array<qint32, 4>> ticks { { 3000, 1200, 0, 0 }, { 3000, 1200, 0, 0 },
        { 3300, 1300, 0, 0 }, { 3300, 1300, 0, 0 } };
    for (const auto &samples : ticks) {
        rpm = PlayerRpm(samples);
        if (speed_mode::UpdateStrengthMode(state, rpm, false)) {
            log.acceptedTick(rpm);
        }
    }
    const std::optional<GameRecord> game = log.finish(true, kNames, kPorts, state);
    QVERIFY(game);
    QVERIFY(!log.isRunning());
    QCOMPARE(game->ticks, 4);
    QCOMPARE(game->presetSeconds, 60);
    QVERIFY(game->complete);
    QCOMPARE(game->players.size(), 2);
    const PlayerResult &ann = game->players[0];
    QCOMPARE(ann.name, QStringLiteral("Ann"));
    QCOMPARE(ann.port, QStringLiteral("ttyS1"));
    // The game keeps what the board charted and showed.
    for (int row = 1; row <= 4; ++row) {
        QCOMPARE(ann.samples[row - 1], state.chart.cell(row, 1).value());
        QCOMPARE(game->players[1].samples[row - 1], state.chart.cell(row, 2).value());
    }
    QCOMPARE(ann.bestRpm, 3300);
    QCOMPARE(state.players[1].record, ann.bestRpm);
    QCOMPARE(ann.revolutions, state.RevTotal[1]);
    QCOMPARE(ann.meanRpm, qint32(state.players[1].bar));
    QVERIFY(*ann.meanRpm > 0);
}

void tst_GameLog::whoGetsAResult_data()
{
    QTest::addColumn<QList<bool>>("openAtStart");
    QTest::addColumn<int>("openedDuringGame");
    QTest::addColumn<QList<int>>("players");
    QTest::newRow("links open at the start")
        << QList<bool> { true, false, true, false } << 0 << QList<int> { 1, 3 };
    QTest::newRow("a link opened during the game")
        << QList<bool> { false, false, false, false } << 4 << QList<int> { 4 };
    // Nobody played: nothing to record, no empty line on the board or in the export.
    QTest::newRow("no link at all: not recorded")
        << QList<bool> { false, false, false, false } << 0 << QList<int> {};
}

void tst_GameLog::whoGetsAResult()
{
    QFETCH(QList<bool>, openAtStart);
    QFETCH(int, openedDuringGame);
    QFETCH(QList<int>, players);
    GameLog log;
    log.begin(GameStart { kStrength60.startedAt, PlayMode::Speed, std::nullopt },
        PerPlayer<bool>(
            std::array { openAtStart[0], openAtStart[1], openAtStart[2], openAtStart[3] }));
    log.acceptedTick(PlayerRpm(std::array { 5000, 0, 4000, 7000 }));
    if (openedDuringGame) {
        log.linkOpened(rotavex::PlayerSlot(openedDuringGame));
    }
    log.acceptedTick(PlayerRpm(std::array { 5100, 0, 4100, 7100 }));
    speed_mode::MeasurementState state;
    const std::optional<GameRecord> game = log.finish(true, kNames, kPorts, state);
    QCOMPARE(game.has_value(), !players.isEmpty());
    if (!game) {
        return;
    }
    QList<int> seen;
    for (const PlayerResult &p : game->players) {
        seen.append(p.player);
        QVERIFY(!p.revolutions && !p.meanRpm);
        QCOMPARE(p.samples.size(), 2);
    }
    QCOMPARE(seen, players);
    QVERIFY(!game->presetSeconds);
}

void tst_GameLog::onlyAcceptedTicksCount()
{
    speed_mode::MeasurementState state;
    GameLog log;
    log.acceptedTick(PlayerRpm());
    QVERIFY(!log.finish(true, kNames, kPorts, state));

    log.begin(kStrength60, PerPlayer<bool>(std::array { true, true, true, true }));
    QCOMPARE(log.acceptedTicks(), 0);
    QVERIFY(!log.finish(false, kNames, kPorts, state));

    log.begin(kStrength60, PerPlayer<bool>(std::array { true, false, false, false }));
    log.acceptedTick(PlayerRpm(std::array { 2000, 0, 0, 0 }));
    const std::optional<GameRecord> game = log.finish(false, kNames, kPorts, state);
    QVERIFY(game);
    QCOMPARE(game->ticks, 1);
    QVERIFY(!game->complete);
    QCOMPARE(game->players[0].samples, QList<qint32> { 2000 });
}

QTEST_GUILESS_MAIN(tst_GameLog)
#include "tst_game_log.moc"
