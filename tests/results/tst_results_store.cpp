// SPDX-License-Identifier: MIT
#include "results/results_store.h"

#include "game_fixtures.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace results;
using fixtures::At;

namespace
{

// A second, independent connection for looking at the file the way another program would.
class RawDb
{
public:
    explicit RawDb(const QString &path)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        m_db.open();
    }
    ~RawDb()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QVariant value(const QString &sql)
    {
        QSqlQuery query(m_db);
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    bool exec(const QString &sql)
    {
        QSqlQuery query(m_db);
        return query.exec(sql);
    }

private:
    QString m_name = QStringLiteral("raw");
    QSqlDatabase m_db;
};

QStringList names(const QList<RankEntry> &entries)
{
    QStringList list;
    for (const RankEntry &e : entries) {
        list.append(e.name);
    }
    return list;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_ResultsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gameSurvivesRestart();
    void fileIsSetUpAsAgreed();
    void rankings_data();
    void rankings();
    void newBest_data();
    void newBest();
    void pagesAndDeletion();
    void unreadableFileMovedAside_data();
    void unreadableFileMovedAside();
    void unwritablePlaceKeepsGamesInMemory_data();
    void unwritablePlaceKeepsGamesInMemory();
    void writeFailureMidRunKeepsEveryGame();
    void migratesFirstSchemaVersion();

private:
    QTemporaryDir m_dir;
};

void tst_ResultsStore::gameSurvivesRestart()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Rotavex"));
    GameRecord game =
        fixtures::Strength(At(3, 20), 60, { { "Ann", 5000, 2500.5 }, { "Bob", 7000, 3200.0 } });
    game.players[1].samples = QList<qint32>(90, 6400);
    {
        ResultsStore store(folder);
        QVERIFY(store.isSaved());
        QCOMPARE(store.takeNotice(), QString());
        store.addGame(game);
        QVERIFY(game.id > 0);
    }
    QVERIFY(QFile::exists(folder + QStringLiteral("/results.sqlite")));
    ResultsStore again(folder);
    QCOMPARE(again.gameCount(), 1);
    const std::optional<GameRecord> read = again.game(game.id);
    QVERIFY(read);
    QCOMPARE(read->startedAt.offsetFromUtc(), 3600);
    QCOMPARE(*read, game);
}

void tst_ResultsStore::fileIsSetUpAsAgreed()
{
    QTemporaryDir dir;
    GameRecord game = fixtures::Speed(At(3, 20), { { "Ann", 5000 } });
    {
        ResultsStore store(dir.path());
        store.addGame(game);
        store.removeGame(game.id);
    }
    RawDb raw(dir.filePath(QStringLiteral("results.sqlite")));
    QCOMPARE(
        raw.value(QStringLiteral("PRAGMA user_version")).toInt(), ResultsStore::kSchemaVersion);
    QCOMPARE(raw.value(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    // Deleting a game took its players with it: the foreign key cascaded.
    QCOMPARE(raw.value(QStringLiteral("SELECT COUNT(*) FROM game_players")).toInt(), 0);
}

void tst_ResultsStore::rankings_data()
{
    QTest::addColumn<QList<GameRecord>>("games");
    QTest::addColumn<int>("list");
    QTest::addColumn<QStringList>("expected");

    using fixtures::Speed;
    using fixtures::Strength;
    QTest::newRow("speed by best rpm, players of one game compete")
        << QList<GameRecord> { Speed(At(1, 20), { { "A", 5000 }, { "B", 9000 } }),
               Speed(At(2, 20), { { "C", 7000 }, { "D", 0 } }) }
        << int(BestList::Speed) << QStringList { "B", "C", "A" };
    QTest::newRow("speed tie: the earlier game first, whatever the order recorded")
        << QList<GameRecord> { Speed(At(5, 20), { { "later", 8000 } }),
               Speed(At(4, 20), { { "earlier", 8000 } }) }
        << int(BestList::Speed) << QStringList { "earlier", "later" };
    QTest::newRow("earlier by UTC although its local hour is later") << QList<GameRecord> {
        Speed(At(4, 20, 1), { { "utc19", 8000 } }), Speed(At(4, 21, 3), { { "utc18", 8000 } })
    } << int(BestList::Speed) << QStringList { "utc18", "utc19" };
    QTest::newRow("strength games stay out of the speed list") << QList<GameRecord> {
        Strength(At(1, 20), 60, { { "S", 9999, 100 } }), Speed(At(2, 20), { { "V", 1000 } })
    } << int(BestList::Speed) << QStringList { "V" };
    QTest::newRow("strength by revolutions, only complete games of the preset")
        << QList<GameRecord> { Strength(At(1, 20), 60, { { "sixty", 1, 3000 } }),
               Strength(At(2, 20), 30, { { "thirty", 1, 9000 } }),
               Strength(At(3, 20), 60, { { "stopped early", 1, 8000 } }, false),
               Strength(At(4, 20), 60, { { "more", 1, 3500 }, { "less", 1, 10 } }) }
        << int(BestList::Strength60) << QStringList { "more", "sixty", "less" };
    QTest::newRow("strength tie in whole revolutions: the earlier first")
        << QList<GameRecord> { Strength(At(2, 20), 90, { { "later", 1, 4000.4 } }),
               Strength(At(1, 20), 90, { { "earlier", 1, 3999.6 } }) }
        << int(BestList::Strength90) << QStringList { "earlier", "later" };
    QList<GameRecord> many;
    for (int i = 0; i < 12; ++i) {
        many.append(Speed(At(1 + i, 12), { { QString::number(i), 1000 + 100 * i } }));
    }
    QTest::newRow("ten entries at most")
        << many << int(BestList::Speed)
        << QStringList { "11", "10", "9", "8", "7", "6", "5", "4", "3", "2" };
}

void tst_ResultsStore::rankings()
{
    QFETCH(QList<GameRecord>, games);
    QFETCH(int, list);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    for (GameRecord &game : games) {
        store.addGame(game);
    }
    QCOMPARE(names(store.ranking(BestList(list))), expected);
}

void tst_ResultsStore::newBest_data()
{
    QTest::addColumn<QList<GameRecord>>("before");
    QTest::addColumn<GameRecord>("game");
    QTest::addColumn<QList<BestList>>("expected");

    using fixtures::Speed;
    using fixtures::Strength;
    const QList<GameRecord> speed7000 { Speed(At(1, 20), { { "old", 7000 } }) };
    QTest::newRow("first game ever") << QList<GameRecord> {} << Speed(At(2, 20), { { "new", 10 } })
                                     << QList<BestList> { BestList::Speed };
    QTest::newRow("beats the best") << speed7000 << Speed(At(2, 20), { { "new", 7001 } })
                                    << QList<BestList> { BestList::Speed };
    QTest::newRow("equals the best: not new")
        << speed7000 << Speed(At(2, 20), { { "new", 7000 } }) << QList<BestList> {};
    QTest::newRow("second place: not new")
        << speed7000 << Speed(At(2, 20), { { "new", 6000 } }) << QList<BestList> {};
    QTest::newRow("strength stopped early: no list")
        << QList<GameRecord> {} << Strength(At(2, 20), 30, { { "new", 1, 500 } }, false)
        << QList<BestList> {};
    QTest::newRow("strength: its own preset's list")
        << QList<GameRecord> { Strength(At(1, 20), 60, { { "old", 1, 900 } }) }
        << Strength(At(2, 20), 30, { { "new", 1, 500 } })
        << QList<BestList> { BestList::Strength30 };
}

void tst_ResultsStore::newBest()
{
    QFETCH(QList<GameRecord>, before);
    QFETCH(GameRecord, game);
    QFETCH(QList<BestList>, expected);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    for (GameRecord &old : before) {
        store.addGame(old);
    }
    QCOMPARE(store.addGame(game), expected);
    for (const BestList list : expected) {
        QVERIFY(store.isNewBest(list, game.id, rotavex::kFirstPlayer));
    }
    // A new best takes the mark over from the one before it; anything less leaves it there.
    if (!before.isEmpty() && ListOf(before.first()) == ListOf(game)) {
        QCOMPARE(store.isNewBest(*ListOf(game), before.first().id, rotavex::kFirstPlayer),
            expected.isEmpty());
    }
}

void tst_ResultsStore::pagesAndDeletion()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    QList<qint64> ids;
    for (int day = 1; day <= 5; ++day) {
        GameRecord game =
            fixtures::Speed(At(day, 20), { { QStringLiteral("day %1").arg(day), 1000 } });
        store.addGame(game);
        ids.append(game.id);
    }
    const QList<GameSummary> page = store.recentGames(1, 2);
    QCOMPARE(page.size(), 2);
    QCOMPARE(page[0].id, ids[3]);
    QCOMPARE(page[1].id, ids[2]);
    QCOMPARE(page[0].playerNames, QStringList { "day 4" });

    QVERIFY(store.removeGame(ids[4]));
    QCOMPARE(store.gameCount(), 4);
    QCOMPARE(store.recentGames(0, 1).first().id, ids[3]);
    QVERIFY(!store.game(ids[4]));
    QVERIFY(store.removeAll());
    QCOMPARE(store.gameCount(), 0);
    QVERIFY(store.ranking(BestList::Speed).isEmpty());
}

void tst_ResultsStore::unreadableFileMovedAside_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text file") << "text";
    QTest::newRow("a folder with a file in it") << "folder";
    QTest::newRow("database with damaged pages") << "damaged";
}

void tst_ResultsStore::unreadableFileMovedAside()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.sqlite"));
    QByteArray before;
    if (kind == QLatin1String("text")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("game,started_at\r\nnot a database at all\r\n");
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
        QFile inner(path + QStringLiteral("/keep.txt"));
        QVERIFY(inner.open(QIODevice::WriteOnly));
        inner.write("precious");
    } else {
        {
            ResultsStore store(dir.path());
            for (int i = 0; i < 200; ++i) {
                GameRecord game = fixtures::Speed(At(1, 20), { { QString(300, u'n'), 1000 + i } });
                store.addGame(game);
            }
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 8 * 4096);
        // Scribble over the middle of the file, keeping the header intact.
        file.seek(3 * 4096);
        file.write(QByteArray(4 * 4096, '\x5a'));
    }
    if (kind != QLatin1String("folder")) {
        before = fileBytes(path);
    }

    ResultsStore store(dir.path());
    QVERIFY(store.isSaved());
    const QString notice = store.takeNotice();
    QCOMPARE(store.takeNotice(), QString());
    const QStringList aside = QDir(dir.path())
                                  .entryList({ QStringLiteral("results.sqlite.unreadable-*") },
                                      QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(aside.size(), 1);
    QVERIFY2(notice.contains(dir.filePath(aside.first())), qPrintable(notice));
    if (kind == QLatin1String("folder")) {
        QCOMPARE(fileBytes(dir.filePath(aside.first()) + QStringLiteral("/keep.txt")),
            QByteArray("precious"));
    } else {
        QCOMPARE(fileBytes(dir.filePath(aside.first())), before);
    }
    GameRecord game = fixtures::Speed(At(2, 20), { { "fresh", 3000 } });
    store.addGame(game);
    QCOMPARE(ResultsStore(dir.path()).gameCount(), 1);
}

void tst_ResultsStore::unwritablePlaceKeepsGamesInMemory_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder cannot be created") << "blocked";
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("file from a newer version") << "newer";
}

void tst_ResultsStore::unwritablePlaceKeepsGamesInMemory()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("data"));
    QByteArray before;
    if (kind == QLatin1String("blocked")) {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        folder += QStringLiteral("/Rotavex");
    } else if (kind == QLatin1String("read-only")) {
        if (geteuid() == 0) {
            QSKIP("root writes to read-only folders");
        }
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    } else {
        {
            ResultsStore store(folder);
            GameRecord old = fixtures::Speed(At(1, 20), { { "old", 1000 } });
            store.addGame(old);
        }
        RawDb(folder + QStringLiteral("/results.sqlite"))
            .exec(QStringLiteral("PRAGMA user_version = 99"));
        before = fileBytes(folder + QStringLiteral("/results.sqlite"));
    }

    {
        ResultsStore store(folder);
        QVERIFY(!store.isSaved());
        QVERIFY(!store.takeNotice().isEmpty());
        GameRecord game = fixtures::Speed(At(2, 20), { { "kept", 4000 } });
        QCOMPARE(store.addGame(game), QList<BestList> { BestList::Speed });
        QCOMPARE(store.ranking(BestList::Speed).first().name, QStringLiteral("kept"));
        QCOMPARE(store.takeNotice(), QString());
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (kind == QLatin1String("newer")) {
        QCOMPARE(fileBytes(folder + QStringLiteral("/results.sqlite")), before);
    }
}

void tst_ResultsStore::writeFailureMidRunKeepsEveryGame()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord first = fixtures::Speed(At(1, 20), { { "saved", 5000 } });
    store.addGame(first);
    QVERIFY(store.isSaved());

    // Another program holds the write lock: the next game cannot be written to the file.
    RawDb other(dir.filePath(QStringLiteral("results.sqlite")));
    QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    GameRecord second = fixtures::Speed(At(2, 20), { { "unsaved", 6000 } });
    store.addGame(second);
    QVERIFY(!store.isSaved());
    const QString notice = store.takeNotice();
    QVERIFY(notice.contains(dir.filePath(QStringLiteral("results.sqlite"))));
    QCOMPARE(names(store.ranking(BestList::Speed)), (QStringList { "unsaved", "saved" }));
    GameRecord third = fixtures::Speed(At(3, 20), { { "third", 100 } });
    store.addGame(third);
    QCOMPARE(store.gameCount(), 3);
    QCOMPARE(store.takeNotice(), QString());
    other.exec(QStringLiteral("ROLLBACK"));
}

void tst_ResultsStore::migratesFirstSchemaVersion()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.sqlite"));
    {
        // The first schema exactly as the first release wrote it, with one game.
        RawDb v1(path);
        QVERIFY(v1.exec("CREATE TABLE games (id INTEGER PRIMARY KEY, started_at TEXT NOT NULL, "
                        "mode INTEGER NOT NULL CHECK (mode IN (1, 2)), preset_s INTEGER, "
                        "ticks INTEGER NOT NULL, complete INTEGER NOT NULL)"));
        QVERIFY(
            v1.exec("CREATE TABLE game_players (game_id INTEGER NOT NULL REFERENCES games(id) "
                    "ON DELETE CASCADE, player INTEGER NOT NULL CHECK (player BETWEEN 1 AND 4), "
                    "name TEXT NOT NULL, best_rpm INTEGER NOT NULL, revolutions REAL, "
                    "mean_rpm INTEGER, PRIMARY KEY (game_id, player))"));
        QVERIFY(v1.exec("INSERT INTO games VALUES (7, '2026-11-02T21:30:00+02:00', 2, 60, 60, 1)"));
        QVERIFY(
            v1.exec("INSERT INTO games VALUES (8, '2026-11-02T20:00:00+00:00', 1, NULL, 12, 1)"));
        QVERIFY(v1.exec("INSERT INTO game_players VALUES (7, 2, 'Old Timer', 6100, 3050.5, 3050)"));
        QVERIFY(v1.exec("INSERT INTO game_players VALUES (8, 1, 'Speedy', 8000, NULL, NULL)"));
        QVERIFY(v1.exec("PRAGMA user_version = 1"));
    }
    ResultsStore store(dir.path());
    QVERIFY(store.isSaved());
    QCOMPARE(store.takeNotice(), QString());
    const std::optional<GameRecord> old = store.game(7);
    QVERIFY(old);
    QCOMPARE(old->startedAt, QDateTime(QDate(2026, 11, 2), QTime(19, 30), Qt::UTC));
    QCOMPARE(old->presetSeconds, 60);
    QCOMPARE(old->players.size(), 1);
    QCOMPARE(old->players[0].name, QStringLiteral("Old Timer"));
    QCOMPARE(old->players[0].revolutions, 3050.5);
    QCOMPARE(old->players[0].port, QString());
    QVERIFY(old->players[0].samples.isEmpty());
    // The migrated start times order the games: 19:30 UTC before 20:00 UTC.
    QCOMPARE(store.recentGames(0, 2).first().id, qint64(8));
    QCOMPARE(store.ranking(BestList::Strength60).first().name, QStringLiteral("Old Timer"));
    GameRecord game = fixtures::Speed(At(3, 20), { { "new", 9000 } });
    store.addGame(game);
    QCOMPARE(store.gameCount(), 3);
    RawDb raw(path);
    QCOMPARE(raw.value(QStringLiteral("PRAGMA user_version")).toInt(), ResultsStore::kSchemaVersion);
}

QTEST_GUILESS_MAIN(tst_ResultsStore)
#include "tst_results_store.moc"
