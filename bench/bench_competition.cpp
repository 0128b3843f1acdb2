// SPDX-License-Identifier: MIT
// The competition at the moments an organiser waits for it: planning the heats of a big
// evening (200 players, 8 rounds), opening the Competition window on an evening of 40 players
// over 8 rounds, half played, from a real results file, up to its first painted frame; and a
// roster of 10 000 (half of them one name): creating it, adding one late player, opening the
// window on it.
#include "competition/competition_store.h"
#include "competition/frm_competition.h"
#include "competition/lineup.h"
#include "competition/running_competition.h"
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

// Half the heats played, every fifth heat redone, someone absent now and then.
void playHalf(Competition &c)
{
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
}

void BM_OpenCompetitionWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    Competition c;
    c.settings = Settings { QStringLiteral("Big night"), PlayMode::Strength, 60, 8 };
    QStringList names;
    for (int i = 1; i <= 40; ++i) {
        names.append(QStringLiteral("Player %1").arg(i));
    }
    AddPlayers(c, names);
    playHalf(c);
    store.save(c);
    for (auto _ : state) {
        RunningCompetition model(store);
        model.resume();
        frmCompetition window(model);
        window.show();
        window.repaint();
        benchmark::DoNotOptimize(model.current());
    }
    state.counters["heats"] = double(c.heats.size());
}

// 10 000 lines, the second half all the same name.
QString bigRoster()
{
    QStringList lines;
    for (int i = 1; i <= 10000; ++i) {
        lines.append(i <= 5000 ? QStringLiteral("Player %1").arg(i) : QStringLiteral("Sam"));
    }
    return lines.join(u'\n');
}

// From the pasted roster to the competition in the file, as Create competition does.
void BM_Roster10000Create(benchmark::State &state)
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    const QString roster = bigRoster();
    for (auto _ : state) {
        Competition c;
        c.settings = Settings { QStringLiteral("Huge night"), PlayMode::Strength, 60, 4 };
        AddPlayers(c, ParseRoster(roster));
        benchmark::DoNotOptimize(store.save(c));
    }
}

Competition savedBigCompetition(CompetitionStore &store)
{
    Competition c;
    c.settings = Settings { QStringLiteral("Huge night"), PlayMode::Strength, 60, 4 };
    AddPlayers(c, ParseRoster(bigRoster()));
    playHalf(c);
    store.save(c);
    return c;
}

// One late player joins the 10 000, half their heats played, and the competition is saved, as
// Add players does.
void BM_Roster10000AddOne(benchmark::State &state)
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    Competition c = savedBigCompetition(store);
    int late = 0;
    for (auto _ : state) {
        AddPlayers(c, { QStringLiteral("Late %1").arg(++late) });
        benchmark::DoNotOptimize(store.save(c));
    }
}

// The Competition window opened on the 10 000, half their heats played, read from the file, to
// its first painted frame.
void BM_Roster10000OpenWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    savedBigCompetition(store);
    for (auto _ : state) {
        CompetitionStore reader(&games);
        RunningCompetition model(reader);
        model.resume();
        frmCompetition window(model);
        window.show();
        window.repaint();
        benchmark::DoNotOptimize(model.current());
    }
}

// The window opened on 40 players whose names are as long as a name may be (32 767 characters),
// in a competition of such a name.
void BM_LongNamesOpenWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    results::ResultsStore games(dir.path());
    CompetitionStore store(&games);
    Competition c;
    c.settings = Settings { QString(kMaxNameLength, u'C'), PlayMode::Strength, 60, 4 };
    QStringList names;
    for (int i = 0; i < 40; ++i) {
        names.append(QString(kMaxNameLength - 3, QChar(u'a' + i % 26)) + QString::number(100 + i));
    }
    AddPlayers(c, names);
    store.save(c);
    for (auto _ : state) {
        CompetitionStore reader(&games);
        RunningCompetition model(reader);
        model.resume();
        frmCompetition window(model);
        window.show();
        window.repaint();
        benchmark::DoNotOptimize(model.current());
    }
}

} // namespace

BENCHMARK(BM_LongNamesOpenWindow)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Roster10000Create)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Roster10000AddOne)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Roster10000OpenWindow)->Unit(benchmark::kMillisecond)->Iterations(3);
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
