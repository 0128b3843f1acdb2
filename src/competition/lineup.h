// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QList>

namespace competition
{

/// Plans the heats of a competition of `rounds` rounds for the `active` players (in joining
/// order), after the `played` heats, which are returned first and unchanged.
///
/// From `firstOpenRound` on (the round of the next heat to play; earlier rounds are closed),
/// every active player who has not played in a round gets exactly one heat in it. A round's heats
/// are as many as four seats need and differ in size by one at most (10 players: 4, 3, 3). Each
/// player goes to the device they have used least (over four rounds, each device once) and meets
/// opponents they have met least. The result depends on its inputs only.
QList<Heat> PlanLineup(
    const QList<PlayerId> &active, int rounds, const QList<Heat> &played, int firstOpenRound = 1);

} // namespace competition
