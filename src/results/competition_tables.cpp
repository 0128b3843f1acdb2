// SPDX-License-Identifier: MIT
#include "results/competition_tables.h"

namespace results
{

namespace
{

    const char *const kCompetitionTables[] = {
        "CREATE TABLE competitions ("
        " id INTEGER PRIMARY KEY,"
        " name TEXT NOT NULL,"
        " scoring INTEGER NOT NULL CHECK (scoring IN (1, 2)),"
        " seconds INTEGER NOT NULL CHECK (seconds IN (30, 60, 90)),"
        " rounds INTEGER NOT NULL CHECK (rounds BETWEEN 1 AND 8),"
        " created_at TEXT NOT NULL,"
        " closed INTEGER NOT NULL DEFAULT 0)",
        "CREATE TABLE competition_players ("
        " competition_id INTEGER NOT NULL REFERENCES competitions(id) ON DELETE CASCADE,"
        " player INTEGER NOT NULL CHECK (player > 0),"
        " name TEXT NOT NULL,"
        " retired INTEGER NOT NULL DEFAULT 0,"
        " PRIMARY KEY (competition_id, player))",
        // One line per seat of a planned or played heat; `heat` is the playing order from 1.
        "CREATE TABLE competition_heats ("
        " competition_id INTEGER NOT NULL REFERENCES competitions(id) ON DELETE CASCADE,"
        " heat INTEGER NOT NULL CHECK (heat > 0),"
        " round INTEGER NOT NULL,"
        " device INTEGER NOT NULL CHECK (device BETWEEN 1 AND 4),"
        " player INTEGER NOT NULL,"
        " PRIMARY KEY (competition_id, heat, device))",
        "CREATE TABLE competition_results ("
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

    const char *const kCompetitionRanking[] = {
        "ALTER TABLE competitions ADD COLUMN ranking INTEGER NOT NULL DEFAULT 1"
        " CHECK (ranking IN (1, 2, 3))",
    };

} // namespace

std::span<const char *const> CompetitionTablesMigration() { return kCompetitionTables; }

std::span<const char *const> CompetitionRankingMigration() { return kCompetitionRanking; }

} // namespace results
