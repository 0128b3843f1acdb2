// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"

#include "measurement/colour_bands.h"

#include <algorithm>
#include <cmath>

namespace speed_mode
{

namespace
{

    using rotavex::kFirstPlayer;
    using rotavex::kLastPlayer;

    void runFilters(MeasurementState &state, PlayerRpm &samples, bool reset)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            FilterSample(state.filters[p], samples[p], reset);
        }
    }

    // Equal values count as reaching a record.
    void updateRecords(MeasurementState &state, const PlayerRpm &samples)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const qint32 rpm = samples[p];
            std::optional<qint32> &record = state.players[p].record;
            if (!record || *record <= rpm) {
                record = rpm;
            }
            state.topRpm = std::max(state.topRpm, rpm);
        }
    }

    // Starting a fresh page before writing, rather than after the last row, keeps every sample
    // on the chart for at least one handover.
    qint16 nextRow(qint16 &row, ChartTable &chart)
    {
        if (row < 0 || row >= kChartRows) {
            chart.clear();
            row = 0;
        }
        return ++row;
    }

    void resetBars(MeasurementState &state, Reading reading)
    {
        state.reading = reading;
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            state.players[p].rpm = 0;
            state.players[p].bar = 0.0;
        }
    }

    void colourBars(MeasurementState &state)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            state.players[p].barColour = SpeedColour(state.players[p].bar);
        }
    }

    bool anyRejected(const PlayerRpm &samples)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            if (samples[p] == kRejected) {
                return true;
            }
        }
        return false;
    }

} // namespace

void ClearRecords(MeasurementState &state)
{
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        state.players[p].record = 0;
    }
    state.topRpm = 0;
}

bool UpdateSpeedMode(MeasurementState &state, PlayerRpm &samples, bool reset)
{
    runFilters(state, samples, reset);

    if (reset) {
        resetBars(state, Reading::Rest);
        state.SpeedRow = 0;
        state.chart.clear();
        return true;
    }

    // Player 1's rejection is turned into "no speed" so its next filter run starts from 0.
    if (samples[kFirstPlayer] == kRejected) {
        samples[kFirstPlayer] = 0;
        return false;
    }
    if (anyRejected(samples)) {
        return false;
    }

    updateRecords(state, samples);
    const qint16 row = nextRow(state.SpeedRow, state.chart);
    state.reading = Reading::Speed;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        state.chart.setCell(row, p, samples[p]);
        state.players[p].rpm = samples[p];
        state.players[p].bar = static_cast<double>(samples[p]);
    }
    colourBars(state);
    return true;
}

bool UpdateStrengthMode(MeasurementState &state, PlayerRpm &samples, bool reset)
{
    runFilters(state, samples, reset);

    if (reset) {
        resetBars(state, Reading::StrengthRest);
        state.StrengthRow = 0;
        state.chart.clear();
        state.RevTotal.fill(0.0);
        state.RpmSum.fill(0.0);
        state.StrengthTicks = 0;
        return true;
    }

    if (anyRejected(samples)) {
        return false;
    }

    const qint16 row = nextRow(state.StrengthRow, state.chart);
    ++state.StrengthTicks;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const qint32 rpm = samples[p];
        state.chart.setCell(row, p, rpm);
        state.RpmSum[p] += static_cast<double>(rpm);
        state.RevTotal[p] += static_cast<double>(rpm) / 60.0;
    }

    updateRecords(state, samples);

    state.reading = Reading::Strength;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        state.players[p].rpm = samples[p];
        state.players[p].bar = std::floor(state.RpmSum[p] / state.StrengthTicks);
    }
    colourBars(state);
    return true;
}

void ResumeStrengthMode(MeasurementState &state, PlayerRpm &samples)
{
    runFilters(state, samples, true);
    resetBars(state, Reading::StrengthRest);
    state.StrengthRow = 0;
    state.chart.clear();
}

} // namespace speed_mode
