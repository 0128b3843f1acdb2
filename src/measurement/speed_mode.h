// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/chart_table.h"
#include "measurement/filter.h"
#include "shared/player_tables.h"

#include <QtGlobal>

#include <optional>

namespace speed_mode
{

using rotavex::PlayerRpm;
using rotavex::PlayerSlot;

/// What the board's values mean since the last reset or accepted tick.
enum class Reading {
    Rest = 0, ///< start-up or a Speed reset: no speed, records at 0
    StrengthRest = 1, ///< a Strength reset: no revolutions yet
    Speed = 2, ///< live speeds and records
    Strength = 3, ///< revolution totals, mean speeds and records ("rpm max")
};

/// One player's values on the board, in numbers.
struct PlayerValues {
    qint32 rpm = 0; ///< filtered sample of the last accepted tick
    /// Best rpm since the records were last cleared; nullopt before the first clear.
    std::optional<qint32> record;
    double bar = 0.0; ///< bar value in rpm: the speed (Speed) or the floored mean (Strength)
    /// Colour band of the bar (0x00BBGGRR) from the last accepted tick; nullopt before one.
    std::optional<quint32> barColour;
    bool operator==(const PlayerValues &) const = default;
};

/// Everything the play modes keep between refresh ticks, and the values they leave.
struct MeasurementState {
    qint16 StrengthRow = 0; ///< chart row written last by Strength mode, 0 after a reset
    qint16 SpeedRow = 0; ///< chart row written last by Speed mode, 0 after a reset
    rotavex::PerPlayer<FilterState> filters;
    rotavex::PerPlayer<double> RpmSum; ///< sum of rpm over the accepted Strength ticks
    rotavex::PerPlayer<double> RevTotal; ///< revolutions over the accepted Strength ticks
    qint32 StrengthTicks = 0; ///< accepted Strength ticks since the Strength reset
    ChartTable chart;
    Reading reading = Reading::Rest;
    rotavex::PerPlayer<PlayerValues> players;
    qint32 topRpm = 0; ///< best rpm of all players since the records were last cleared
};

/// Sets every record and the best of all to 0 (what Clear does before the Speed reset).
void ClearRecords(MeasurementState &state);

/// One Speed refresh (reset false) or the Speed reset run by Clear (reset true). `samples` are
/// filtered in place. A tick with a rejected sample changes no value and returns false; an
/// accepted one writes row SpeedRow + 1 (a full page of 90 rows is emptied first), the records
/// and the bars, and returns true. A reset returns true.
bool UpdateSpeedMode(MeasurementState &state, PlayerRpm &samples, bool reset);

/// One Strength refresh (reset false) or the Strength reset that starts a game from zero
/// (totals, StrengthTicks and StrengthRow). The bar shows the mean rpm since that reset.
/// Returns as UpdateSpeedMode does.
bool UpdateStrengthMode(MeasurementState &state, PlayerRpm &samples, bool reset);

/// The Strength reset of a game that goes on: the chart and the bars start again, the totals,
/// sums and tick count carry on.
void ResumeStrengthMode(MeasurementState &state, PlayerRpm &samples);

} // namespace speed_mode
