// SPDX-License-Identifier: MIT
#include "results/results_store.h"

#include "support/process_wait.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace results;

class tst_RunningGame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedMidGame_data();
    void killedMidGame();
};

void tst_RunningGame::killedMidGame_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QByteArray>("killAfter"); // the line the child printed last before the kill
    QTest::addColumn<bool>("interrupted"); // the next start finds a game left running
    QTest::addColumn<int>("games");
    QTest::addColumn<bool>("complete"); // of the newest game
    QTest::newRow("killed mid-game: kept as interrupted")
        << "running" << QByteArray("kept 8") << true << 1 << false;
    QTest::newRow("killed after the game ended: recorded once, nothing more")
        << "ended" << QByteArray("ended") << false << 1 << true;
    QTest::newRow("killed while a stopped game goes on: it replaces its stop's record")
        << "resumed" << QByteArray("kept 9") << true << 1 << false;
}

void tst_RunningGame::killedMidGame()
{
    QFETCH(QString, scenario);
    QFETCH(QByteArray, killAfter);
    QFETCH(bool, interrupted);
    QFETCH(int, games);
    QFETCH(bool, complete);
    QTemporaryDir dir;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(ROTAVEX_RUNNING_GAME_CHILD), { dir.path(), scenario });
    QVERIFY(child.waitForStarted(kProcessCapMs));
    int lastKept = 0;
    bool seen = false;
    while (!seen) {
        QVERIFY2(child.state() == QProcess::Running && child.waitForReadyRead(kProcessCapMs),
            "the child ended before it played");
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("kept ")) {
                lastKept = line.mid(5).toInt();
            }
            seen = seen || line == killAfter;
        }
    }
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(kProcessCapMs));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    {
        ResultsStore store(dir.path());
        const QString notice = store.takeNotice();
        QCOMPARE(notice.contains(QLatin1String("interrupted game")), interrupted);
        QCOMPARE(store.gameCount(), games);
        const std::optional<GameRecord> game = store.game(store.recentGames(0, 1).first().id);
        QVERIFY(game);
        QCOMPARE(game->complete, complete);
        // Every tick the child reported kept is in the file, the players with their samples.
        QVERIFY2(game->ticks >= lastKept, qPrintable(QString::number(game->ticks)));
        QCOMPARE(game->players.size(), 2);
        QCOMPARE(game->players[0].name, QStringLiteral("Ann"));
        QCOMPARE(game->players[1].port, QStringLiteral("ttyS2"));
        QCOMPARE(game->players[0].samples.size(), game->ticks);
        QVERIFY(game->players[1].bestRpm >= 3200);
    }
    // Said once: the next start finds nothing left.
    ResultsStore again(dir.path());
    QCOMPARE(again.takeNotice(), QString());
    QCOMPARE(again.gameCount(), games);
}

QTEST_GUILESS_MAIN(tst_RunningGame)
#include "tst_running_game.moc"
