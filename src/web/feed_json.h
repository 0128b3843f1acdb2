// SPDX-License-Identifier: MIT
#pragma once

#include "display/scoreboard.h"
#include "game/game_session.h"

#include <QByteArray>

namespace web
{

/// The version of the live feed's format; raised only when a field changes meaning or goes.
inline constexpr int kFeedVersion = 1;

/// The live feed's message for the game as `snapshot` has it: one compact JSON object with the
/// same content and rules as the spectators' display (live values, leaders, the result once a
/// Strength countdown has run out) and, between heats (`betweenHeats` set, no game running),
/// what the display's between-heats picture says: the heat, its seats, the next heat and the
/// standings, every page of them. Names are plain strings.
QByteArray FeedJson(const game::Snapshot &snapshot, const scoreboard::SceneSource &betweenHeats);

/// "#rrggbb" of a 0x00BBGGRR colour.
QString CssColour(quint32 bgr);

} // namespace web
