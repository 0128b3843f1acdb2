// SPDX-License-Identifier: MIT
#include "results/results_store.h"
#include "results/undoable_deletion.h"

#include "game_fixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace results;
using fixtures::At;

class tst_UndoableDeletion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void howTheWayBackCloses_data();
    void howTheWayBackCloses();
    void hiddenGameLeavesRankingAndExport();
};

void tst_UndoableDeletion::howTheWayBackCloses_data()
{
    // Three Speed games of 1000, 2000, 3000 rpm; the second is deleted, then `then` happens.
    QTest::addColumn<QString>("then");
    QTest::addColumn<QList<int>>("inFile"); // best rpm of the games the file keeps, by date
    QTest::addColumn<QList<int>>("shown"); // ... and of those the deletion shows
    QTest::newRow("undone: back everywhere")
        << "undo" << QList<int> { 1000, 2000, 3000 } << QList<int> { 1000, 2000, 3000 };
    QTest::newRow("finished: gone from the file")
        << "finish" << QList<int> { 1000, 3000 } << QList<int> { 1000, 3000 };
    QTest::newRow("another deletion: the first leaves the file, the second is hidden")
        << "next" << QList<int> { 1000, 3000 } << QList<int> { 3000 };
    QTest::newRow("nothing yet: in the file, hidden")
        << "" << QList<int> { 1000, 2000, 3000 } << QList<int> { 1000, 3000 };
    QTest::newRow("all deleted: nothing to undo") << "all" << QList<int> {} << QList<int> {};
}

void tst_UndoableDeletion::howTheWayBackCloses()
{
    QFETCH(QString, then);
    QFETCH(QList<int>, inFile);
    QFETCH(QList<int>, shown);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    const QList<qint64> ids = fixtures::AddThreeSpeedGames(store);
    UndoableDeletion deletion(store);
    QVERIFY(deletion.remove(ids[1]));
    QCOMPARE(deletion.hidden(), ids[1]);
    if (then == QLatin1String("undo")) {
        QCOMPARE(deletion.undo(), ids[1]);
        QCOMPARE(deletion.undo(), std::nullopt);
    } else if (then == QLatin1String("finish")) {
        QVERIFY(deletion.finish());
    } else if (then == QLatin1String("next")) {
        QVERIFY(deletion.remove(ids[0]));
    } else if (then == QLatin1String("all")) {
        QVERIFY(deletion.removeAll());
        QCOMPARE(deletion.hidden(), std::nullopt);
    }
    const auto bests = [](const auto &forEach) {
        QList<int> rpm;
        forEach([&rpm](const GameRecord &game) {
            rpm.append(game.players.first().bestRpm);
            return true;
        });
        return rpm;
    };
    QCOMPARE(bests([&](const auto &visit) { return store.forEachGame(visit); }), inFile);
    QCOMPARE(bests([&](const auto &visit) { return deletion.forEachGame(visit); }), shown);
    QCOMPARE(deletion.gameCount(), shown.size());
}

void tst_UndoableDeletion::hiddenGameLeavesRankingAndExport()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    // The best game has four players: hidden, it must not shorten the list it leaves.
    GameRecord best =
        fixtures::Speed(At(1, 20), { { "A", 9000 }, { "B", 8900 }, { "C", 8800 }, { "D", 8700 } });
    store.addGame(best);
    for (int day = 2; day <= 4; ++day) {
        GameRecord game = fixtures::Speed(At(day, 20), { { QString::number(day), 1000 * day } });
        store.addGame(game);
    }
    UndoableDeletion deletion(store);
    QCOMPARE(deletion.ranking(BestList::Speed, 3).size(), 3);
    deletion.remove(best.id);
    const QList<RankEntry> top = deletion.ranking(BestList::Speed, 3);
    QCOMPARE(top.size(), 3);
    for (const RankEntry &entry : top) {
        QVERIFY(entry.gameId != best.id);
    }
    QCOMPARE(top.first().bestRpm, 4000);
    // Undone, the game leads again.
    deletion.undo();
    QCOMPARE(deletion.ranking(BestList::Speed, 1).first().gameId, best.id);
}

QTEST_GUILESS_MAIN(tst_UndoableDeletion)
#include "tst_undoable_deletion.moc"
