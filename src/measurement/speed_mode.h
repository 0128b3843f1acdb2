// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"
#include "measurement/chart_table.h"
#include "shared/player_tables.h"

#include <QtGlobal>

#include <array>

namespace speed_mode
{

using rotavex::PlayerName;
using rotavex::PlayerRpm;

/// One player's spike filter: the last accepted median and the last three samples.
struct FilterState {
    qint32 Reference = 0;
    qint32 Oldest = 0;
    qint32 Middle = 0;
    qint32 Newest = 0;
    qint32 Previous = 0; ///< the previous sample as it came, before the jump rule
    bool operator==(const FilterState &) const = default;
};

/// Everything the play modes keep between refresh ticks.
struct MeasurementState {
    qint16 StrengthRow = 0; ///< chart row written last by Strength mode, 0 after a reset
    qint16 SpeedRow = 0; ///< chart row written last by Speed mode, 0 after a reset
    rotavex::PerPlayer<FilterState> filters;
    rotavex::PerPlayer<double> RpmSum; ///< sum of rpm over the accepted Strength ticks
    rotavex::PerPlayer<double> RevTotal; ///< revolutions over the accepted Strength ticks
    qint32 StrengthTicks = 0; ///< accepted Strength ticks since the Strength reset
    ChartTable chart;
};

/// Filters `sample` in place: while there is a reference, a sample above 1000 rpm that jumps
/// more than 4200 rpm from it becomes the reference; the median of the last three is taken,
/// and a median outside ±1/3 of the reference becomes -1 (and the new reference, so a real
/// change is accepted one tick later); an accepted 0 sample stays 0. reset clears the state
/// and leaves the sample untouched.
void FilterSample(FilterState &state, qint32 &sample, bool reset);

/// One Speed refresh (reset false) or the Speed reset run by Clear (reset true). A tick with a
/// rejected sample writes nothing; an accepted one writes row SpeedRow + 1 (a full page of 90
/// rows is emptied first) and hands the chart over.
void UpdateSpeedMode(MeasurementState &state, PlayerRpm &playerRpm, const PlayerName &playerName,
    Board &board, bool reset);

/// One Strength refresh (reset false) or the Strength reset that starts a game from zero
/// (totals, StrengthTicks and StrengthRow). The bar shows the mean rpm since that reset.
void UpdateStrengthMode(MeasurementState &state, PlayerRpm &playerRpm, const PlayerName &playerName,
    Board &board, bool reset);

/// The bar colour (0x00BBGGRR) for a bar value in rpm; bounds belong to the lower band.
quint32 SpeedColour(double value);

/// Recolours the four bars from the values they show.
void SetSpeedColours(Board &board);

} // namespace speed_mode
