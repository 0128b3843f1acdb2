// SPDX-License-Identifier: MIT
#include "game/game_session.h"
#include "results/game_recorder.h"
#include "results/results_store.h"

#include <QSqlDatabase>
#include <QSqlQuery>
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
    void lockedAcrossTheEndLandsOnceReleased_data();
    void lockedAcrossTheEndLandsOnceReleased();
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

void tst_GameRecorder::lockedAcrossTheEndLandsOnceReleased_data()
{
    QTest::addColumn<int>("freeTicks"); // ticks kept before another program locks the file
    QTest::newRow("locked from the start") << 0;
    QTest::newRow("locked half-way through") << 3;
}

// Another program holds the file's write lock while the game runs and ends: the game waits,
// and once the lock is gone it lands by itself, once, with what was kept of it while it ran
// gone in the same transaction.
void tst_GameRecorder::lockedAcrossTheEndLandsOnceReleased()
{
    QFETCH(int, freeTicks);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecorder recorder(&store);
    game::GameSession session;
    connect(&session, &game::GameSession::ended, &recorder, &GameRecorder::take);
    connect(&session, &game::GameSession::progressed, &recorder, &GameRecorder::keep);
    session.setLink(1, true, QStringLiteral("ttyS1"));
    session.start(PlayMode::Speed, QDateTime::currentDateTime());
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
    other.setDatabaseName(store.filePath());
    QVERIFY(other.open());
    const auto count = [&other](const char *sql) {
        QSqlQuery query(other);
        return query.exec(QLatin1String(sql)) && query.next() ? query.value(0).toInt() : -1;
    };
    port_events::LatestSamples latest;
    for (int tick = 1; tick <= 6; ++tick) {
        if (tick == freeTicks + 1) {
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        latest.rpm[1] = 4000 + tick;
        ++latest.stored[1];
        session.refreshTick(latest);
    }
    session.stop();
    QCOMPARE(store.pendingGames().size(), 1);
    QVERIFY(!store.isSaved());
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("ROLLBACK")));
    QCOMPARE(count("SELECT count(*) FROM running_games"), freeTicks > 0 ? 1 : 0);
    QTRY_VERIFY_WITH_TIMEOUT(store.isSaved(), 120000);
    QCOMPARE(count("SELECT count(*) FROM games"), 1);
    QCOMPARE(count("SELECT ticks FROM games"), 6);
    QCOMPARE(count("SELECT count(*) FROM running_games"), 0);
    QCOMPARE(count("SELECT count(*) FROM running_ticks"), 0);
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
}

QTEST_GUILESS_MAIN(tst_GameRecorder)
#include "tst_game_recorder.moc"
