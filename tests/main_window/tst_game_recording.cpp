// SPDX-License-Identifier: MIT
#include "evening/evening.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"
#include "main_window/stop_signals.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "support/pty_pair.h"
#include "support/widget_lookup.h"

#include "../results/game_fixtures.h"

#include "main_window/speed_bar.h"
#include "widgets/tag_label.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <QTimer>

#include <chrono>

#include <cmath>
#include <csignal>
#include <memory>
#include <unistd.h>

using namespace results;

namespace
{

using test_support::control;

QList<QMessageBox *> noticeBoxes(const frmMain &w)
{
    return w.findChildren<QMessageBox *>(QStringLiteral("msgResults"));
}

// The frame a device sends for one revolution of 1000 × 8 µs, that is 7500 rpm.
const QByteArray kFrame7500("<\x03\xE8>", 4);

// One refresh tick with a fresh frame from each device.
void tickWithFrames(frmMain &w, const QList<std::pair<rotavex::PlayerSlot, PtyPair *>> &devices)
{
    // The watchdog's tick between a frame's arrival and the look at it would mark the link
    // unseen again; these seconds are made by hand, so it waits.
    w.evening()
        .findChild<QTimer *>(QStringLiteral("tmrTimeout"))
        ->setInterval(std::chrono::hours(1));
    for (const auto &[player, device] : devices) {
        w.links().linkSeen()[player] = -1;
        QVERIFY(device->write(kFrame7500));
        QTRY_COMPARE(w.links().linkSeen()[player], qint16(0));
    }
    w.tmrRefresh_Timer();
}

QPushButton *button(const frmMain &w, const char *name)
{
    return control<QPushButton>(w, QLatin1String(name));
}

} // namespace

// The main window with a real results file: what is recorded when games end, the score button,
// and how problems with the file reach the user.
class tst_GameRecording : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_settings = std::make_unique<TempSettings>(); }
    void cleanup() { m_settings.reset(); }

    void speedGameRecordedWhenStopped();
    void strengthGameEnd_data();
    void strengthGameEnd();
    void stoppedAndResumedIsOneGame();
    void gameWithoutAcceptedTickNotRecorded();
    void unwritableFileKeepsTheGameForTheRun();
    void closeAsksWhileGamesWait_data();
    void closeAsksWhileGamesWait();
    void scoreButtonOpensTheBoard();
    void unreadableFileToldOnceWithoutBlocking();
    // Last: ending by a signal ends the application's event loops for the rest of the run.
    void stopSignalEndsTheGame_data();
    void stopSignalEndsTheGame();

private:
    std::unique_ptr<TempSettings> m_settings;
};

void tst_GameRecording::speedGameRecordedWhenStopped()
{
    TempRuntimeDir runtime;
    PtyPair second;
    PtyPair third;
    QVERIFY(second.exposeAs(runtime.portDir(), 2));
    QVERIFY(third.exposeAs(runtime.portDir(), 3));
    QTemporaryDir dir;
    qint64 id = 0;
    {
        ResultsStore store(dir.path());
        evening::Evening wEvening(&store);
        frmMain w(wEvening);
        QCOMPARE(w.links().open(2, 2), std::nullopt);
        button(w, "CmdStart")->click();
        const QDateTime started = QDateTime::currentDateTime();
        for (int tick = 0; tick < 3; ++tick) {
            tickWithFrames(w, { { 2, &second } });
        }
        // Player 3 joins during the game; player 1 and 4 never had a link.
        QCOMPARE(w.links().open(3, 3), std::nullopt);
        tickWithFrames(w, { { 2, &second }, { 3, &third } });
        QCOMPARE(store.gameCount(), 0);
        button(w, "CmdStart")->click();

        QCOMPARE(store.gameCount(), 1);
        const GameSummary summary = store.recentGames(0, 1).first();
        id = summary.id;
        QVERIFY(qAbs(summary.startedAt.secsTo(started)) < 60);
        QCOMPARE(summary.startedAt.offsetFromUtc(), started.offsetFromUtc());
        const auto *record = control<widgets::TagLabel>(w, QStringLiteral("lblHI2"));
        QCOMPARE(record->tag(), QStringLiteral("7500"));
        QVERIFY2(record->toolTip().contains(QLatin1String("7500")), qPrintable(record->toolTip()));
        QVERIFY(!Qt::mightBeRichText(record->toolTip()));
    }
    // Found again after a restart.
    ResultsStore restarted(dir.path());
    const std::optional<GameRecord> game = restarted.game(id);
    QVERIFY(game);
    QCOMPARE(game->mode, PlayMode::Speed);
    QVERIFY(game->complete);
    QVERIFY(!game->presetSeconds);
    QVERIFY(game->ticks >= 4);
    QCOMPARE(game->players.size(), 2);
    const PlayerResult &p2 = game->players[0];
    QCOMPARE(p2.player, rotavex::PlayerSlot(2));
    QCOMPARE(p2.name, QStringLiteral("PLAYER 2"));
    QCOMPARE(p2.port, QStringLiteral("COM2"));
    QCOMPARE(p2.bestRpm, 7500);
    QCOMPARE(p2.samples.size(), game->ticks);
    QCOMPARE(p2.samples.last(), 7500);
    QVERIFY(!p2.revolutions);
    QCOMPARE(game->players[1].player, rotavex::PlayerSlot(3));
    QCOMPARE(restarted.ranking(BestList::Speed).first().name, QStringLiteral("PLAYER 2"));
}

void tst_GameRecording::strengthGameEnd_data()
{
    QTest::addColumn<bool>("runOut");
    QTest::newRow("countdown runs out: complete, in the list") << true;
    QTest::newRow("stopped early: not complete, not in the list") << false;
}

void tst_GameRecording::strengthGameEnd()
{
    QFETCH(bool, runOut);
    TempRuntimeDir runtime;
    PtyPair device;
    QVERIFY(device.exposeAs(runtime.portDir(), 1));
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    QCOMPARE(w.links().open(1, 1), std::nullopt);
    button(w, "cmdStr")->click(); // 90 -> 30 s
    control<QAbstractButton>(w, QStringLiteral("OptMode1"))->click();
    button(w, "CmdStart")->click();
    tickWithFrames(w, { { 1, &device } });
    tickWithFrames(w, { { 1, &device } });
    const int countdownTicks = runOut ? 30 : 5;
    for (int i = 0; i < countdownTicks; ++i) {
        w.tmrRefresh_Timer();
        w.tmrStrenght_Timer();
    }
    if (!runOut) {
        button(w, "CmdStart")->click();
    }
    QVERIFY(!button(w, "CmdStart")->isChecked());
    QCOMPARE(store.gameCount(), 1);
    const std::optional<GameRecord> game = store.game(store.recentGames(0, 1).first().id);
    QCOMPARE(game->mode, PlayMode::Strength);
    QCOMPARE(game->presetSeconds, 30);
    QCOMPARE(game->complete, runOut);
    QCOMPARE(game->players.size(), 1);
    QVERIFY(*game->players[0].revolutions > 0);
    QCOMPARE(*game->players[0].meanRpm,
        qint32(control<main_window::SpeedBar>(w, QStringLiteral("pbar1"))->value()));
    QCOMPARE(store.ranking(BestList::Strength30).size(), runOut ? 1 : 0);
}

// Stopped with seconds left and started again, a Strength game goes on to its end and stays
// one game in the history, with every second played, kept out of the complete-game lists.
void tst_GameRecording::stoppedAndResumedIsOneGame()
{
    TempRuntimeDir runtime;
    PtyPair device;
    QVERIFY(device.exposeAs(runtime.portDir(), 1));
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    QCOMPARE(w.links().open(1, 1), std::nullopt);
    button(w, "cmdStr")->click(); // 90 -> 30 s
    control<QAbstractButton>(w, QStringLiteral("OptMode1"))->click();
    const auto second = [&w, &device] {
        tickWithFrames(w, { { 1, &device } });
        w.tmrStrenght_Timer();
    };
    button(w, "CmdStart")->click();
    for (int i = 0; i < 5; ++i) {
        second();
    }
    button(w, "CmdStart")->click();
    QCOMPARE(store.gameCount(), 1);
    const auto *speed = control<widgets::TagLabel>(w, QStringLiteral("lblRPM1"));
    const QString atStop = speed->text();

    button(w, "CmdStart")->click();
    QCOMPARE(
        control<widgets::TagLabel>(w, QStringLiteral("lblHI1"))->text(), QStringLiteral("0 rpm"));
    QCOMPARE(speed->text(), QStringLiteral("0 rev"));
    for (int i = 0; i < 25; ++i) {
        second();
    }
    QVERIFY(!button(w, "CmdStart")->isChecked());
    QVERIFY(speed->text() != atStop);

    QCOMPARE(store.gameCount(), 1);
    const std::optional<GameRecord> game = store.game(store.recentGames(0, 1).first().id);
    QVERIFY(game);
    QCOMPARE(game->ticks, 30);
    QVERIFY(!game->complete);
    QCOMPARE(game->players.size(), 1);
    QCOMPARE(game->players[0].bestRpm, 7500);
    // The revolutions of both parts: 28 seconds at 7500 rpm (each start's first refresh
    // finds an empty filter window).
    QCOMPARE(std::llround(*game->players[0].revolutions), 3500);
    QVERIFY(store.ranking(BestList::Strength30).isEmpty());
}

void tst_GameRecording::gameWithoutAcceptedTickNotRecorded()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    button(w, "CmdStart")->click();
    button(w, "CmdStart")->click();
    QCOMPARE(store.gameCount(), 0);
}

void tst_GameRecording::unwritableFileKeepsTheGameForTheRun()
{
    TempRuntimeDir runtime;
    PtyPair device;
    QVERIFY(device.exposeAs(runtime.portDir(), 1));
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    w.show();
    QCOMPARE(w.links().open(1, 1), std::nullopt);
    QSqlDatabase other =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
    other.setDatabaseName(dir.filePath(QStringLiteral("results.sqlite")));
    QVERIFY(other.open());
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));

    for (int game = 0; game < 2; ++game) {
        button(w, "CmdStart")->click();
        tickWithFrames(w, { { 1, &device } });
        button(w, "CmdStart")->click();
    }
    QTRY_COMPARE(noticeBoxes(w).size(), 1);
    QVERIFY(
        noticeBoxes(w).first()->text().contains(dir.filePath(QStringLiteral("results.sqlite"))));
    // Wide enough for each of its lines: the file's path is never broken after a "/".
    const auto *label = noticeBoxes(w).first()->findChild<QLabel *>("qt_msgbox_label");
    QVERIFY(label);
    for (const QString &line : noticeBoxes(w).first()->text().split(u'\n')) {
        QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(line) <= label->width(),
            qPrintable(line));
    }
    QCOMPARE(store.gameCount(), 2);
    button(w, "CmdScore")->click();
    QCOMPARE(w.scoreWindow()
                 ->findChild<QAbstractItemView *>(QStringLiteral("lstGames"))
                 ->model()
                 ->rowCount(),
        2);

    QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    // Once the lock is gone the waiting games are written by themselves, and the user hears so.
    QTRY_VERIFY_WITH_TIMEOUT(store.isSaved(), 20000);
    QTRY_COMPARE(noticeBoxes(w).size(), 2);
    QCOMPARE(ResultsStore(dir.path()).gameCount(), 2);
}

void tst_GameRecording::stopSignalEndsTheGame_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void tst_GameRecording::stopSignalEndsTheGame()
{
    QFETCH(int, signal);
    TempRuntimeDir runtime;
    PtyPair device;
    QVERIFY(device.exposeAs(runtime.portDir(), 1));
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    main_window::StopSignals stopSignals;
    connect(&stopSignals, &main_window::StopSignals::received, &w, &frmMain::endBySignal);
    w.show();
    QCOMPARE(w.links().open(1, 1), std::nullopt);
    // Strength: a signal mid-countdown leaves an incomplete game.
    control<QAbstractButton>(w, QStringLiteral("OptMode1"))->click();
    button(w, "CmdStart")->click();
    tickWithFrames(w, { { 1, &device } });
    QCOMPARE(store.gameCount(), 0);
    QVERIFY(::kill(::getpid(), signal) == 0);
    QTRY_COMPARE(store.gameCount(), 1);
    const std::optional<GameRecord> game = store.game(store.recentGames(0, 1).first().id);
    QVERIFY(game);
    QCOMPARE(game->mode, PlayMode::Strength);
    QVERIFY(!game->complete);
    QCOMPARE(game->players.size(), 1);
    QVERIFY(!w.links().isOpen(1));
}

void tst_GameRecording::closeAsksWhileGamesWait_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("written");
    QTest::newRow("try again once the lock is gone") << "cmdTryAgain" << true;
    QTest::newRow("go back") << "cancel" << false;
}

void tst_GameRecording::closeAsksWhileGamesWait()
{
    QFETCH(QString, answer);
    QFETCH(bool, written);
    TempRuntimeDir runtime;
    PtyPair device;
    QVERIFY(device.exposeAs(runtime.portDir(), 1));
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    w.show();
    QCOMPARE(w.links().open(1, 1), std::nullopt);
    auto other = std::make_unique<QSqlDatabase>(
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other")));
    other->setDatabaseName(dir.filePath(QStringLiteral("results.sqlite")));
    QVERIFY(other->open());
    QVERIFY(QSqlQuery(*other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
    button(w, "CmdStart")->click();
    tickWithFrames(w, { { 1, &device } });
    button(w, "CmdStart")->click();
    QCOMPARE(store.pendingGames().size(), 1);

    // The question is modal: it is answered from inside its own event loop.
    QString asked;
    QTimer answerer;
    answerer.setInterval(20);
    connect(&answerer, &QTimer::timeout, &w, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box->objectName() != QLatin1String("msgUnsavedResults")) {
            return;
        }
        answerer.stop();
        asked = box->text();
        if (answer == QLatin1String("cancel")) {
            box->button(QMessageBox::Cancel)->click();
            return;
        }
        QSqlQuery(*other).exec(QStringLiteral("ROLLBACK"));
        box->findChild<QPushButton *>(answer)->click();
    });
    answerer.start();
    // Closing the window asks as Quit does (Quit would also end the test's event loops).
    w.close();
    QVERIFY2(asked.contains(dir.filePath(QStringLiteral("results.sqlite"))), qPrintable(asked));
    QCOMPARE(w.isVisible(), !written);
    QCOMPARE(store.isSaved(), written);
    QCOMPARE(store.pendingGames().size(), written ? 0 : 1);
    if (!written) {
        QSqlQuery(*other).exec(QStringLiteral("ROLLBACK"));
    }
    other->close();
    other.reset();
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
}

void tst_GameRecording::scoreButtonOpensTheBoard()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord game = fixtures::Speed(fixtures::At(1, 20), { { "Ann", 7000 } });
    store.addGame(game);
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    w.show();
    QVERIFY(!w.scoreWindow());
    control<QPushButton>(w, QStringLiteral("CmdScore"))->click();
    frmScore *score = w.scoreWindow();
    QVERIFY(score);
    QVERIFY(score->isVisible());
    QCOMPARE(score->objectName(), QStringLiteral("frmScore"));
    QCOMPARE(control<QTableWidget>(*score, QStringLiteral("lstBestSpeed"))->item(0, 1)->text(),
        QStringLiteral("Ann"));
    // A second click brings the same window back rather than opening another.
    control<QPushButton>(w, QStringLiteral("CmdScore"))->click();
    QCOMPARE(w.findChildren<frmScore *>().size(), 1);
    score->close();
    QTRY_VERIFY(!w.scoreWindow());
}

void tst_GameRecording::unreadableFileToldOnceWithoutBlocking()
{
    QTemporaryDir dir;
    {
        QFile file(dir.filePath(QStringLiteral("results.sqlite")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<b>not</b> a database");
    }
    // As the program starts: the window opens the file once it has shown its first picture.
    ResultsStore store(
        dir.path(), ResultsStore::Access::ReadWrite, ResultsStore::Opening::Deferred);
    evening::Evening wEvening(&store);
    frmMain w(wEvening);
    const QStringList unreadable { QStringLiteral("results.sqlite.unreadable-*") };
    QVERIFY(QDir(dir.path()).entryList(unreadable).isEmpty());
    w.show();
    QTRY_COMPARE(noticeBoxes(w).size(), 1);
    QMessageBox *box = noticeBoxes(w).first();
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QVERIFY(!box->isModal());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    const QStringList aside = QDir(dir.path()).entryList(unreadable);
    QCOMPARE(aside.size(), 1);
    QVERIFY(box->text().contains(dir.filePath(aside.first())));
    box->close();
    QTRY_VERIFY(noticeBoxes(w).isEmpty());

    evening::Evening againEvening(&store);

    frmMain again(againEvening);
    again.show();
    QTest::qWait(50);
    QVERIFY(noticeBoxes(again).isEmpty());
}

QTEST_MAIN(tst_GameRecording)
#include "tst_game_recording.moc"
