// SPDX-License-Identifier: MIT
// One refresh tick of each play mode on its own, so the figure is the cost of the filters,
// records and chart bookkeeping alone, without a view.
#include "measurement/speed_mode.h"

#include <benchmark/benchmark.h>

namespace
{

using rotavex::PlayerSlot;

using Update = bool (*)(speed_mode::MeasurementState &, rotavex::PlayerRpm &, bool);

// Four players at a steady speed, so every tick is accepted and updates every value.
void runTicks(benchmark::State &benchState, Update update)
{
    const rotavex::PlayerRpm steady { { 7500, 12000, 3000, 16000 } };
    speed_mode::MeasurementState state;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        state.filters[p] = { steady[p], steady[p], steady[p], steady[p] };
    }
    rotavex::PlayerRpm playerRpm = steady;
    for (auto _ : benchState) {
        playerRpm = steady;
        benchmark::DoNotOptimize(update(state, playerRpm, false));
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
