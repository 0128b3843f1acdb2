// SPDX-License-Identifier: MIT
#include "results/game_recorder.h"
#include "results/results_store.h"

#include <QTemporaryDir>
#include <QTest>

using namespace results;

namespace
{

GameRecord strengthGame(int ticks, bool complete, bool resumed)
{
    GameRecord game;
    game.startedAt = QDateTime(QDate(2026, 12, 8), QTime(20, 0));
    game.mode = PlayMode::Strength;
    game.presetSeconds = 30;
    game.ticks = ticks;
    game.complete = complete;
    game.resumed = resumed;
    PlayerResult player;
    player.name = QStringLiteral("Ann");
    player.bestRpm = 6000;
    player.revolutions = ticks * 100.0;
    player.meanRpm = 6000;
    player.samples = QList<qint32>(ticks, 6000);
    game.players.append(player);
    return game;
}

} // namespace

class tst_GameRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resumedGameTakesThePlaceOfItsStop_data();
    void resumedGameTakesThePlaceOfItsStop();
};

void tst_GameRecorder::resumedGameTakesThePlaceOfItsStop_data()
{
    QTest::addColumn<QList<int>>("ticks"); // negative: the record of a resumed game
    QTest::addColumn<QList<int>>("history"); // ticks of the games kept, newest first

    QTest::newRow("stopped, then resumed to the end")
        << QList<int> { 10, -30 } << QList<int> { 30 };
    QTest::newRow("stopped and resumed twice") << QList<int> { 5, -12, -30 } << QList<int> { 30 };
    QTest::newRow("two separate games") << QList<int> { 30, 30 } << QList<int> { 30, 30 };
    QTest::newRow("a new game after a resumed one")
        << QList<int> { 10, -30, 20 } << QList<int> { 20, 30 };
}

void tst_GameRecorder::resumedGameTakesThePlaceOfItsStop()
{
    QFETCH(QList<int>, ticks);
    QFETCH(QList<int>, history);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecorder recorder(&store);
    for (const int t : ticks) {
        GameRecord game = strengthGame(std::abs(t), t == 30, t < 0);
        recorder.record(game);
        QVERIFY(game.id > 0);
    }
    QList<int> kept;
    for (const GameSummary &summary : store.recentGames(0, 10)) {
        kept.append(summary.ticks);
        QCOMPARE(store.game(summary.id)->players.size(), 1);
    }
    QCOMPARE(kept, history);
}

QTEST_GUILESS_MAIN(tst_GameRecorder)
#include "tst_game_recorder.moc"
