// SPDX-License-Identifier: MIT
#include "web/feed_json.h"

#include "competition/standings.h"
#include "display/scoreboard.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace web
{

namespace
{
    QString ModeName(game::PlayMode mode)
    {
        switch (mode) {
        case game::PlayMode::Speed:
            return QStringLiteral("speed");
        case game::PlayMode::Strength:
            return QStringLiteral("strength");
        case game::PlayMode::Unset:
            break;
        }
        return QStringLiteral("none");
    }

    QJsonArray Players(const scoreboard::Shown &shown)
    {
        const rotavex::PerPlayer<bool> leaders = scoreboard::LeadersShown(shown);
        QJsonArray players;
        for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
            const scoreboard::PlayerShown &p = shown.players[n];
            players.append(QJsonObject {
                { QStringLiteral("seat"), n },
                { QStringLiteral("name"), p.name },
                { QStringLiteral("live"), p.live },
                { QStringLiteral("unit"),
                    p.revolutions ? QStringLiteral("rev") : QStringLiteral("rpm") },
                { QStringLiteral("best"), p.record },
                { QStringLiteral("bar"),
                    std::clamp(p.barValue / scoreboard::kBarMaximumRpm, 0.0, 1.0) },
                { QStringLiteral("colour"), CssColour(p.barColour) },
                { QStringLiteral("leader"), leaders[n] },
                { QStringLiteral("playing"), p.participating },
            });
        }
        return players;
    }

    QJsonValue Result(const scoreboard::Shown &shown)
    {
        if (!shown.ranking) {
            return QJsonValue::Null;
        }
        QJsonArray places;
        for (const scoreboard::Place &entry : *shown.ranking) {
            places.append(QJsonObject {
                { QStringLiteral("rank"), entry.rank },
                { QStringLiteral("seat"), entry.player },
                { QStringLiteral("name"), shown.players[entry.player].name },
                { QStringLiteral("revolutions"), entry.revolutions },
                { QStringLiteral("meanRpm"), entry.meanRpm },
                { QStringLiteral("bestRpm"), entry.bestRpm },
            });
        }
        return places;
    }

    QJsonObject Competition(const competition::BoardShown &board)
    {
        QJsonArray standings;
        for (const competition::Standing &s : board.standings) {
            standings.append(QJsonObject {
                { QStringLiteral("rank"), s.rank },
                { QStringLiteral("name"), s.name },
                { QStringLiteral("score"), s.score },
                { QStringLiteral("scoreText"), competition::ScoreText(board.scoring, s.score) },
                { QStringLiteral("rounds"), s.roundsPlayed },
                { QStringLiteral("missed"), s.roundsMissed },
                { QStringLiteral("retired"), s.retired },
            });
        }
        return QJsonObject {
            { QStringLiteral("name"), board.competition },
            { QStringLiteral("title"), board.title },
            { QStringLiteral("seats"), QJsonArray::fromStringList(board.seats) },
            { QStringLiteral("next"), board.onDeck },
            { QStringLiteral("scoring"),
                board.scoring == rotavex::PlayMode::Speed ? QStringLiteral("speed")
                                                          : QStringLiteral("strength") },
            { QStringLiteral("standings"), standings },
        };
    }
} // namespace

QString CssColour(quint32 bgr)
{
    const quint32 rgb = ((bgr & 0xFFu) << 16) | (bgr & 0xFF00u) | ((bgr >> 16) & 0xFFu);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

QByteArray FeedJson(
    const game::Snapshot &snapshot, const std::optional<competition::BoardShown> &board)
{
    const scoreboard::Shown shown = scoreboard::ShownFrom(snapshot);
    // Between heats the display shows the competition instead of the last game; so does the page.
    const bool betweenHeats = board && !snapshot.running;
    const QJsonObject feed {
        { QStringLiteral("version"), kFeedVersion },
        { QStringLiteral("mode"), ModeName(shown.mode) },
        { QStringLiteral("running"), snapshot.running },
        { QStringLiteral("countdown"), shown.countdownSeconds },
        { QStringLiteral("topRpm"), shown.topRpm },
        { QStringLiteral("players"), Players(shown) },
        { QStringLiteral("result"), Result(shown) },
        { QStringLiteral("competition"),
            betweenHeats ? QJsonValue(Competition(*board)) : QJsonValue(QJsonValue::Null) },
    };
    return QJsonDocument(feed).toJson(QJsonDocument::Compact);
}

} // namespace web
