// SPDX-License-Identifier: MIT
#include "web/feed_json.h"

#include <QHash>
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
                { QStringLiteral("seated"), p.seated },
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

    // The texts of the display's between-heats picture by their names, over all its pages: the
    // page takes the same words the display shows, laid out for its own screen.
    QJsonObject Competition(const scoreboard::SceneSource &betweenHeats)
    {
        QHash<QString, QString> texts;
        int pages = 1;
        for (int page = 0; page < pages && page < 1000; ++page) {
            const scoreboard::Scene scene = betweenHeats(QSize(1920, 1080), page);
            pages = std::max(1, scene.pages);
            for (const scoreboard::TextItem &text : scene.texts) {
                texts.insert(text.id, text.text);
            }
        }
        // A free seat or an unranked line shows a dash on the display; the feed leaves it empty.
        const auto value = [&](const QString &id) {
            const QString text = texts.value(id);
            return text == QStringLiteral("–") ? QString() : text;
        };
        QJsonArray seats;
        for (int device = 1; texts.contains(QStringLiteral("seatName%1").arg(device)); ++device) {
            seats.append(value(QStringLiteral("seatName%1").arg(device)));
        }
        QJsonArray standings;
        for (int line = 1; texts.contains(QStringLiteral("name%1").arg(line)); ++line) {
            const auto cell = [&](const char *column) {
                return value(QLatin1String(column) + QString::number(line));
            };
            standings.append(QJsonObject {
                { QStringLiteral("rank"), cell("rank") },
                { QStringLiteral("name"), cell("name") },
                { QStringLiteral("score"), cell("score") },
                { QStringLiteral("rounds"), cell("rounds") },
                { QStringLiteral("note"), cell("note") },
            });
        }
        return QJsonObject {
            { QStringLiteral("name"), value(QStringLiteral("competition")) },
            { QStringLiteral("title"), value(QStringLiteral("heatTitle")) },
            { QStringLiteral("seats"), seats },
            { QStringLiteral("next"), value(QStringLiteral("onDeck")) },
            { QStringLiteral("rule"), value(QStringLiteral("head_rule")) },
            { QStringLiteral("scoreTitle"), value(QStringLiteral("head_score1")) },
            { QStringLiteral("standings"), standings },
        };
    }
} // namespace

QString CssColour(quint32 bgr)
{
    const quint32 rgb = ((bgr & 0xFFu) << 16) | (bgr & 0xFF00u) | ((bgr >> 16) & 0xFFu);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

QByteArray FeedJson(const game::Snapshot &snapshot, const scoreboard::SceneSource &betweenHeats)
{
    const scoreboard::Shown shown = scoreboard::ShownFrom(snapshot);
    // Between heats the display shows the competition instead of the last game; so does the page.
    const bool showHeats = betweenHeats && !snapshot.running;
    const QJsonObject feed {
        { QStringLiteral("version"), kFeedVersion },
        { QStringLiteral("mode"), ModeName(shown.mode) },
        { QStringLiteral("running"), snapshot.running },
        { QStringLiteral("countdown"), shown.countdownSeconds },
        { QStringLiteral("topRpm"), shown.topRpm },
        { QStringLiteral("players"), Players(shown) },
        { QStringLiteral("result"), Result(shown) },
        { QStringLiteral("competition"),
            showHeats ? QJsonValue(Competition(betweenHeats)) : QJsonValue(QJsonValue::Null) },
    };
    return QJsonDocument(feed).toJson(QJsonDocument::Compact);
}

} // namespace web
