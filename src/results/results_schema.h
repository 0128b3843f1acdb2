// SPDX-License-Identifier: MIT
#pragma once

#include <QSqlError>
#include <QStringList>

#include <optional>

class QSqlDatabase;

namespace results::schema
{

/// The schema this build writes; older files are migrated step by step when opened.
inline constexpr int kVersion = 6;

/// How long a write waits for another program's lock before it is queued and retried later: long
/// enough for another instance's write, short enough never to be felt on the board.
inline constexpr int kBusyTimeoutMs = 30;

/// Why a file cannot be taken as a results file: an SQL error, or (notOurs) a database of
/// another program or one that lost our tables.
struct Failure {
    QSqlError error;
    bool notOurs = false;
};

/// Reads the schema version of the open file and checks that its tables are ours: a fresh
/// (empty) database is version 0.
std::optional<Failure> ReadVersion(QSqlDatabase &db, int &version);

/// Sets the connection up for writing and migrates the file from `version` to kVersion, one
/// transaction per step. A table of a later step's name that is already there stays when it
/// has our shape and is otherwise renamed aside; `notices` gets a sentence for each such table.
std::optional<QSqlError> Migrate(QSqlDatabase &db, int version, QStringList &notices);

/// For reading a file of an older version without changing it: temporary views (in memory,
/// never in the file) that give it the columns of the current version.
std::optional<QSqlError> AddReadViews(QSqlDatabase &db, int version);

} // namespace results::schema
