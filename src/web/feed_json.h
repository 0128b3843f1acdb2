// SPDX-License-Identifier: MIT
#pragma once

#include "evening/scoreboard_state.h"

#include <QByteArray>
#include <QString>

namespace web
{

/// The version of the live feed's format; raised only when a field changes meaning or goes.
/// 2: the competition's heat, seats, next heat and standings as numbers, not the display's texts.
inline constexpr int kFeedVersion = 2;

/// The live feed's message for the scoreboard `state`: one compact JSON object with its numbers
/// (live values, leaders, the result once a Strength countdown has run out and, between heats,
/// the heat, its seats, the next heat and every line of the standings). Names are plain strings
/// exactly as typed; the page makes the words.
QByteArray FeedJson(const evening::ScoreboardState &state);

/// "#rrggbb" of a 0x00BBGGRR colour.
QString CssColour(quint32 bgr);

} // namespace web
