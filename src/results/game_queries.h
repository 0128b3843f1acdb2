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

/// Writes the game in one transaction and sets its id; the error when it could not. What
/// `instance` kept of the same game while it ran (see KeepRunning) goes in the same
/// transaction.
std::optional<QSqlError> InsertGame(
    QSqlDatabase &db, GameRecord &game, const QString &instance = {});

/// Keeps the running game of `instance` in one transaction: its header and players, and the
/// samples of the ticks from `fromTick` on; a negative `fromTick` replaces whatever the
/// instance kept before. `replaces` is the recorded game it goes on with (0 none).
std::optional<QSqlError> KeepRunning(QSqlDatabase &db, const QString &instance,
    const GameRecord &running, qint64 replaces, int fromTick);

/// A game kept while it ran by an instance that is gone.
struct RunningGame {
    QString instance;
    GameRecord game; ///< never complete; players with their samples
    qint64 replaces = 0;
};
/// What every instance but those `alive` says are running kept of its game.
QList<RunningGame> LeftRunning(const QSqlDatabase &db,
    const std::function<bool(const QString &instance)> &alive, QSqlError &error);
/// Records a game left running in place of the game it replaces, and forgets what its
/// instance kept, in one transaction; sets its id.
std::optional<QSqlError> RecordLeftRunning(QSqlDatabase &db, RunningGame &left);

} // namespace results::queries
