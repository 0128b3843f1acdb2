// SPDX-License-Identifier: MIT
// One refresh tick of each play mode against a board that does nothing, so the figure is the
// cost of the filters, records, formatting and chart bookkeeping alone.
#include "measurement/speed_mode.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace
{

using rotavex::PlayerSlot;

class NullBoard final : public speed_mode::Board
{
public:
    void setNameCaption(PlayerSlot, const QString &) override { }
    void setSpeedCaption(PlayerSlot, const QString &) override { }
    void setRecordCaption(PlayerSlot, const QString &) override { }
    QString recordTag(PlayerSlot) const override { return QString(); }
    void setRecordTag(PlayerSlot, const QString &) override { }
    void setBarValue(PlayerSlot, double) override { }
    double barValue(PlayerSlot) const override { return 0.0; }
    void setBarColour(PlayerSlot, quint32) override { }
    double bigDisplayValue() const override { return 0.0; }
    void setBigDisplayValue(qint32) override { }
    void setChartData(const speed_mode::ChartTable &table) override
    {
        benchmark::DoNotOptimize(&table);
    }
    void setChartColumnLabel(int, const QString &) override { }
};

using Update = void (*)(speed_mode::MeasurementState &, rotavex::PlayerRpm &,
    const rotavex::PlayerName &, speed_mode::Board &, bool);

// Four players at a steady speed, so every tick is accepted and writes the whole board
// (the empty record tags make every record be rewritten too).
void runTicks(benchmark::State &benchState, Update update)
{
    const rotavex::PlayerRpm steady { { 7500, 12000, 3000, 16000 } };
    const rotavex::PlayerName names { { QStringLiteral("Ann"), QStringLiteral("Ben"),
        QStringLiteral("Cy"), QStringLiteral("Dee") } };
    speed_mode::MeasurementState state;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        state.filters[p] = { steady[p], steady[p], steady[p], steady[p] };
    }
    NullBoard board;
    rotavex::PlayerRpm playerRpm = steady;
    for (auto _ : benchState) {
        playerRpm = steady;
        update(state, playerRpm, names, board, false);
        benchmark::DoNotOptimize(playerRpm);
    }
}

void BM_SpeedTick(benchmark::State &benchState)
{
    runTicks(benchState, speed_mode::UpdateSpeedMode);
}
BENCHMARK(BM_SpeedTick);

void BM_StrengthTick(benchmark::State &benchState)
{
    runTicks(benchState, speed_mode::UpdateStrengthMode);
}
BENCHMARK(BM_StrengthTick);

} // namespace

BENCHMARK_MAIN();
