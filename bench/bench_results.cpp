// SPDX-License-Identifier: MIT
// The results file at the two moments a user could feel it: recording a game when it ends (a
// 90-s Strength game of four players, one transaction on a real file) and opening the
// high-score window over ten thousand recorded games, up to its first painted frame.
#include "game/game_log.h"
#include "measurement/speed_mode.h"
#include "results/results_store.h"
#include "scores/frm_score.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
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
    game.log.begin({ start, results::GameMode::Strength, 90 },
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

void BM_OpenScoreWindow(benchmark::State &state)
{
    const int games = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    results::ResultsStore store(dir.path());
    QDateTime start = QDateTime::currentDateTime().addDays(-games);
    for (int i = 0; i < games; ++i) {
        EndedGame game;
        start = start.addSecs(600);
        playGame(game, start, i); // games differ, as real ones do
        std::optional<results::GameRecord> record =
            game.log.finish(i % 5 != 0, game.names, game.ports, game.state);
        if (i % 2 == 0) {
            record->mode = results::GameMode::Speed;
            record->presetSeconds.reset();
            for (results::PlayerResult &p : record->players) {
                p.revolutions.reset();
                p.meanRpm.reset();
            }
        }
        record->presetSeconds = record->mode == results::GameMode::Strength
            ? std::optional<int>(30 * (1 + i % 3))
            : std::nullopt;
        store.addGame(*record);
    }
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
BENCHMARK(BM_OpenScoreWindow)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(20);

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
