// SPDX-License-Identifier: MIT
#include "results/results_schema.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <span>

namespace results::schema
{

namespace
{

    // The first schema. Fresh files are created with it and then migrated like old ones, so
    // every migration step runs on every new file too.
    const char *const kSchemaV1[] = {
        "CREATE TABLE games ("
        " id INTEGER PRIMARY KEY,"
        " started_at TEXT NOT NULL,"
        " mode INTEGER NOT NULL CHECK (mode IN (1, 2)),"
        " preset_s INTEGER,"
        " ticks INTEGER NOT NULL,"
        " complete INTEGER NOT NULL)",
        "CREATE TABLE game_players ("
        " game_id INTEGER NOT NULL REFERENCES games(id) ON DELETE CASCADE,"
        " player INTEGER NOT NULL CHECK (player BETWEEN 1 AND 4),"
        " name TEXT NOT NULL,"
        " best_rpm INTEGER NOT NULL,"
        " revolutions REAL,"
        " mean_rpm INTEGER,"
        " PRIMARY KEY (game_id, player))",
    };

    // Version 2: the port, the per-second samples (little-endian 32-bit rpm, one per accepted
    // tick) and the start as UTC milliseconds, which orders games whatever their offsets.
    const char *const kMigrationTo2[] = {
        "ALTER TABLE games ADD COLUMN started_ms INTEGER NOT NULL DEFAULT 0",
        "UPDATE games SET started_ms ="
        " CAST(ROUND((julianday(started_at) - 2440587.5) * 86400000.0) AS INTEGER)",
        "ALTER TABLE game_players ADD COLUMN port TEXT NOT NULL DEFAULT ''",
        "ALTER TABLE game_players ADD COLUMN samples BLOB NOT NULL DEFAULT x''",
        "CREATE INDEX games_by_start ON games (started_ms, id)",
        "CREATE INDEX players_by_rpm ON game_players (best_rpm)",
        // The Strength lists rank by whole revolutions; with this index they read ten entries
        // instead of every player of every game.
        "CREATE INDEX players_by_revolutions ON game_players (CAST(ROUND(revolutions) AS INTEGER))",
    };

    // Version 3: each player's result carries the list it ranks in (0 Speed, 30/60/90 the
    // complete Strength games of that preset, NULL none), so a list reads its own top entries
    // from one index. Ranking through the games instead walked past every result of the other
    // lists that was better (every 90-s game outdoes the 30-s ones), which grew with the history.
    const char *const kMigrationTo3[] = {
        "ALTER TABLE game_players ADD COLUMN list INTEGER",
        "UPDATE game_players SET list = (SELECT CASE WHEN g.mode = 1 THEN 0 WHEN g.complete = 1 "
        "AND g.preset_s IN (30, 60, 90) THEN g.preset_s END FROM games g "
        "WHERE g.id = game_players.game_id)",
        "DROP INDEX players_by_rpm",
        "DROP INDEX players_by_revolutions",
        "CREATE INDEX players_by_list_rpm ON game_players (list, best_rpm)",
        "CREATE INDEX players_by_list_revolutions ON game_players "
        "(list, CAST(ROUND(revolutions) AS INTEGER))",
    };

    // Version 4: the competitions, their players, planned heats and every playing of a heat.
    // The tables refer to the games by id only, so deleting a game from the history never takes
    // a competition's result with it. "IF NOT EXISTS": a table of ours found there already (see
    // setStrayTablesAside) is migrated into as it is.
    const char *const kMigrationTo4[] = {
        "CREATE TABLE IF NOT EXISTS competitions ("
        " id INTEGER PRIMARY KEY,"
        " name TEXT NOT NULL,"
        " scoring INTEGER NOT NULL CHECK (scoring IN (1, 2)),"
        " seconds INTEGER NOT NULL CHECK (seconds IN (30, 60, 90)),"
        " rounds INTEGER NOT NULL CHECK (rounds BETWEEN 1 AND 8),"
        " created_at TEXT NOT NULL,"
        " closed INTEGER NOT NULL DEFAULT 0)",
        "CREATE TABLE IF NOT EXISTS competition_players ("
        " competition_id INTEGER NOT NULL REFERENCES competitions(id) ON DELETE CASCADE,"
        " player INTEGER NOT NULL CHECK (player > 0),"
        " name TEXT NOT NULL,"
        " retired INTEGER NOT NULL DEFAULT 0,"
        " PRIMARY KEY (competition_id, player))",
        // One line per seat of a planned or played heat; `heat` is the playing order from 1.
        "CREATE TABLE IF NOT EXISTS competition_heats ("
        " competition_id INTEGER NOT NULL REFERENCES competitions(id) ON DELETE CASCADE,"
        " heat INTEGER NOT NULL CHECK (heat > 0),"
        " round INTEGER NOT NULL,"
        " device INTEGER NOT NULL CHECK (device BETWEEN 1 AND 4),"
        " player INTEGER NOT NULL,"
        " PRIMARY KEY (competition_id, heat, device))",
        "CREATE TABLE IF NOT EXISTS competition_results ("
        " competition_id INTEGER NOT NULL REFERENCES competitions(id) ON DELETE CASCADE,"
        " heat INTEGER NOT NULL,"
        " attempt INTEGER NOT NULL CHECK (attempt > 0),"
        " device INTEGER NOT NULL CHECK (device BETWEEN 1 AND 4),"
        " player INTEGER NOT NULL,"
        " absent INTEGER NOT NULL,"
        " revolutions REAL NOT NULL,"
        " best_rpm INTEGER NOT NULL,"
        " game_id INTEGER NOT NULL,"
        " PRIMARY KEY (competition_id, heat, attempt, device))",
    };

    // Version 5: each competition's ranking rule (1 total, 2 mean per heat played, 3 best
    // heat); the competitions from before keep total, the only rule there was.
    const char *const kMigrationTo5[] = {
        "ALTER TABLE competitions ADD COLUMN ranking INTEGER NOT NULL DEFAULT 1"
        " CHECK (ranking IN (1, 2, 3))",
    };

    // Version 6: the game running now, kept every second by each instance of the program
    // (`instance`, see custody::InstanceKey()), so that a crash or a power cut loses none of
    // it; the next start records it as an interrupted game. `replaces` names the recorded game
    // it goes on with (a Strength game stopped and started again). One row per tick holds the
    // four slots' samples (little-endian 32-bit rpm), so a tick adds a row and rewrites none.
    const char *const kMigrationTo6[] = {
        "CREATE TABLE IF NOT EXISTS running_games ("
        " instance TEXT PRIMARY KEY,"
        " started_at TEXT NOT NULL,"
        " started_ms INTEGER NOT NULL,"
        " mode INTEGER NOT NULL,"
        " preset_s INTEGER,"
        " ticks INTEGER NOT NULL,"
        " replaces INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS running_players ("
        " instance TEXT NOT NULL,"
        " player INTEGER NOT NULL,"
        " name TEXT NOT NULL,"
        " port TEXT NOT NULL,"
        " best_rpm INTEGER NOT NULL,"
        " revolutions REAL,"
        " mean_rpm INTEGER,"
        " PRIMARY KEY (instance, player))",
        "CREATE TABLE IF NOT EXISTS running_ticks ("
        " instance TEXT NOT NULL,"
        " tick INTEGER NOT NULL,"
        " rpm BLOB NOT NULL,"
        " PRIMARY KEY (instance, tick))",
    };

    // What a read of an older file needs, as the migrations would add it.
    const char *const kFirstSchemaViews[] = {
        "CREATE TEMP VIEW games AS SELECT *, CAST(ROUND((julianday(started_at) - 2440587.5) "
        "* 86400000.0) AS INTEGER) AS started_ms FROM main.games",
        "CREATE TEMP VIEW game_players AS SELECT p.*, '' AS port, x'' AS samples, "
        "CASE WHEN g.mode = 1 THEN 0 WHEN g.complete = 1 AND g.preset_s IN (30, 60, 90) "
        "THEN g.preset_s END AS list FROM main.game_players p JOIN main.games g "
        "ON g.id = p.game_id",
    };
    const char *const kSecondSchemaViews[] = {
        "CREATE TEMP VIEW game_players AS SELECT p.*, "
        "CASE WHEN g.mode = 1 THEN 0 WHEN g.complete = 1 AND g.preset_s IN (30, 60, 90) "
        "THEN g.preset_s END AS list FROM main.game_players p JOIN main.games g "
        "ON g.id = p.game_id",
    };

    const char *const kFourthSchemaViews[] = {
        "CREATE TEMP VIEW competitions AS SELECT *, 1 AS ranking FROM main.competitions",
    };

    QStringList tableNames(QSqlDatabase &db, QSqlError &error)
    {
        QSqlQuery query(db);
        QStringList tables;
        if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
            error = query.lastError();
            return tables;
        }
        while (query.next()) {
            tables.append(query.value(0).toString());
        }
        error = query.lastError();
        return tables;
    }

    // A table's columns as SQLite reports them: name, type, not null, default, key.
    QStringList columnsOf(QSqlDatabase &db, const QString &schema, const QString &table)
    {
        QSqlQuery query(db);
        QStringList columns;
        // Names of our own tables, never user data: PRAGMA takes no bound values.
        if (query.exec(QStringLiteral("PRAGMA %1.table_info(\"%2\")").arg(schema, table))) {
            while (query.next()) {
                columns.append(QStringList { query.value(1).toString(), query.value(2).toString(),
                    query.value(3).toString(), query.value(4).toString(),
                    query.value(5).toString() }
                                   .join(u'|'));
            }
        }
        return columns;
    }

    // The table a CREATE statement of ours makes.
    QString createdTable(const char *statement)
    {
        const QString sql = QLatin1String(statement);
        const QString prefix = QStringLiteral("CREATE TABLE IF NOT EXISTS ");
        return sql.startsWith(prefix) ? sql.mid(prefix.size()).section(u' ', 0, 0) : QString();
    }

    // A table of a step's name found before the step ran (another program's, or a half-done
    // copy): kept when its columns are exactly ours, otherwise renamed aside and reported, so
    // the step can create its own.
    std::optional<QSqlError> setStrayTablesAside(
        QSqlDatabase &db, std::span<const char *const> statements, QStringList &notices)
    {
        QSqlError error;
        const QStringList tables = tableNames(db, error);
        if (error.isValid()) {
            return error;
        }
        QSqlQuery query(db);
        for (const char *statement : statements) {
            const QString table = createdTable(statement);
            if (table.isEmpty() || !tables.contains(table)) {
                continue;
            }
            QString shape = QLatin1String(statement);
            shape.replace(QStringLiteral("CREATE TABLE IF NOT EXISTS ") + table,
                QStringLiteral("CREATE TEMP TABLE rotavex_shape"));
            if (!query.exec(shape)) {
                return query.lastError();
            }
            const bool ours = columnsOf(db, QStringLiteral("temp"), QStringLiteral("rotavex_shape"))
                == columnsOf(db, QStringLiteral("main"), table);
            if (!query.exec(QStringLiteral("DROP TABLE temp.rotavex_shape"))) {
                return query.lastError();
            }
            if (ours) {
                continue;
            }
            const QString base = table + QStringLiteral("_set_aside_")
                + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
            QString aside = base;
            for (int n = 2; tables.contains(aside); ++n) {
                aside = base + QStringLiteral("_%1").arg(n);
            }
            // The legacy rename leaves the other tables' references alone: ours point at the
            // name, not at the stray table.
            if (!query.exec(QStringLiteral("PRAGMA legacy_alter_table = ON"))
                || !query.exec(
                    QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%2\"").arg(table, aside))
                || !query.exec(QStringLiteral("PRAGMA legacy_alter_table = OFF"))) {
                return query.lastError();
            }
            notices.append(QStringLiteral("The results file held a table \"%1\" that Rotavex did "
                                          "not make; it was renamed to \"%2\" and kept.")
                               .arg(table, aside));
        }
        return std::nullopt;
    }

} // namespace

std::optional<Failure> ReadVersion(QSqlDatabase &db, int &version)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        return Failure { query.lastError() };
    }
    version = query.value(0).toInt();
    query.finish();
    QSqlError error;
    const QStringList tables = tableNames(db, error);
    if (error.isValid()) {
        return Failure { error };
    }
    const bool ours = version == 0
        ? tables.isEmpty()
        : tables.contains(QLatin1String("games")) && tables.contains(QLatin1String("game_players"));
    if (!ours) {
        return Failure { QSqlError(), true };
    }
    return std::nullopt;
}

std::optional<QSqlError> Migrate(QSqlDatabase &db, int version, QStringList &notices)
{
    QSqlQuery query(db);
    // A short wait for another instance of the program, never long enough to stall the board:
    // a write that finds the file locked longer waits in the queue and is retried later.
    // NORMAL synchronisation is safe with WAL and keeps a commit free of disk flushes.
    for (const QString &pragma : { QStringLiteral("PRAGMA foreign_keys = ON"),
             QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyTimeoutMs),
             QStringLiteral("PRAGMA journal_mode = WAL"),
             QStringLiteral("PRAGMA synchronous = NORMAL") }) {
        if (!query.exec(pragma)) {
            return query.lastError();
        }
        query.finish();
    }
    auto step = [&](std::span<const char *const> statements, int to) -> std::optional<QSqlError> {
        if (!db.transaction()) {
            return db.lastError();
        }
        auto failed = [&](const QSqlError &error) {
            query.finish();
            db.rollback();
            return error;
        };
        QStringList told;
        if (const auto error = setStrayTablesAside(db, statements, told)) {
            return failed(*error);
        }
        for (const char *sql : statements) {
            if (!query.exec(QLatin1String(sql))) {
                return failed(query.lastError());
            }
        }
        // The version is our own constant, not user data; PRAGMA takes no bound values.
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(to))) {
            return failed(query.lastError());
        }
        if (!db.commit()) {
            return failed(db.lastError());
        }
        notices += told;
        version = to;
        return std::nullopt;
    };
    const std::span<const char *const> steps[] = { kSchemaV1, kMigrationTo2, kMigrationTo3,
        kMigrationTo4, kMigrationTo5, kMigrationTo6 };
    for (int from = version; from < kVersion; ++from) {
        if (const auto error = step(steps[from], from + 1)) {
            return error;
        }
    }
    return std::nullopt;
}

std::optional<QSqlError> AddReadViews(QSqlDatabase &db, int version)
{
    std::span<const char *const> views;
    if (version == 1) {
        views = kFirstSchemaViews;
    } else if (version == 2) {
        views = kSecondSchemaViews;
    } else if (version == 4) {
        views = kFourthSchemaViews;
    }
    QSqlQuery query(db);
    for (const char *view : views) {
        if (!query.exec(QLatin1String(view))) {
            return query.lastError();
        }
    }
    return std::nullopt;
}

} // namespace results::schema
