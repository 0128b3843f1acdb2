// SPDX-License-Identifier: MIT
#include "web/feed_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace web
{

namespace
{
    QString modeName(rotavex::PlayMode mode)
    {
        switch (mode) {
        case rotavex::PlayMode::Speed:
            return QStringLiteral("speed");
        case rotavex::PlayMode::Strength:
            return QStringLiteral("strength");
        case rotavex::PlayMode::Unset:
            break;
        }
        return QStringLiteral("none");
    }

    QString unitName(evening::Unit unit)
    {
        return unit == evening::Unit::Revolutions ? QStringLiteral("rev") : QStringLiteral("rpm");
    }

    QJsonArray players(const evening::ScoreboardState &state)
    {
        QJsonArray players;
        for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
            const evening::PlayerState &p = state.players[n];
            players.append(QJsonObject {
                { QStringLiteral("seat"), p.seat },
                { QStringLiteral("name"), p.name },
                { QStringLiteral("live"), p.live },
                { QStringLiteral("unit"), unitName(p.unit) },
                { QStringLiteral("best"), p.bestRpm },
                { QStringLiteral("bar"), p.bar },
                { QStringLiteral("colour"), CssColour(p.colour) },
                { QStringLiteral("leader"), p.leader },
                { QStringLiteral("playing"), p.playing },
                { QStringLiteral("seated"), p.seated },
                { QStringLiteral("linked"), p.linked },
            });
        }
        return players;
    }

    QJsonValue result(const evening::ScoreboardState &state)
    {
        if (!state.result) {
            return QJsonValue::Null;
        }
        QJsonArray places;
        for (const evening::Place &entry : *state.result) {
            places.append(QJsonObject {
                { QStringLiteral("rank"), entry.rank },
                { QStringLiteral("seat"), entry.seat },
                { QStringLiteral("name"), entry.name },
                { QStringLiteral("revolutions"), entry.revolutions },
                { QStringLiteral("meanRpm"), entry.meanRpm },
                { QStringLiteral("bestRpm"), entry.bestRpm },
            });
        }
        return places;
    }

    QJsonValue optionalNumber(std::optional<int> value)
    {
        return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
    }

    QJsonValue competition(const evening::ScoreboardState &state)
    {
        if (!state.betweenHeats) {
            return QJsonValue::Null;
        }
        const evening::BetweenHeats &shown = *state.betweenHeats;
        QJsonArray seats;
        for (int d = 0; d < shown.seats.size(); ++d) {
            seats.append(QJsonObject {
                { QStringLiteral("device"), d + 1 },
                { QStringLiteral("name"), shown.seats[d].name },
                { QStringLiteral("seated"), shown.seats[d].seated },
            });
        }
        QJsonValue next = QJsonValue::Null;
        if (shown.nextHeat) {
            next = QJsonObject {
                { QStringLiteral("heat"), *shown.nextHeat },
                { QStringLiteral("names"), QJsonArray::fromStringList(shown.nextNames) },
            };
        }
        const QString unit = shown.gameKind == rotavex::PlayMode::Strength
            ? unitName(evening::Unit::Revolutions)
            : unitName(evening::Unit::Rpm);
        QJsonArray standings;
        for (const competition::Standing &line : shown.standings) {
            standings.append(QJsonObject {
                { QStringLiteral("rank"),
                    line.rank > 0 ? QJsonValue(line.rank) : QJsonValue(QJsonValue::Null) },
                { QStringLiteral("name"), line.name },
                // Whole revolutions or rpm: what the standings rank on and show.
                { QStringLiteral("score"), qint64(std::llround(line.score)) },
                { QStringLiteral("unit"), unit },
                { QStringLiteral("rounds"), line.roundsPlayed },
                { QStringLiteral("missed"), line.roundsMissed },
                { QStringLiteral("retired"), line.retired },
            });
        }
        return QJsonObject {
            { QStringLiteral("name"), shown.competition },
            { QStringLiteral("heat"), optionalNumber(shown.heat) },
            { QStringLiteral("heats"), shown.heatCount },
            { QStringLiteral("seats"), seats },
            { QStringLiteral("next"), next },
            { QStringLiteral("gameKind"), modeName(shown.gameKind) },
            { QStringLiteral("rule"), competition::RuleKey(shown.rule) },
            { QStringLiteral("standings"), standings },
        };
    }
} // namespace

QString CssColour(quint32 bgr)
{
    const quint32 rgb = ((bgr & 0xFFu) << 16) | (bgr & 0xFF00u) | ((bgr >> 16) & 0xFFu);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

QByteArray FeedJson(const evening::ScoreboardState &state)
{
    const QJsonObject feed {
        { QStringLiteral("version"), kFeedVersion },
        { QStringLiteral("mode"), modeName(state.mode) },
        { QStringLiteral("running"), state.running },
        { QStringLiteral("countdown"), state.countdownSeconds },
        { QStringLiteral("countIn"), state.countIn },
        { QStringLiteral("topRpm"), state.topRpm },
        { QStringLiteral("players"), players(state) },
        { QStringLiteral("result"), result(state) },
        { QStringLiteral("competition"), competition(state) },
    };
    return QJsonDocument(feed).toJson(QJsonDocument::Compact);
}

} // namespace web
