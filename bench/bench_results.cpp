// SPDX-License-Identifier: MIT
// The results file at the moments a user could feel it: recording a game when it ends (a 90-s
// Strength game of four players, one transaction on a real file), opening the file at start-up
// and opening the high-score window up to its first painted frame, over 10, 10 000 and 100 000
// recorded games. Then the longest event-loop stall while another program holds the file's write
// lock across a game's end (retries and all), beside the same game on a free file.
#include "game/game_log.h"
#include "game/game_session.h"
#include "measurement/speed_mode.h"
#include "results/game_recorder.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "support/stall_meter.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

namespace
{

using rotavex::PlayerSlot;

// A full 90-s game: every tick accepted, four players at wavering speeds, as the main window
// leaves it when the countdown ends.
struct EndedGame {
    game::GameLog log;
    speed_mode::MeasurementState state;
    rotavex::PlayerName names;
    rotavex::PerPlayer<QString> ports;
};

void playGame(EndedGame &game, const QDateTime &start, int seed = 0)
{
    game.log.begin({ start, rotavex::PlayMode::Strength, 90 },
        rotavex::PerPlayer<bool>(std::array { true, true, true, true }));
    for (int tick = 0; tick < 90; ++tick) {
        rotavex::PlayerRpm rpm;
        for (PlayerSlot p = 1; p <= 4; ++p) {
            rpm[p] = 4000 + 1500 * p + (tick * 37 * p) % 900 + (seed * 7919 + p * 104729) % 3000;
            game.state.RevTotal[p] += rpm[p] / 60.0;
            game.state.RpmSum[p] += rpm[p];
        }
        ++game.state.StrengthTicks;
        game.log.acceptedTick(rpm);
    }
    for (PlayerSlot p = 1; p <= 4; ++p) {
        game.names[p] = QStringLiteral("Player %1").arg(p);
        game.ports[p] = QStringLiteral("COM%1").arg(p);
    }
}

void BM_RecordStrengthGame90s4Players(benchmark::State &state)
{
    QTemporaryDir dir;
    results::ResultsStore store(dir.path());
    QDateTime start = QDateTime::currentDateTime();
    for (auto _ : state) {
        state.PauseTiming();
        EndedGame game;
        start = start.addSecs(120);
        playGame(game, start);
        state.ResumeTiming();
        std::optional<results::GameRecord> record =
            game.log.finish(true, game.names, game.ports, game.state);
        benchmark::DoNotOptimize(store.addGame(*record));
    }
}

// A results file of `games` varied games (half Speed, half Strength across the three presets),
// made once per size and kept for the run. The first games go through the store so the file is
// set up as the program sets it up; the rest are copied in bulk in one transaction, which takes
// seconds where recording them one by one would take minutes.
QString filledFolder(int games)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    auto &dir = folders[games];
    if (dir) {
        return dir->path();
    }
    dir = std::make_unique<QTemporaryDir>();
    QList<results::GameRecord> kinds;
    {
        results::ResultsStore store(dir->path());
        QDateTime start = QDateTime::currentDateTime().addDays(-1);
        for (int i = 0; i < 30; ++i) {
            EndedGame game;
            start = start.addSecs(600);
            playGame(game, start, i); // games differ, as real ones do
            std::optional<results::GameRecord> record =
                game.log.finish(i % 5 != 0, game.names, game.ports, game.state);
            if (i % 2 == 0) {
                record->mode = rotavex::PlayMode::Speed;
                record->presetSeconds.reset();
                for (results::PlayerResult &p : record->players) {
                    p.revolutions.reset();
                    p.meanRpm.reset();
                }
            }
            record->presetSeconds = record->mode == rotavex::PlayMode::Strength
                ? std::optional<int>(30 * (1 + i % 3))
                : std::nullopt;
            kinds.append(*record);
            if (i < std::min(games, 30)) {
                store.addGame(*record);
            }
        }
    }
    if (games <= 30) {
        return dir->path();
    }
    const QString name = QStringLiteral("bench-fill");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dir->filePath(QStringLiteral("results.sqlite")));
        db.open();
        db.transaction();
        QSqlQuery game(db);
        game.prepare(QStringLiteral("INSERT INTO games (started_at, started_ms, mode, preset_s, "
                                    "ticks, complete) VALUES (?, ?, ?, ?, ?, ?)"));
        QSqlQuery player(db);
        player.prepare(
            QStringLiteral("INSERT INTO game_players (game_id, player, name, port, best_rpm, "
                           "revolutions, mean_rpm, samples, list) VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
                           "?)"));
        const QByteArray samples(90 * 4, '\x10');
        QDateTime start = QDateTime::currentDateTime().addDays(-games);
        for (int i = 30; i < games; ++i) {
            const results::GameRecord &kind = kinds[i % kinds.size()];
            start = start.addSecs(600);
            game.addBindValue(start.toString(Qt::ISODate));
            game.addBindValue(start.toMSecsSinceEpoch());
            game.addBindValue(int(kind.mode));
            game.addBindValue(kind.presetSeconds ? QVariant(*kind.presetSeconds) : QVariant());
            game.addBindValue(kind.ticks);
            game.addBindValue(kind.complete ? 1 : 0);
            game.exec();
            const qint64 id = game.lastInsertId().toLongLong();
            for (const results::PlayerResult &p : kind.players) {
                player.addBindValue(id);
                player.addBindValue(int(p.player));
                player.addBindValue(p.name);
                player.addBindValue(p.port);
                // Spread the results so rankings do not meet one huge tie.
                player.addBindValue(p.bestRpm - (i * 7) % 1000);
                player.addBindValue(
                    p.revolutions ? QVariant(*p.revolutions - (i * 13) % 700) : QVariant());
                player.addBindValue(p.meanRpm ? QVariant(*p.meanRpm) : QVariant());
                player.addBindValue(samples);
                const std::optional<results::BestList> list = results::ListOf(kind);
                player.addBindValue(list ? QVariant(int(*list)) : QVariant());
                player.exec();
            }
        }
        db.commit();
        // As a program run leaves it: the journal written back into the file.
        QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return dir->path();
}

// Opening the results file as start-up does; it must not read the history.
void BM_OpenStore(benchmark::State &state)
{
    const QString folder = filledFolder(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        results::ResultsStore store(folder);
        benchmark::DoNotOptimize(store.takeNotice());
    }
}

void BM_OpenScoreWindow(benchmark::State &state)
{
    results::ResultsStore store(filledFolder(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        frmScore window(store);
        window.show();
        window.repaint();
        benchmark::DoNotOptimize(window.selectedGame());
    }
    state.counters["games"] = store.gameCount();
}

// Another program's hold on the file's write lock, from a thread of its own (as another process
// would, it never runs on the measured thread) until release().
class LockHolder
{
public:
    explicit LockHolder(const QString &path)
        : m_thread([this, path] {
            const QString name = QStringLiteral("bench-lock-holder");
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(path);
                db.open();
                QSqlQuery(db).exec(QStringLiteral("BEGIN EXCLUSIVE"));
                m_held.release();
                m_release.acquire();
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        })
    {
        m_held.acquire();
    }
    ~LockHolder() { release(); }
    void release()
    {
        if (m_thread.joinable()) {
            m_release.release();
            m_thread.join();
        }
    }

private:
    QSemaphore m_held;
    QSemaphore m_release;
    std::thread m_thread;
};

// A Speed game of 30 ticks (one every 100 ms, each kept in the file as it runs) on a file of
// 10 000 games; with range(0) another program holds the write lock from the fifth tick until
// 8 s after the game's end, so the game waits and is retried (after 1, 2 and 4 s) before it
// lands. Counters: the longest gap of a 5 ms timer over the whole run, the longest and the mean
// refresh tick (the session's work and the write of the kept game), the game's end (the
// attempt to write it), the wait until it was saved.
void BM_LockedAcrossGameEnd(benchmark::State &state)
{
    const bool locked = state.range(0) != 0;
    const QString folder = filledFolder(10000);
    for (auto _ : state) {
        QTemporaryDir dir;
        QFile::copy(QDir(folder).filePath(QStringLiteral("results.sqlite")),
            dir.filePath(QStringLiteral("results.sqlite")));
        results::ResultsStore store(dir.path());
        results::GameRecorder recorder(&store);
        game::GameSession session;
        QObject::connect(
            &session, &game::GameSession::ended, &recorder, &results::GameRecorder::take);
        QObject::connect(
            &session, &game::GameSession::progressed, &recorder, &results::GameRecorder::keep);
        for (PlayerSlot p = 1; p <= 4; ++p) {
            session.setLink(p, true, QStringLiteral("ttyS%1").arg(p));
        }
        std::unique_ptr<LockHolder> other;
        StallMeter meter;
        session.start(rotavex::PlayMode::Speed, QDateTime::currentDateTime());
        port_events::LatestSamples latest;
        qint64 longestTickNs = 0;
        qint64 allTicksNs = 0;
        QElapsedTimer clock;
        for (int tick = 1; tick <= 30; ++tick) {
            if (locked && tick == 5) {
                other = std::make_unique<LockHolder>(store.filePath());
            }
            for (PlayerSlot p = 1; p <= 4; ++p) {
                latest.rpm[p] = 5000 + 100 * p + tick % 7;
                ++latest.stored[p];
            }
            clock.start();
            session.refreshTick(latest);
            const qint64 ns = clock.nsecsElapsed();
            longestTickNs = std::max(longestTickNs, ns);
            allTicksNs += ns;
            QTest::qWait(100);
        }
        clock.start();
        session.stop();
        state.counters["end_ms"] = double(clock.nsecsElapsed()) / 1e6;
        if (other) {
            QTest::qWait(8000);
            other->release();
        }
        if (!QTest::qWaitFor([&store] { return store.isSaved(); }, 120000)) {
            state.SkipWithError("the game never landed");
        }
        state.counters["stall_ms"] = double(meter.longestMs());
        state.counters["tick_max_ms"] = double(longestTickNs) / 1e6;
        state.counters["tick_mean_ms"] = double(allTicksNs) / 30 / 1e6;
        state.counters["saved_after_ms"] = double(clock.elapsed());
        state.counters["games_added"] = store.gameCount() - 10000;
    }
}

} // namespace

BENCHMARK(BM_LockedAcrossGameEnd)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("locked")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_RecordStrengthGame90s4Players)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStore)
    ->Arg(10)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_OpenScoreWindow)
    ->Arg(10)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
