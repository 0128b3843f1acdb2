// SPDX-License-Identifier: MIT
// The results file at the moments a user could feel it: recording a game when it ends (a 90-s
// Strength game of four players, one transaction on a real file), opening the file at start-up
// and opening the high-score window up to its first painted frame, over 10, 10 000 and 100 000
// recorded games.
#include "game/game_log.h"
#include "measurement/speed_mode.h"
#include "results/results_store.h"
#include "scores/frm_score.h"

#include <QApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

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

} // namespace

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
