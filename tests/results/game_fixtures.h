// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"
#include "results/results_store.h"

#include <QTimeZone>

// Games for the results tests, built by hand so the tests do not depend on the recorder.
namespace fixtures
{

struct Player {
    QString name;
    qint32 bestRpm = 0;
    double revolutions = 0.0;
};

inline QDateTime At(int dayOfMonth, int hour, int offsetHours = 1)
{
    return QDateTime(QDate(2026, 11, dayOfMonth), QTime(hour, 0), QTimeZone(offsetHours * 3600));
}

inline results::GameRecord Game(rotavex::PlayMode mode, const QDateTime &start,
    const QList<Player> &players, std::optional<int> preset = std::nullopt, bool complete = true)
{
    results::GameRecord game;
    game.startedAt = start;
    game.mode = mode;
    game.presetSeconds = preset;
    game.complete = complete;
    game.ticks = 3;
    rotavex::PlayerSlot slot = rotavex::kFirstPlayer;
    for (const Player &p : players) {
        results::PlayerResult result;
        result.player = slot++;
        result.name = p.name;
        result.port = QStringLiteral("ttyS%1").arg(result.player);
        result.bestRpm = p.bestRpm;
        result.samples = { p.bestRpm / 2, p.bestRpm, 0 };
        if (mode == rotavex::PlayMode::Strength) {
            result.revolutions = p.revolutions;
            result.meanRpm = p.bestRpm / 2;
        }
        game.players.append(result);
    }
    return game;
}

inline results::GameRecord Speed(const QDateTime &start, const QList<Player> &players)
{
    return Game(rotavex::PlayMode::Speed, start, players);
}

/// Three Speed games recorded in `store` on days 1..3, one player each ("1" at 1000 rpm, "2" at
/// 2000, "3" at 3000); their ids in that order.
inline QList<qint64> AddThreeSpeedGames(results::ResultsStore &store)
{
    QList<qint64> ids;
    for (int day = 1; day <= 3; ++day) {
        results::GameRecord game = Speed(At(day, 20), { { QString::number(day), 1000 * day } });
        store.addGame(game);
        ids.append(game.id);
    }
    return ids;
}

inline results::GameRecord Strength(
    const QDateTime &start, int preset, const QList<Player> &players, bool complete = true)
{
    return Game(rotavex::PlayMode::Strength, start, players, preset, complete);
}

/// Names that have broken CSV writers, markup views and databases.
inline QStringList HostileNames()
{
    return { QStringLiteral("Smith, John"), QStringLiteral("The \"Rocket\""),
        QStringLiteral("two\nlines\r\nand CR\r"), QStringLiteral("<b>bold</b> &amp; <img src=x>"),
        QStringLiteral("'; DROP TABLE games; --"),
        QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd \u202eabc \u0645\u0631\u062d\u0628\u0627"),
        QString(10000, QChar(u'x')), QStringLiteral(" leading and trailing "), QString() };
}

} // namespace fixtures
