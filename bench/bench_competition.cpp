// SPDX-License-Identifier: MIT
// The competition at the two moments an organiser waits for it: planning the heats of a big
// evening (200 players, 8 rounds) and opening the Competition window on an evening of 40
// players over 8 rounds, half played, from a real results file, up to its first painted frame.
#include "competition/competition_store.h"
#include "competition/frm_competition.h"
#include "competition/lineup.h"
#include "results/results_store.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace
{

using namespace competition;

void BM_Lineup(benchmark::State &state)
{
    const int players = int(state.range(0));
    const int rounds = int(state.range(1));
    QList<PlayerId> roster;
    for (int i = 1; i <= players; ++i) {
        roster.append(i);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlanLineup(roster, rounds, {}));
    }
}

void BM_OpenCompetitionWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(games.filePath());
    Competition c;
    c.settings = Settings { QStringLiteral("Big night"), PlayMode::Strength, 60, 8 };
    QStringList names;
    for (int i = 1; i <= 40; ++i) {
        names.append(QStringLiteral("Player %1").arg(i));
    }
    AddPlayers(c, names);
    // Half the heats played, every fifth heat redone, someone absent now and then.
    const int half = int(c.heats.size()) / 2;
    for (int h = 0; h < half; ++h) {
        for (int attempt = 0; attempt < (h % 5 == 0 ? 2 : 1); ++attempt) {
            QList<SeatResult> seats;
            for (int d = 0; d < kDevices; ++d) {
                const PlayerId id = c.heats[h].seats[std::size_t(d)];
                if (id != kNoPlayer) {
                    seats.append(SeatResult { id, d + 1, (id + h) % 17 == 0,
                        1000.0 + (id * 37 + h * 11) % 400, 6000 + (id * 53) % 5000 });
                }
            }
            RecordAttempt(c, seats, 0, attempt > 0);
        }
    }
    store.save(c);
    for (auto _ : state) {
        frmCompetition window(store);
        window.show();
        window.repaint();
        benchmark::DoNotOptimize(window.current());
    }
    state.counters["heats"] = double(c.heats.size());
}

} // namespace

BENCHMARK(BM_Lineup)->Args({ 200, 8 })->Args({ 40, 8 })->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCompetitionWindow)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
