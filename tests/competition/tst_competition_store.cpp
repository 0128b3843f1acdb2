// SPDX-License-Identifier: MIT
#include "competition/competition_store.h"

#include "competition/heat_game.h"
#include "competition/standings.h"
#include "results/results_store.h"

#include "../results/game_fixtures.h"

#include <QCryptographicHash>
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

// Another program's connection to the file, open until it goes out of scope.
class Other
{
public:
    explicit Other(const QString &path)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        m_db.setDatabaseName(path);
        m_db.open();
    }
    ~Other()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }
    bool exec(const QString &sql) { return QSqlQuery(m_db).exec(sql); }

private:
    QSqlDatabase m_db;
};

QByteArray checksum(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
        : QByteArray();
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
    void lockAtHeatEndKeepsTheResult();
    void fileGoneMidCompetition_data();
    void fileGoneMidCompetition();
    void secondInstanceChangedItFirst();
    void newerFileLeftAsItIs();
    void strayTableOfAFutureName_data();
    void strayTableOfAFutureName();
    void seatsFromTheGame_data();
    void seatsFromTheGame();
};

void tst_CompetitionStore::resumesAfterRestart()
{
    QTemporaryDir dir;
    Competition expected;
    {
        results::ResultsStore games(dir.path());
        CompetitionStore store(&games);
        QVERIFY(store.isSaved());
        expected.settings = Settings { QStringLiteral("Friday \"Spin\" night"), PlayMode::Strength,
            90, 3, RankingRule::Best };
        AddPlayers(expected, { "Ann", "Bob", "Cem", "Dai", "Eve", "Fay", "Gus", "Hal", "Ida" });
        QCOMPARE(store.save(expected), CompetitionStore::Saved::Written);
        QVERIFY(expected.id > 0);
        play(expected, games, false);
        QCOMPARE(store.save(expected), CompetitionStore::Saved::Written);
        play(expected, games, false, 2);
        play(expected, games, true);
        AddPlayers(expected, { QStringLiteral("Late") });
        RetirePlayer(expected, 9);
        RenamePlayer(expected, 1, QStringLiteral("Annabel"));
        QCOMPARE(store.save(expected), CompetitionStore::Saved::Written);
    }
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
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
        // The version before the competitions.
        QVERIFY(query.exec(QStringLiteral("PRAGMA user_version = 3")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v2"));

    results::ResultsStore games(dir.path());
    QCOMPARE(games.takeNotice(), QString());
    QCOMPARE(games.gameCount(), 1);
    QCOMPARE(rawValue(path, QStringLiteral("PRAGMA user_version")).toInt(),
        results::ResultsStore::kSchemaVersion);
    CompetitionStore store(&games);
    QVERIFY(store.isSaved());
    Competition c;
    AddPlayers(c, { QStringLiteral("New") });
    QCOMPARE(store.save(c), CompetitionStore::Saved::Written);
    QCOMPARE(rawValue(path, QStringLiteral("SELECT count(*) FROM competition_players")).toInt(), 1);
}

void tst_CompetitionStore::deletedGameKeepsTheHeatResult()
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    Competition c;
    AddPlayers(c, { "Ann", "Bob" });
    play(c, games, false);
    QCOMPARE(store.save(c), CompetitionStore::Saved::Written);
    QVERIFY(games.removeAll());
    const std::optional<Competition> loaded = store.load(c.id);
    QVERIFY(loaded);
    QCOMPARE(loaded->attempts, c.attempts);
}

void tst_CompetitionStore::closedCompetitionIsNotResumed()
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    Competition first;
    Competition second;
    AddPlayers(first, { "Ann" });
    AddPlayers(second, { "Bob" });
    QCOMPARE(store.save(first), CompetitionStore::Saved::Written);
    QCOMPARE(store.save(second), CompetitionStore::Saved::Written);
    QCOMPARE(store.openCompetition(), std::optional<qint64>(second.id));
    QVERIFY(store.close(second.id));
    QCOMPARE(store.openCompetition(), std::optional<qint64>(first.id));
    QVERIFY(store.close(first.id));
    QCOMPARE(store.openCompetition(), std::nullopt);
    QVERIFY(store.load(first.id)); // kept with its results
}

void tst_CompetitionStore::unusableFileKeepsTheEveningInMemory()
{
    CompetitionStore store(nullptr);
    QVERIFY(!store.isSaved());
    Competition c;
    AddPlayers(c, { "Ann", "Bob", "Cem" });
    QCOMPARE(store.save(c), CompetitionStore::Saved::Written);
    QCOMPARE(store.load(c.id)->players, c.players);
}

void tst_CompetitionStore::lockAtHeatEndKeepsTheResult()
{
    QTemporaryDir dir;
    Competition c;
    {
        results::ResultsStore games(dir.path());
        CompetitionStore store(&games);
        AddPlayers(c, { "Ann", "Bob", "Cem", "Dai", "Eve" });
        QCOMPARE(store.save(c), CompetitionStore::Saved::Written);
        {
            // Another program holds the file's write lock as the heat ends.
            Other other(games.filePath());
            QVERIFY(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
            play(c, games, false);
            QCOMPARE(store.save(c), CompetitionStore::Saved::Waiting);
            QVERIFY(!store.isSaved());
            QCOMPARE(games.pendingChanges(), 1);
            other.exec(QStringLiteral("ROLLBACK"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(store.isSaved(), 20000);
    }
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    const std::optional<Competition> resumed = store.load(*store.openCompetition());
    QVERIFY(resumed);
    QCOMPARE(resumed->attempts.size(), 1);
    QCOMPARE(NextHeat(*resumed), std::optional<int>(1));
    // The heat's game is in the file once, and the result names it.
    QCOMPARE(games.gameCount(), 1);
    QVERIFY(games.game(resumed->attempts.first().gameId));
}

void tst_CompetitionStore::fileGoneMidCompetition_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("the results file removed") << false;
    QTest::newRow("the results file replaced by another one") << true;
}

void tst_CompetitionStore::fileGoneMidCompetition()
{
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    {
        results::ResultsStore games(dir.path());
        CompetitionStore store(&games);
        Competition c;
        AddPlayers(c, { "Ann", "Bob", "Cem" });
        QCOMPARE(store.save(c), CompetitionStore::Saved::Written);
        QVERIFY(QFile::remove(games.filePath()));
        if (replaced) {
            {
                // Another evening's file, whose competition has the same id as ours.
                results::ResultsStore other(elsewhere.path());
                Competition theirs;
                AddPlayers(theirs, { QStringLiteral("Theirs") });
                QCOMPARE(CompetitionStore(&other).save(theirs), CompetitionStore::Saved::Written);
                QCOMPARE(theirs.id, c.id);
            }
            QVERIFY(QFile::rename(
                elsewhere.filePath(QStringLiteral("results.sqlite")), games.filePath()));
        }
        AddPlayers(c, { QStringLiteral("Late") });
        QCOMPARE(store.save(c), CompetitionStore::Saved::Written);
    }
    // What a restart finds: the whole competition, in the file at the place, beside the other.
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    const std::optional<qint64> open = store.openCompetition();
    QVERIFY(open);
    QCOMPARE(store.load(*open)->players.size(), 4);
    if (replaced) {
        QCOMPARE(store.load(1)->players.first().name, QStringLiteral("Theirs"));
    }
}

void tst_CompetitionStore::secondInstanceChangedItFirst()
{
    QTemporaryDir dir;
    results::ResultsStore gamesA(dir.path());
    results::ResultsStore gamesB(dir.path());
    CompetitionStore a(&gamesA);
    CompetitionStore b(&gamesB);
    Competition c;
    AddPlayers(c, { "Ann", "Bob" });
    QCOMPARE(a.save(c), CompetitionStore::Saved::Written);
    Competition inA = *a.load(*a.openCompetition());
    Competition inB = *b.load(*b.openCompetition());
    AddPlayers(inB, { "Cem", "Dai", "Eve" });
    QCOMPARE(b.save(inB), CompetitionStore::Saved::Written);
    // A, older, adds one: refused, and A now holds B's players.
    AddPlayers(inA, { QStringLiteral("Fay") });
    QCOMPARE(a.save(inA), CompetitionStore::Saved::Conflict);
    QCOMPARE(inA.players, inB.players);
    // Made again on the state it now holds, the change goes in beside B's.
    AddPlayers(inA, { QStringLiteral("Fay") });
    QCOMPARE(a.save(inA), CompetitionStore::Saved::Written);
    QCOMPARE(CompetitionStore(&gamesB).load(inB.id)->players.size(), 6);
}

void tst_CompetitionStore::newerFileLeftAsItIs()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.sqlite"));
    {
        results::ResultsStore games(dir.path());
    }
    {
        Other other(path);
        QVERIFY(other.exec(QStringLiteral("PRAGMA user_version = 99")));
        QVERIFY(other.exec(QStringLiteral("PRAGMA journal_mode = DELETE")));
    }
    const QByteArray before = checksum(path);
    {
        results::ResultsStore games(dir.path());
        CompetitionStore store(&games);
        Competition c;
        AddPlayers(c, { "Ann", "Bob" });
        QCOMPARE(store.save(c), CompetitionStore::Saved::Waiting);
        QVERIFY(store.close(c.id));
        // Kept for this run all the same.
        QCOMPARE(store.load(c.id)->players, c.players);
        QCOMPARE(games.pendingChanges(), 1);
    }
    QCOMPARE(checksum(path), before);
}

void tst_CompetitionStore::strayTableOfAFutureName_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("setAside");
    QTest::newRow("our own shape is migrated into")
        << "CREATE TABLE competitions (id INTEGER PRIMARY KEY, name TEXT NOT NULL, scoring INTEGER "
           "NOT NULL CHECK (scoring IN (1, 2)), seconds INTEGER NOT NULL CHECK (seconds IN (30, "
           "60, "
           "90)), rounds INTEGER NOT NULL CHECK (rounds BETWEEN 1 AND 8), created_at TEXT NOT "
           "NULL, closed INTEGER NOT NULL DEFAULT 0)"
        << "INSERT INTO competitions VALUES (5, 'Old', 2, 60, 4, '2026-01-01T20:00:00Z', 1)"
        << false;
    QTest::newRow("another shape is renamed aside")
        << "CREATE TABLE competitions (title TEXT, year INTEGER)"
        << "INSERT INTO competitions VALUES ('Cup', 1999)" << true;
}

void tst_CompetitionStore::strayTableOfAFutureName()
{
    QFETCH(QString, table);
    QFETCH(QString, row);
    QFETCH(bool, setAside);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.sqlite"));
    {
        results::ResultsStore games(dir.path());
    }
    {
        // The file as the version before the competitions left it, plus a table of theirs.
        Other other(path);
        for (const char *name :
            { "competition_results", "competition_heats", "competition_players", "competitions" }) {
            QVERIFY(other.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(name))));
        }
        QVERIFY(other.exec(table));
        QVERIFY(other.exec(row));
        QVERIFY(other.exec(QStringLiteral("PRAGMA user_version = 3")));
    }
    results::ResultsStore games(dir.path());
    QVERIFY(games.isSaved());
    QCOMPARE(games.takeNotice().contains(QLatin1String("renamed")), setAside);
    results::GameRecord game = fixtures::Speed(fixtures::At(2, 19), { { "New", 7000 } });
    games.addGame(game);
    QVERIFY(games.isSaved()); // no game waits
    CompetitionStore store(&games);
    Competition c;
    AddPlayers(c, { QStringLiteral("New") });
    QCOMPARE(store.save(c), CompetitionStore::Saved::Written);
    QCOMPARE(rawValue(path, QStringLiteral("SELECT count(*) FROM competitions")).toInt(),
        setAside ? 1 : 2);
    QCOMPARE(rawValue(path,
                 QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name LIKE "
                                "'competitions_set_aside_%'"))
                 .toInt(),
        setAside ? 1 : 0);
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
