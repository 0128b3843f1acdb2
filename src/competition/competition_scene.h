// SPDX-License-Identifier: MIT
#pragma once

#include "competition/standings.h"
#include "display/scoreboard.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace competition
{

/// What the spectators' display shows between heats.
struct BoardShown {
    QString competition; ///< the competition's name
    QString title; ///< "Heat 3 of 12", or "Standings" once every heat is played
    QStringList seats; ///< the called heat's names at devices 1..4 ("" free); empty: none called
    QString onDeck; ///< "Next: …", "" after the last heat
    PlayMode scoring = PlayMode::Strength;
    QList<Standing> standings;
    QString rankedBy {}; ///< the ranking rule in words, "total revolutions" ...
    bool operator==(const BoardShown &) const = default;
};

/// What the display shows of the competition: the heat called to the board, else the next heat
/// to play, with the one after it on deck; "Final standings" once every heat is played.
BoardShown BoardShownFor(const Competition &competition, std::optional<int> called);

/// The display's picture of the competition for a window of `size` pixels: the heat's title
/// and its players by device, the heat on deck, then the standings under the rule's name, in
/// rows that stay legible from across a room (at least a twentieth of the height each). Rows
/// that do not fit one column go into a second on a wide window; those that do not fit either
/// go onto pages ("page 2 of 3", scene.pages of them; `page` counts on and wraps), the first
/// three lines on every page. Texts use the scoreboard's palette, every one at least 7:1
/// against its background.
scoreboard::Scene BuildCompetitionScene(const BoardShown &shown, QSize size, int page = 0);

/// The display's picture between heats of `shown`; empty without a competition.
scoreboard::SceneSource BetweenHeats(const std::optional<BoardShown> &shown);

} // namespace competition
