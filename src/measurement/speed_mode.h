// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"
#include "measurement/chart_table.h"
#include "measurement/filter.h"
#include "shared/player_tables.h"

#include <QtGlobal>

#include <array>

namespace speed_mode
{

using rotavex::PlayerName;
using rotavex::PlayerRpm;

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

/// One Speed refresh (reset false) or the Speed reset run by Clear (reset true). A tick with a
/// rejected sample writes nothing; an accepted one writes row SpeedRow + 1 (a full page of 90
/// rows is emptied first) and hands the chart over.
void UpdateSpeedMode(MeasurementState &state, PlayerRpm &playerRpm, const PlayerName &playerName,
    Board &board, bool reset);

/// One Strength refresh (reset false) or the Strength reset that starts a game from zero
/// (totals, StrengthTicks and StrengthRow). The bar shows the mean rpm since that reset.
void UpdateStrengthMode(MeasurementState &state, PlayerRpm &playerRpm, const PlayerName &playerName,
    Board &board, bool reset);

} // namespace speed_mode
