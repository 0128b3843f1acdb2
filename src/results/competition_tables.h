// SPDX-License-Identifier: MIT
#pragma once

#include <span>

namespace results
{

/// The schema step that adds the competitions: their settings, players, planned heats and every
/// playing of a heat. The tables refer to the games by id only, so deleting a game from the
/// history never takes a competition's result with it.
std::span<const char *const> CompetitionTablesMigration();

} // namespace results
