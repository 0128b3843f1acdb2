// SPDX-License-Identifier: MIT
#include "competition/competition_csv.h"

#include "competition/standings.h"
#include "results/csv.h"

#include <QStringList>

#include <cmath>

namespace competition
{

namespace
{

    const QString kLineEnd = QStringLiteral("\r\n");

    QString line(const QStringList &cells)
    {
        QStringList safe;
        safe.reserve(cells.size());
        for (const QString &cell : cells) {
            safe.append(results::CsvTextCell(cell, results::CsvText::SpreadsheetSafe));
        }
        return safe.join(QLatin1Char(',')) + kLineEnd;
    }

    QString number(double value) { return QString::number(value, 'f', 1); }

    QString nameOf(const Competition &competition, PlayerId id)
    {
        const Player *player = FindPlayer(competition, id);
        return player ? player->name : QString();
    }

} // namespace

QString StandingsCsv(const Competition &competition)
{
    const bool strength = competition.settings.gameKind == PlayMode::Strength;
    const QString rule = RuleKey(competition.settings);
    QString text = QLatin1String(kStandingsCsvHeader) + kLineEnd;
    for (const Standing &s : Standings(competition)) {
        const QString status = s.retired ? QStringLiteral("retired")
            : s.roundsMissed > 0         ? QStringLiteral("missed")
                                         : QString();
        text += line({ s.rank > 0 ? QString::number(s.rank) : QString(), s.name,
            QString::number(std::llround(s.score)),
            strength ? QStringLiteral("rev") : QStringLiteral("rpm"),
            QString::number(s.roundsPlayed), QString::number(s.roundsMissed), status, rule });
    }
    return text;
}

QString HeatsCsv(const Competition &competition)
{
    const bool strength = competition.settings.gameKind == PlayMode::Strength;
    QString text = QLatin1String(kHeatsCsvHeader) + kLineEnd;
    for (int h = 0; h < competition.heats.size(); ++h) {
        const Heat &heat = competition.heats[h];
        const QString heatNumber = QString::number(h + 1);
        const QString round = QString::number(heat.round);
        const Attempt *counted = CountedAttempt(competition, h);
        if (!counted) {
            for (int d = 0; d < kDevices; ++d) {
                const PlayerId id = heat.seats[std::size_t(d)];
                if (id != kNoPlayer) {
                    text += line({ heatNumber, round, QString(), QString(), QString::number(d + 1),
                        nameOf(competition, id), QStringLiteral("planned"), QString(), QString(),
                        QString() });
                }
            }
            continue;
        }
        for (const Attempt &attempt : competition.attempts) {
            if (attempt.heat != h) {
                continue;
            }
            for (const SeatResult &seat : attempt.seats) {
                text += line({ heatNumber, round, QString::number(attempt.attempt),
                    &attempt == counted ? QStringLiteral("1") : QStringLiteral("0"),
                    QString::number(seat.device), nameOf(competition, seat.player),
                    seat.absent ? QStringLiteral("absent") : QStringLiteral("played"),
                    seat.absent || !strength ? QString() : number(seat.revolutions),
                    seat.absent ? QString() : QString::number(seat.bestRpm),
                    attempt.gameId > 0 ? QString::number(attempt.gameId) : QString() });
            }
        }
    }
    return text;
}

} // namespace competition
