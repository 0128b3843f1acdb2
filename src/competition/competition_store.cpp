// SPDX-License-Identifier: MIT
#include "competition/competition_store.h"

#include "results/competition_tables.h"
#include "results/csv.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace competition
{

namespace
{

    QAtomicInt g_connectionCounter;

    // A null QString binds as SQL NULL; names are never NULL, only empty.
    QString text(const QString &value) { return value.isNull() ? QStringLiteral("") : value; }

} // namespace

CompetitionStore::CompetitionStore(const QString &filePath)
    : m_connectionName(
        QStringLiteral("rotavex-competitions-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
    , m_filePath(filePath)
{
    if (QFileInfo(filePath).isFile() && open(filePath)) {
        QSqlQuery query(m_db);
        // The results store migrates the file; a file it left in an older version (or one from
        // a newer program) is not ours to change.
        if (query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                      "AND name = 'competition_results'"))
            && query.next() && query.value(0).toInt() == 1) {
            m_saved = true;
            return;
        }
    }
    if (open(QStringLiteral(":memory:"))) {
        createTables();
    }
}

CompetitionStore::~CompetitionStore()
{
    if (m_db.isValid()) {
        m_db.close();
    }
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool CompetitionStore::open(const QString &databaseName)
{
    if (m_db.isValid()) {
        m_db.close();
    }
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(databaseName);
    if (!m_db.open()) {
        m_lastError = m_db.lastError().text();
        return false;
    }
    QSqlQuery query(m_db);
    for (const char *pragma : { "PRAGMA foreign_keys = ON", "PRAGMA busy_timeout = 250" }) {
        if (!query.exec(QLatin1String(pragma))) {
            m_lastError = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool CompetitionStore::createTables()
{
    QSqlQuery query(m_db);
    for (const char *sql : results::CompetitionTablesMigration()) {
        if (!query.exec(QLatin1String(sql))) {
            m_lastError = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool CompetitionStore::save(Competition &competition)
{
    m_lastError.clear();
    if (!m_db.transaction()) {
        m_lastError = m_db.lastError().text();
        return false;
    }
    const qint64 idBefore = competition.id;
    if (!writeCompetition(competition)) {
        m_db.rollback();
        competition.id = idBefore;
        return false;
    }
    if (!m_db.commit()) {
        m_lastError = m_db.lastError().text();
        m_db.rollback();
        competition.id = idBefore;
        return false;
    }
    return true;
}

bool CompetitionStore::writeCompetition(Competition &competition)
{
    QSqlQuery query(m_db);
    auto run = [&]() {
        if (!query.exec()) {
            m_lastError = query.lastError().text();
            return false;
        }
        return true;
    };
    const Settings &settings = competition.settings;
    if (competition.id == 0) {
        query.prepare(QStringLiteral("INSERT INTO competitions (name, scoring, seconds, rounds, "
                                     "created_at) VALUES (?, ?, ?, ?, ?)"));
        query.addBindValue(text(settings.name));
        query.addBindValue(int(settings.scoring));
        query.addBindValue(settings.seconds);
        query.addBindValue(settings.rounds);
        query.addBindValue(results::IsoWithOffset(QDateTime::currentDateTime()));
        if (!run()) {
            return false;
        }
        competition.id = query.lastInsertId().toLongLong();
    } else {
        query.prepare(QStringLiteral("UPDATE competitions SET name = ? WHERE id = ?"));
        query.addBindValue(text(settings.name));
        query.addBindValue(competition.id);
        if (!run()) {
            return false;
        }
    }

    for (const char *sql : { "DELETE FROM competition_players WHERE competition_id = ?",
             "DELETE FROM competition_heats WHERE competition_id = ?" }) {
        query.prepare(QLatin1String(sql));
        query.addBindValue(competition.id);
        if (!run()) {
            return false;
        }
    }
    query.prepare(QStringLiteral("INSERT INTO competition_players (competition_id, player, name, "
                                 "retired) VALUES (?, ?, ?, ?)"));
    for (const Player &player : competition.players) {
        query.addBindValue(competition.id);
        query.addBindValue(player.id);
        query.addBindValue(text(player.name));
        query.addBindValue(player.retired ? 1 : 0);
        if (!run()) {
            return false;
        }
    }
    query.prepare(QStringLiteral("INSERT INTO competition_heats (competition_id, heat, round, "
                                 "device, player) VALUES (?, ?, ?, ?, ?)"));
    for (int h = 0; h < competition.heats.size(); ++h) {
        const Heat &heat = competition.heats[h];
        for (int d = 0; d < kDevices; ++d) {
            if (heat.seats[std::size_t(d)] == kNoPlayer) {
                continue;
            }
            query.addBindValue(competition.id);
            query.addBindValue(h + 1);
            query.addBindValue(heat.round);
            query.addBindValue(d + 1);
            query.addBindValue(heat.seats[std::size_t(d)]);
            if (!run()) {
                return false;
            }
        }
    }
    // Attempts are history: written once, never replaced.
    query.prepare(QStringLiteral("INSERT OR IGNORE INTO competition_results (competition_id, heat, "
                                 "attempt, device, player, absent, revolutions, best_rpm, game_id) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const Attempt &attempt : competition.attempts) {
        for (const SeatResult &seat : attempt.seats) {
            query.addBindValue(competition.id);
            query.addBindValue(attempt.heat + 1);
            query.addBindValue(attempt.attempt);
            query.addBindValue(seat.device);
            query.addBindValue(seat.player);
            query.addBindValue(seat.absent ? 1 : 0);
            query.addBindValue(seat.revolutions);
            query.addBindValue(seat.bestRpm);
            query.addBindValue(attempt.gameId);
            if (!run()) {
                return false;
            }
        }
    }
    return true;
}

std::optional<Competition> CompetitionStore::load(qint64 id) const
{
    m_lastError.clear();
    QSqlQuery query(m_db);
    auto fail = [&]() {
        m_lastError = query.lastError().text();
        return std::nullopt;
    };
    query.prepare(QStringLiteral("SELECT name, scoring, seconds, rounds FROM competitions "
                                 "WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        return fail();
    }
    if (!query.next()) {
        return std::nullopt;
    }
    Competition competition;
    competition.id = id;
    competition.settings.name = query.value(0).toString();
    competition.settings.scoring =
        query.value(1).toInt() == int(PlayMode::Speed) ? PlayMode::Speed : PlayMode::Strength;
    competition.settings.seconds = query.value(2).toInt();
    competition.settings.rounds = query.value(3).toInt();

    query.prepare(QStringLiteral("SELECT player, name, retired FROM competition_players "
                                 "WHERE competition_id = ? ORDER BY player"));
    query.addBindValue(id);
    if (!query.exec()) {
        return fail();
    }
    while (query.next()) {
        competition.players.append(Player {
            query.value(0).toInt(), query.value(1).toString(), query.value(2).toInt() != 0 });
    }

    query.prepare(QStringLiteral("SELECT heat, round, device, player FROM competition_heats "
                                 "WHERE competition_id = ? ORDER BY heat, device"));
    query.addBindValue(id);
    if (!query.exec()) {
        return fail();
    }
    while (query.next()) {
        const int heat = query.value(0).toInt();
        const int device = query.value(2).toInt();
        if (heat < 1 || device < 1 || device > kDevices) {
            continue;
        }
        while (competition.heats.size() < heat) {
            competition.heats.append(Heat {});
        }
        Heat &h = competition.heats[heat - 1];
        h.round = query.value(1).toInt();
        h.seats[std::size_t(device - 1)] = query.value(3).toInt();
    }

    query.prepare(QStringLiteral("SELECT heat, attempt, device, player, absent, revolutions, "
                                 "best_rpm, game_id FROM competition_results "
                                 "WHERE competition_id = ? ORDER BY heat, attempt, device"));
    query.addBindValue(id);
    if (!query.exec()) {
        return fail();
    }
    while (query.next()) {
        const int heat = query.value(0).toInt() - 1;
        const int number = query.value(1).toInt();
        if (competition.attempts.isEmpty() || competition.attempts.last().heat != heat
            || competition.attempts.last().attempt != number) {
            Attempt attempt;
            attempt.heat = heat;
            attempt.attempt = number;
            attempt.gameId = query.value(7).toLongLong();
            competition.attempts.append(attempt);
        }
        competition.attempts.last().seats.append(SeatResult { query.value(3).toInt(),
            query.value(2).toInt(), query.value(4).toInt() != 0, query.value(5).toDouble(),
            qint32(query.value(6).toInt()) });
    }
    return competition;
}

std::optional<qint64> CompetitionStore::openCompetition() const
{
    m_lastError.clear();
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT id FROM competitions WHERE closed = 0 "
                                   "ORDER BY id DESC LIMIT 1"))) {
        m_lastError = query.lastError().text();
        return std::nullopt;
    }
    return query.next() ? std::optional<qint64>(query.value(0).toLongLong()) : std::nullopt;
}

bool CompetitionStore::close(qint64 id)
{
    m_lastError.clear();
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE competitions SET closed = 1 WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

} // namespace competition
