// SPDX-License-Identifier: MIT
#include "competition/standings.h"

#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace competition
{

namespace
{

    struct Tally {
        double total = 0.0;
        double best = 0.0;
        int heats = 0;
        QSet<int> played;
        QSet<int> absent;
    };

    // The value two results are compared on: whole revolutions or rpm.
    qint64 comparable(double score) { return qint64(std::llround(score)); }

} // namespace

QList<Standing> Standings(const Competition &competition)
{
    const bool strength = competition.settings.gameKind == PlayMode::Strength;
    const RankingRule rule = RuleOf(competition.settings);
    QHash<PlayerId, Tally> tallies;
    const int played = PlayedHeats(competition);
    for (int h = 0; h < played; ++h) {
        const Attempt *attempt = CountedAttempt(competition, h);
        if (!attempt) {
            continue;
        }
        const int round = competition.heats[h].round;
        for (const SeatResult &seat : attempt->seats) {
            Tally &tally = tallies[seat.player];
            if (seat.absent) {
                tally.absent.insert(round);
                continue;
            }
            tally.played.insert(round);
            const double heatScore = strength ? seat.revolutions : double(seat.bestRpm);
            tally.total += heatScore;
            tally.best = std::max(tally.best, heatScore);
            ++tally.heats;
        }
    }
    // A round is over once no unplayed heat belongs to it.
    QSet<int> roundsOver;
    for (int h = 0; h < played; ++h) {
        roundsOver.insert(competition.heats[h].round);
    }
    for (int h = played; h < competition.heats.size(); ++h) {
        roundsOver.remove(competition.heats[h].round);
    }

    QList<Standing> lines;
    for (const Player &player : competition.players) {
        const Tally tally = tallies.value(player.id);
        Standing line;
        line.player = player.id;
        line.name = player.name;
        switch (rule) {
        case RankingRule::Total:
            line.score = tally.total;
            break;
        case RankingRule::Mean:
            line.score = tally.heats > 0 ? tally.total / tally.heats : 0.0;
            break;
        case RankingRule::Best:
            line.score = tally.best;
            break;
        }
        line.roundsPlayed = int(tally.played.size());
        line.retired = player.retired;
        if (!player.retired) {
            QSet<int> missed = roundsOver;
            missed.unite(tally.absent);
            missed.subtract(tally.played);
            line.roundsMissed = int(missed.size());
        }
        lines.append(line);
    }
    auto ranked = [](const Standing &line) { return !line.retired && line.roundsPlayed > 0; };
    std::stable_sort(lines.begin(), lines.end(), [&](const Standing &a, const Standing &b) {
        if (ranked(a) != ranked(b)) {
            return ranked(a);
        }
        if (comparable(a.score) != comparable(b.score)) {
            return comparable(a.score) > comparable(b.score);
        }
        return a.name.localeAwareCompare(b.name) < 0;
    });
    for (int i = 0; i < lines.size() && ranked(lines[i]); ++i) {
        const bool tied = i > 0 && comparable(lines[i].score) == comparable(lines[i - 1].score);
        lines[i].rank = tied ? lines[i - 1].rank : i + 1;
    }
    return lines;
}

QString RuleText(const Settings &settings) { return RuleText(settings.gameKind, RuleOf(settings)); }

QString RuleText(PlayMode gameKind, RankingRule rule)
{
    const bool strength = gameKind == PlayMode::Strength;
    switch (rule) {
    case RankingRule::Total:
        break;
    case RankingRule::Mean:
        return strength ? QStringLiteral("mean revolutions per heat played")
                        : QStringLiteral("mean best rpm per heat played");
    case RankingRule::Best:
        return strength ? QStringLiteral("revolutions of the best heat")
                        : QStringLiteral("best rpm of any heat");
    }
    return QStringLiteral("total revolutions");
}

QString RuleKey(const Settings &settings) { return RuleKey(RuleOf(settings)); }

QString RuleKey(RankingRule rule)
{
    switch (rule) {
    case RankingRule::Total:
        break;
    case RankingRule::Mean:
        return QStringLiteral("mean");
    case RankingRule::Best:
        return QStringLiteral("best");
    }
    return QStringLiteral("total");
}

QString ScoreText(PlayMode gameKind, double score)
{
    const QLocale locale = QLocale::c();
    if (gameKind == PlayMode::Strength) {
        QLocale grouped(QLocale::English, QLocale::UnitedStates);
        return QStringLiteral("%1 rev").arg(grouped.toString(comparable(score)));
    }
    return QStringLiteral("%1 rpm").arg(locale.toString(comparable(score)));
}

} // namespace competition
