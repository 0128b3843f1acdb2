// SPDX-License-Identifier: MIT
#pragma once

#include <span>

namespace results
{

/// The schema step that adds the competitions: their settings, players, planned heats and every
/// playing of a heat. The tables refer to the games by id only, so deleting a game from the
/// history never takes a competition's result with it.
std::span<const char *const> CompetitionTablesMigration();
/// The schema step after it: each competition's ranking rule (1 total, 2 mean, 3 best); the
/// competitions from before keep total, the only rule there was.
std::span<const char *const> CompetitionRankingMigration();

} // namespace results
