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
    /// What the competition's ranking rule makes of the counted heats' scores: their total,
    /// their mean over the heats played, or the best of them.
    double score = 0.0;
    int roundsPlayed = 0;
    /// Rounds over (or heats played) in which the player has no result: absent or not yet
    /// on the roster. The player is ranked on what they played.
    int roundsMissed = 0;
    bool retired = false;
    bool operator==(const Standing &) const = default;
};

/// The standings from the counted attempt of every played heat under the competition's ranking
/// rule: ranked players best first (equal scores by name), then the unranked ones. Scores
/// compare in whole revolutions or rpm, as they are shown; a missed heat counts for nothing,
/// not even as a zero in a mean.
QList<Standing> Standings(const Competition &competition);

/// The rule in words for headers, e.g. "mean revolutions per heat played".
QString RuleText(const Settings &settings);
/// The same for a game and the rule it applies.
QString RuleText(PlayMode gameKind, RankingRule rule);
/// The rule as one word for files: "total", "mean" or "best".
QString RuleKey(const Settings &settings);
/// The same for the rule it applies.
QString RuleKey(RankingRule rule);

/// The score as the standings show it: "1,234 rev" style whole revolutions or "7500 rpm".
QString ScoreText(PlayMode gameKind, double score);

} // namespace competition
