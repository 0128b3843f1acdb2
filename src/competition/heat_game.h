// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "results/game_record.h"

#include <array>

namespace competition
{

/// Which devices' links were open when the heat's game started (index 0 is device 1).
using OpenLinks = std::array<bool, kDevices>;

/// The heat's result from its recorded game: every seated player gets a line; a player whose
/// link was not open at the start, or who is missing from the game, is absent (not a zero).
QList<SeatResult> SeatResults(
    const Heat &heat, const results::GameRecord &game, const OpenLinks &openAtStart);

} // namespace competition
