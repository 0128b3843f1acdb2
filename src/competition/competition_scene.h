// SPDX-License-Identifier: MIT
#pragma once

#include "display/scoreboard.h"
#include "evening/scoreboard_state.h"

#include <QSize>

namespace competition
{

/// The display's picture of the competition for a window of `size` pixels: the heat's title
/// ("Heat 3 of 12", "Final standings" once every heat is played) and its players by device,
/// the heat on deck, then the standings under the rule's name, in rows that stay legible from
/// across a room (at least a twentieth of the height each). Rows that do not fit one column go
/// into a second on a wide window; those that do not fit either go onto pages ("page 2 of 3",
/// scene.pages of them; `page` counts on and wraps), the first three lines on every page. Texts
/// use the scoreboard's palette, every one at least 7:1 against its background.
scoreboard::Scene BuildCompetitionScene(
    const evening::BetweenHeats &shown, QSize size, int page = 0);

} // namespace competition
