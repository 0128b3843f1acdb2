// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QList>
#include <QString>

namespace competition
{

/// One line of the standings.
struct Standing {
    PlayerId player = kNoPlayer;
    QString name;
    /// 1 for the best; equal results share a rank (1, 1, 3). 0: not ranked (retired, or
    /// nothing played yet).
    int rank = 0;
    /// Strength: total revolutions of the counted heats; Speed: the best rpm of any of them.
    double score = 0.0;
    int roundsPlayed = 0;
    /// Rounds over (or heats played) in which the player has no result: absent or not yet
    /// on the roster. The player is ranked on what they played.
    int roundsMissed = 0;
    bool retired = false;
    bool operator==(const Standing &) const = default;
};

/// The standings from the counted attempt of every played heat: ranked players best first
/// (equal scores by name), then the unranked ones. Strength scores compare in whole
/// revolutions, as they are shown.
QList<Standing> Standings(const Competition &competition);

/// The score as the standings show it: "1,234 rev" style whole revolutions or "7500 rpm".
QString ScoreText(PlayMode scoring, double score);

} // namespace competition
