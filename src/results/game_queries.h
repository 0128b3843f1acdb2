// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QList>
#include <QSqlError>

#include <functional>
#include <optional>

class QSqlDatabase;

/// The recorded games as the results file holds them: reads, and the one write of a game.
/// Each read sets `error` when the file could not be read (left as it is on success).
namespace results::queries
{

int GameCount(const QSqlDatabase &db, QSqlError &error);
/// Games newest first, `limit` of them from `offset`; no samples.
QList<GameSummary> RecentGames(const QSqlDatabase &db, int offset, int limit, QSqlError &error);
/// The whole game with its players and samples; nullopt when there is none with the id.
std::optional<GameRecord> Game(const QSqlDatabase &db, qint64 id, QSqlError &error);
/// The list's top `limit` entries (see ResultsStore::ranking).
QList<RankEntry> Ranking(const QSqlDatabase &db, BestList list, int limit, QSqlError &error);
/// Every game (players without samples), oldest first, until `visit` returns false. False when
/// a page could not be read.
bool ForEachGame(
    const QSqlDatabase &db, const std::function<bool(const GameRecord &)> &visit, QSqlError &error);

/// Writes the game in one transaction and sets its id; the error when it could not.
std::optional<QSqlError> InsertGame(QSqlDatabase &db, GameRecord &game);

} // namespace results::queries
