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
        double score = 0.0;
        QSet<int> played;
        QSet<int> absent;
    };

    // The value two results are compared on: whole revolutions or rpm.
    qint64 comparable(double score) { return qint64(std::llround(score)); }

} // namespace

QList<Standing> Standings(const Competition &competition)
{
    const bool strength = competition.settings.scoring == PlayMode::Strength;
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
            tally.score = strength ? tally.score + seat.revolutions
                                   : std::max(tally.score, double(seat.bestRpm));
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
        line.score = tally.score;
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

QString ScoreText(PlayMode scoring, double score)
{
    const QLocale locale = QLocale::c();
    if (scoring == PlayMode::Strength) {
        QLocale grouped(QLocale::English, QLocale::UnitedStates);
        return QStringLiteral("%1 rev").arg(grouped.toString(comparable(score)));
    }
    return QStringLiteral("%1 rpm").arg(locale.toString(comparable(score)));
}

} // namespace competition
