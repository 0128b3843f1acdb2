// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QList>
#include <QSqlError>
#include <QString>

#include <optional>

class QSqlDatabase;

/// The competitions as the results file holds them: every row read is checked on the way in,
/// and a competition is written as rows beside the games. Used by the store only.
namespace results::competition_rows
{

/// The competition with `id` as the file holds it: a row that names something that does not
/// exist is left out, heats are numbered in order, names are cut to their bound; `skipped`
/// says in words what was left out ("" when nothing). nullopt with `error` set when the file
/// could not be read, nullopt alone when there is no such competition.
std::optional<competition::Competition> Read(
    const QSqlDatabase &db, qint64 id, QString &skipped, QSqlError &error);

/// Writes the competition's rows under `id` (0: a new row, whose id is returned in `id`), in
/// the caller's transaction. With `stored`, the undamaged state the file holds, only what
/// differs from it is written. Attempts already written are never rewritten.
std::optional<QSqlError> Write(QSqlDatabase &db, const competition::Competition &competition,
    bool closed, qint64 &id, const competition::Competition *stored);

/// The ids of the competitions not closed, newest first.
QList<qint64> OpenIds(const QSqlDatabase &db, QSqlError &error);

} // namespace results::competition_rows
