// SPDX-License-Identifier: MIT
#include "results/results_store.h"

#include "game_fixtures.h"
#include "support/process_wait.h"
#include "support/read_only_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
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
    void whoseRunningGameIsLeft_data();
    void whoseRunningGameIsLeft();
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
    void heldLockThenLaterGame();
    void secondInstanceDeletesWhileGameEnds();
    void fileGoneMidRun_data();
    void fileGoneMidRun();
    void nonRegularFileNeverBlocks_data();
    void nonRegularFileNeverBlocks();
    void readOnlyFolderStillShowsGames();
    void fullDiskSaysSo();
    void fullDiskInChild();
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
    QTest::addColumn<ResultsStore::Opening>("opening");
    const auto now = ResultsStore::Opening::Now;
    QTest::newRow("text file") << "text" << now;
    QTest::newRow("a folder with a file in it") << "folder" << now;
    QTest::newRow("database with damaged pages") << "damaged" << now;
    QTest::newRow("another program's database") << "foreign" << now;
    // As the program opens it: not before the first call that needs it, then the same.
    QTest::newRow("text file, opened when needed") << "text" << ResultsStore::Opening::Deferred;
}

void tst_ResultsStore::unreadableFileMovedAside()
{
    QFETCH(QString, kind);
    QFETCH(ResultsStore::Opening, opening);
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
    } else if (kind == QLatin1String("foreign")) {
        RawDb(path).exec(QStringLiteral("CREATE TABLE recipes (title TEXT)"));
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

    ResultsStore store(dir.path(), ResultsStore::Access::ReadWrite, opening);
    if (opening == ResultsStore::Opening::Deferred) {
        QCOMPARE(fileBytes(path), before);
    }
    if (kind == QLatin1String("damaged")) {
        // Opening reads only the first page, so start-up never grows with the history; the
        // damage shows when the games are read, and the next look at the file deals with it.
        store.forEachGame([](const GameRecord &) { return true; });
        store.refresh();
    }
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
    QTest::newRow("file from a newer version, rollback journal") << "newer, no WAL";
}

void tst_ResultsStore::unwritablePlaceKeepsGamesInMemory()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("data"));
    QByteArray before;
    std::unique_ptr<ReadOnlyPath> readOnly;
    if (kind == QLatin1String("blocked")) {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        folder += QStringLiteral("/Rotavex");
    } else if (kind == QLatin1String("read-only")) {
        QVERIFY(QDir().mkpath(folder));
        readOnly = std::make_unique<ReadOnlyPath>(folder);
        if (!readOnly->isReadOnly()) {
            QSKIP(qPrintable(readOnly->skipReason()));
        }
    } else {
        {
            ResultsStore store(folder);
            GameRecord old = fixtures::Speed(At(1, 20), { { "old", 1000 } });
            store.addGame(old);
        }
        {
            RawDb raw(folder + QStringLiteral("/results.sqlite"));
            raw.exec(QStringLiteral("PRAGMA user_version = 99"));
            if (kind.endsWith(QLatin1String("no WAL"))) {
                QVERIFY(raw.exec(QStringLiteral("PRAGMA journal_mode = DELETE")));
            }
        }
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
    readOnly.reset();
    if (kind.startsWith(QLatin1String("newer"))) {
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

    // Another program holds the write lock: the next games wait, listed and ranked meanwhile.
    auto other = std::make_unique<RawDb>(dir.filePath(QStringLiteral("results.sqlite")));
    QVERIFY(other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
    GameRecord second = fixtures::Speed(At(2, 20), { { "unsaved", 6000 } });
    QCOMPARE(store.addGame(second), QList<BestList> { BestList::Speed });
    QVERIFY(!store.isSaved());
    const QString notice = store.takeNotice();
    QVERIFY(notice.contains(dir.filePath(QStringLiteral("results.sqlite"))));
    QVERIFY2(!notice.contains(QLatin1String("Unable to fetch row")), qPrintable(notice));
    QCOMPARE(names(store.ranking(BestList::Speed)), (QStringList { "unsaved", "saved" }));
    GameRecord third = fixtures::Speed(At(3, 20), { { "third", 100 } });
    store.addGame(third);
    QCOMPARE(store.gameCount(), 3);
    QCOMPARE(store.recentGames(0, 10).first().playerNames, QStringList { "third" });
    QCOMPARE(store.game(third.id)->players.first().name, QStringLiteral("third"));
    QCOMPARE(store.takeNotice(), QString()); // told once while games wait
    other->exec(QStringLiteral("ROLLBACK"));
    other.reset();

    QVERIFY(store.writePending());
    QVERIFY(store.isSaved());
    QVERIFY(!store.takeNotice().isEmpty());
    // The mark of the new best follows the game into the file.
    const QList<RankEntry> top = store.ranking(BestList::Speed, 1);
    QVERIFY(top.first().gameId > 0);
    QVERIFY(store.isNewBest(BestList::Speed, top.first().gameId, top.first().player));
    ResultsStore again(dir.path());
    QCOMPARE(again.gameCount(), 3);
    QCOMPARE(names(again.ranking(BestList::Speed)), (QStringList { "unsaved", "saved", "third" }));
}

void tst_ResultsStore::heldLockThenLaterGame()
{
    // A short lock at the end of one game: that game and every later one reach the file by
    // themselves once the lock is gone, without another game ending.
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    int changes = 0;
    store.setChangeHandler([&changes] { ++changes; });
    {
        RawDb other(dir.filePath(QStringLiteral("results.sqlite")));
        QVERIFY(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
        GameRecord game = fixtures::Speed(At(1, 20), { { "during the lock", 5000 } });
        store.addGame(game);
        QVERIFY(!store.isSaved());
        other.exec(QStringLiteral("ROLLBACK"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(store.isSaved(), 20000);
    QVERIFY(changes > 0);
    GameRecord later = fixtures::Speed(At(2, 20), { { "after the lock", 6000 } });
    store.addGame(later);
    QVERIFY(store.isSaved());
    QCOMPARE(RawDb(dir.filePath(QStringLiteral("results.sqlite")))
                 .value(QStringLiteral("SELECT COUNT(*) FROM games"))
                 .toInt(),
        2);
}

void tst_ResultsStore::secondInstanceDeletesWhileGameEnds()
{
    QTemporaryDir dir;
    ResultsStore first(dir.path());
    for (int i = 0; i < 3; ++i) {
        GameRecord game = fixtures::Speed(At(1 + i, 20), { { "old", 1000 + i } });
        first.addGame(game);
    }
    {
        // The second instance deletes everything; the first finishes a game meanwhile.
        RawDb second(dir.filePath(QStringLiteral("results.sqlite")));
        QVERIFY(second.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QVERIFY(second.exec(QStringLiteral("DELETE FROM game_players")));
        QVERIFY(second.exec(QStringLiteral("DELETE FROM games")));
        GameRecord game = fixtures::Speed(At(9, 20), { { "finished", 7000 } });
        first.addGame(game);
        QVERIFY(second.exec(QStringLiteral("COMMIT")));
    }
    first.refresh();
    QVERIFY(first.isSaved());
    QCOMPARE(first.gameCount(), 1);
    QCOMPARE(names(first.ranking(BestList::Speed)), QStringList { "finished" });
    QCOMPARE(ResultsStore(dir.path()).gameCount(), 1);
}

void tst_ResultsStore::fileGoneMidRun_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the data folder removed") << "folder";
    QTest::newRow("the file removed") << "file";
    QTest::newRow("the file replaced by another results file") << "replaced";
}

void tst_ResultsStore::fileGoneMidRun()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Rotavex"));
    const QString path = folder + QStringLiteral("/results.sqlite");
    ResultsStore store(folder);
    GameRecord before = fixtures::Speed(At(1, 20), { { "before", 1000 } });
    store.addGame(before);
    if (how == QLatin1String("folder")) {
        QVERIFY(QDir(folder).removeRecursively());
    } else if (how == QLatin1String("file")) {
        QVERIFY(QFile::remove(path));
    } else {
        QTemporaryDir elsewhere;
        {
            ResultsStore other(elsewhere.path());
            GameRecord game = fixtures::Speed(At(2, 20), { { "other file", 2000 } });
            other.addGame(game);
        }
        QVERIFY(
            ::rename(
                QFile::encodeName(elsewhere.filePath(QStringLiteral("results.sqlite"))).constData(),
                QFile::encodeName(path).constData())
            == 0);
    }
    GameRecord after = fixtures::Speed(At(3, 20), { { "after", 3000 } });
    store.addGame(after);
    QVERIFY(store.isSaved());
    const QString notice = store.takeNotice();
    QVERIFY2(notice.contains(how == QLatin1String("replaced") ? QLatin1String("replaced")
                                                              : QLatin1String("removed")),
        qPrintable(notice));
    // In the file a restart finds, not in a deleted inode.
    ResultsStore restarted(folder);
    QStringList expected { "after" };
    if (how == QLatin1String("replaced")) {
        expected << "other file";
    }
    QCOMPARE(names(restarted.ranking(BestList::Speed)), expected);
}

void tst_ResultsStore::nonRegularFileNeverBlocks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a link to a FIFO") << "link to fifo";
    QTest::newRow("a link to a character device") << "link to device";
}

void tst_ResultsStore::nonRegularFileNeverBlocks()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.sqlite"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    if (kind.endsWith(QLatin1String("fifo"))) {
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    }
    if (kind == QLatin1String("fifo")) {
        QVERIFY(::rename(QFile::encodeName(fifo).constData(), QFile::encodeName(path).constData())
            == 0);
    } else {
        QVERIFY(QFile::link(
            kind == QLatin1String("link to fifo") ? fifo : QStringLiteral("/dev/zero"), path));
    }
    // Opened in a child process, so a blocking open fails the test instead of hanging it.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ResultsStore store(dir.path());
        GameRecord game = fixtures::Speed(At(1, 20), { { "fresh", 3000 } });
        store.addGame(game);
        const bool told = store.takeNotice().contains(QLatin1String("moved to"));
        ::_exit(store.isSaved() && told ? 0 : 3);
    }
    int status = -1;
    for (int waited = 0; waited < 200 && ::waitpid(child, &status, WNOHANG) == 0; ++waited) {
        QTest::qWait(50);
    }
    if (!WIFEXITED(status)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        QFAIL("opening the store blocked");
    }
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(ResultsStore(dir.path()).gameCount(), 1);
    // Only the name moved: the FIFO or the link is still what it was, beside the new file.
    const QStringList aside = QDir(dir.path())
                                  .entryList({ QStringLiteral("results.sqlite.unreadable-*") },
                                      QDir::AllEntries | QDir::System);
    QCOMPARE(aside.size(), 1);
    QVERIFY(!QFileInfo(dir.filePath(aside.first())).isFile()
        || QFileInfo(dir.filePath(aside.first())).isSymLink());
}

void tst_ResultsStore::readOnlyFolderStillShowsGames()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Rotavex"));
    {
        ResultsStore store(folder);
        for (int i = 0; i < 21; ++i) {
            GameRecord game = fixtures::Speed(At(1, 20), { { "Ann", 1000 + i } });
            store.addGame(game);
        }
    }
    const ReadOnlyPath file(folder + QStringLiteral("/results.sqlite"));
    const ReadOnlyPath readOnly(folder);
    if (!readOnly.isReadOnly() || !file.isReadOnly()) {
        QSKIP(qPrintable(readOnly.skipReason()));
    }
    ResultsStore store(folder);
    QVERIFY(!store.isSaved());
    QVERIFY(!store.takeNotice().isEmpty());
    QCOMPARE(store.gameCount(), 21);
    GameRecord game = fixtures::Speed(At(2, 20), { { "waiting", 9000 } });
    store.addGame(game);
    QCOMPARE(store.gameCount(), 22);
    QCOMPARE(store.ranking(BestList::Speed, 1).first().name, QStringLiteral("waiting"));
    QCOMPARE(store.pendingGames().size(), 1);
}

void tst_ResultsStore::fullDiskSaysSo()
{
    // A small file system of its own, mounted where only a child process sees it.
    if (::geteuid() != 0) {
        QSKIP("mounting a small file system needs root");
    }
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ROTAVEX_FULL_DISK_DIR"), dir.path());
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("unshare"),
        { QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("mount -t tmpfs -o size=256k tmpfs \"$ROTAVEX_FULL_DISK_DIR\" && exec "
                           "\"$0\" fullDiskInChild"),
            QCoreApplication::applicationFilePath() });
    if (!child.waitForFinished(kProcessCapMs)) {
        child.kill();
        child.waitForFinished();
        QFAIL("the child did not finish");
    }
    const QByteArray output = child.readAllStandardOutput() + child.readAllStandardError();
    if (output.contains("mount:") || output.contains("unshare:")) {
        QSKIP(qPrintable(QStringLiteral("no private mount here: ") + QString::fromUtf8(output)));
    }
    QVERIFY2(child.exitCode() == 0, output.constData());
}

void tst_ResultsStore::fullDiskInChild()
{
    const QString folder = qEnvironmentVariable("ROTAVEX_FULL_DISK_DIR");
    if (folder.isEmpty()) {
        QSKIP("runs only inside fullDiskSaysSo");
    }
    ResultsStore store(folder);
    QVERIFY(store.isSaved());
    // Games with long names until the file system is full: they wait, and the message names the
    // reason as the system gives it.
    for (int i = 0; i < 200 && store.isSaved(); ++i) {
        GameRecord game = fixtures::Speed(At(1, 20), { { QString(4000, u'f'), 1000 + i } });
        store.addGame(game);
    }
    QVERIFY(!store.isSaved());
    const QString notice = store.takeNotice();
    QVERIFY2(notice.contains(QLatin1String("No space left on device")), qPrintable(notice));
    QVERIFY2(!notice.contains(QLatin1String("disk I/O error")), qPrintable(notice));
    QCOMPARE(store.pendingGames().size(), 1);
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
    QCOMPARE(
        raw.value(QStringLiteral("PRAGMA user_version")).toInt(), ResultsStore::kSchemaVersion);
}

void tst_ResultsStore::whoseRunningGameIsLeft_data()
{
    // A running game kept in the file is taken over only from an instance that is gone.
    QTest::addColumn<QString>("key"); // "self" stands for this process's own key
    QTest::addColumn<bool>("alive");
    const QString self = results::custody::InstanceKey();
    const QStringList parts = self.split(u':');
    QCOMPARE(parts.size(), 3);
    QTest::newRow("this process") << self << true;
    QTest::newRow("same id, started at another time")
        << QStringList { parts[0], parts[1], parts[2] + u'1' }.join(u':') << false;
    QTest::newRow("an earlier boot")
        << QStringList { parts[0] + u'x', parts[1], parts[2] }.join(u':') << false;
    QTest::newRow("a process that is gone")
        << QStringList { parts[0], QStringLiteral("2147483646"), parts[2] }.join(u':') << false;
    QTest::newRow("not a key at all") << QStringLiteral("garbage") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_ResultsStore::whoseRunningGameIsLeft()
{
    QFETCH(QString, key);
    QFETCH(bool, alive);
    QCOMPARE(results::custody::InstanceAlive(key), alive);
}

QTEST_GUILESS_MAIN(tst_ResultsStore)
#include "tst_results_store.moc"
