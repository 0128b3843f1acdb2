// SPDX-License-Identifier: MIT
#include "competition/competition_store.h"

#include "competition/heat_game.h"
#include "competition/standings.h"
#include "results/results_store.h"

#include "../results/game_fixtures.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace competition;

namespace
{

QVariant rawValue(const QString &path, const QString &sql)
{
    QVariant value;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next()) {
                value = query.value(0);
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    return value;
}

// Plays the next heat (or redoes the last) as a recorded Strength game; the device in
// `closed` had no open link at the start.
void play(Competition &c, results::ResultsStore &games, bool redo, int closed = 0)
{
    const int heat = redo ? PlayedHeats(c) - 1 : *NextHeat(c);
    QList<fixtures::Player> players;
    for (const PlayerId id : c.heats[heat].seats) {
        players.append({ QStringLiteral("P%1").arg(id), 6000 + id, 100.0 * id + (redo ? 1 : 0) });
    }
    results::GameRecord game = fixtures::Strength(fixtures::At(1, 20), 30, players);
    games.addGame(game);
    OpenLinks open { true, true, true, true };
    if (closed > 0) {
        open[std::size_t(closed - 1)] = false;
    }
    QVERIFY(RecordAttempt(c, SeatResults(c.heats[heat], game, open), game.id, redo));
}

} // namespace

class tst_CompetitionStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resumesAfterRestart();
    void olderFileGetsTheTables();
    void deletedGameKeepsTheHeatResult();
    void closedCompetitionIsNotResumed();
    void unusableFileKeepsTheEveningInMemory();
    void seatsFromTheGame_data();
    void seatsFromTheGame();
};

void tst_CompetitionStore::resumesAfterRestart()
{
    QTemporaryDir dir;
    Competition expected;
    {
        results::ResultsStore games(dir.path());
        CompetitionStore store(games.filePath());
        QVERIFY(store.isSaved());
        expected.settings =
            Settings { QStringLiteral("Friday \"Spin\" night"), PlayMode::Strength, 90, 3 };
        AddPlayers(expected, { "Ann", "Bob", "Cem", "Dai", "Eve", "Fay", "Gus", "Hal", "Ida" });
        QVERIFY(store.save(expected));
        QVERIFY(expected.id > 0);
        play(expected, games, false);
        QVERIFY(store.save(expected));
        play(expected, games, false, 2);
        play(expected, games, true);
        AddPlayers(expected, { QStringLiteral("Late") });
        RetirePlayer(expected, 9);
        RenamePlayer(expected, 1, QStringLiteral("Annabel"));
        QVERIFY(store.save(expected));
    }
    results::ResultsStore games(dir.path());
    CompetitionStore store(games.filePath());
    QCOMPARE(store.openCompetition(), std::optional<qint64>(expected.id));
    const std::optional<Competition> resumed = store.load(expected.id);
    QVERIFY(resumed);
    QCOMPARE(resumed->settings, expected.settings);
    QCOMPARE(resumed->players, expected.players);
    QCOMPARE(resumed->heats, expected.heats);
    QCOMPARE(resumed->attempts, expected.attempts);
    QCOMPARE(NextHeat(*resumed), std::optional<int>(2));
    QCOMPARE(Standings(*resumed), Standings(expected));
    // Every heat's game is an ordinary recorded game.
    QCOMPARE(games.gameCount(), 3);
}

void tst_CompetitionStore::olderFileGetsTheTables()
{
    QTemporaryDir dir;
    QString path;
    {
        results::ResultsStore games(dir.path());
        path = games.filePath();
        results::GameRecord game = fixtures::Speed(fixtures::At(2, 19), { { "Old", 7000 } });
        games.addGame(game);
    }
    // Make it the file the version before left: no competition tables.
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v2"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const char *table :
            { "competition_results", "competition_heats", "competition_players", "competitions" }) {
            QVERIFY(query.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table))));
        }
        QVERIFY(query.exec(QStringLiteral("PRAGMA user_version = %1")
                               .arg(results::ResultsStore::kSchemaVersion - 1)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v2"));

    results::ResultsStore games(dir.path());
    QCOMPARE(games.takeNotice(), QString());
    QCOMPARE(games.gameCount(), 1);
    QCOMPARE(rawValue(path, QStringLiteral("PRAGMA user_version")).toInt(),
        results::ResultsStore::kSchemaVersion);
    CompetitionStore store(path);
    QVERIFY(store.isSaved());
    Competition c;
    AddPlayers(c, { QStringLiteral("New") });
    QVERIFY(store.save(c));
    QCOMPARE(rawValue(path, QStringLiteral("SELECT count(*) FROM competition_players")).toInt(), 1);
}

void tst_CompetitionStore::deletedGameKeepsTheHeatResult()
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(games.filePath());
    Competition c;
    AddPlayers(c, { "Ann", "Bob" });
    play(c, games, false);
    QVERIFY(store.save(c));
    QVERIFY(games.removeAll());
    const std::optional<Competition> loaded = store.load(c.id);
    QVERIFY(loaded);
    QCOMPARE(loaded->attempts, c.attempts);
}

void tst_CompetitionStore::closedCompetitionIsNotResumed()
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(games.filePath());
    Competition first;
    Competition second;
    AddPlayers(first, { "Ann" });
    AddPlayers(second, { "Bob" });
    QVERIFY(store.save(first));
    QVERIFY(store.save(second));
    QCOMPARE(store.openCompetition(), std::optional<qint64>(second.id));
    QVERIFY(store.close(second.id));
    QCOMPARE(store.openCompetition(), std::optional<qint64>(first.id));
    QVERIFY(store.close(first.id));
    QCOMPARE(store.openCompetition(), std::nullopt);
    QVERIFY(store.load(first.id)); // kept with its results
}

void tst_CompetitionStore::unusableFileKeepsTheEveningInMemory()
{
    QTemporaryDir dir;
    CompetitionStore store(dir.filePath(QStringLiteral("missing/results.sqlite")));
    QVERIFY(!store.isSaved());
    Competition c;
    AddPlayers(c, { "Ann", "Bob", "Cem" });
    QVERIFY(store.save(c));
    QCOMPARE(store.load(c.id)->players, c.players);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

void tst_CompetitionStore::seatsFromTheGame_data()
{
    QTest::addColumn<QList<bool>>("open");
    QTest::addColumn<int>("inGame");
    QTest::addColumn<QList<bool>>("absent");
    QTest::newRow("all there") << QList<bool> { true, true, true } << 3
                               << QList<bool> { false, false, false };
    QTest::newRow("link closed at the start is absent, not zero")
        << QList<bool> { true, false, true } << 3 << QList<bool> { false, true, false };
    QTest::newRow("open link but missing from the game is absent")
        << QList<bool> { true, true, true } << 2 << QList<bool> { false, false, true };
}

void tst_CompetitionStore::seatsFromTheGame()
{
    QFETCH(QList<bool>, open);
    QFETCH(int, inGame);
    QFETCH(QList<bool>, absent);
    Heat heat;
    heat.seats = { 11, 12, 13, kNoPlayer };
    QList<fixtures::Player> players;
    for (int i = 0; i < inGame; ++i) {
        players.append({ QStringLiteral("x"), 7000 + i, 50.5 + i });
    }
    const results::GameRecord game = fixtures::Strength(fixtures::At(1, 20), 30, players);
    const QList<SeatResult> seats =
        SeatResults(heat, game, OpenLinks { open[0], open[1], open[2], true });
    QCOMPARE(seats.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(seats[i].player, 11 + i);
        QCOMPARE(seats[i].device, i + 1);
        QCOMPARE(seats[i].absent, absent[i]);
        QCOMPARE(seats[i].revolutions, absent[i] ? 0.0 : 50.5 + i);
        QCOMPARE(seats[i].bestRpm, absent[i] ? 0 : 7000 + i);
    }
}

QTEST_GUILESS_MAIN(tst_CompetitionStore)
#include "tst_competition_store.moc"
