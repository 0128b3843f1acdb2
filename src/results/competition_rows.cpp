// SPDX-License-Identifier: MIT
#include "results/competition_rows.h"

#include "results/csv.h"
#include "results/plain_text.h"
#include "shared/player_tables.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>
#include <limits>
#include <map>

namespace results::competition_rows
{

using namespace competition;

namespace
{

    // A heat lasts 90 s at most: more revolutions than the fastest device makes in it are damage.
    constexpr double kMaxRevolutions = double(rotavex::kMaxRpm) * 90.0 / 60.0;

    // A null QString binds as SQL NULL; names are never NULL, only empty. A lone UTF-16 half
    // becomes U+FFFD, where SQLite would merge it with the next character.
    QString text(const QString &value)
    {
        return value.isNull() ? QStringLiteral("") : WellFormed(value);
    }

    // What a read left out, counted by kind, for one message.
    class Skipped
    {
    public:
        void note(const char *what) { ++m_counts[what]; }
        QString text() const
        {
            QStringList parts;
            for (const auto &[what, count] : m_counts) {
                parts.append(QStringLiteral("%1 (%2)").arg(QLatin1String(what)).arg(count));
            }
            return parts.join(QStringLiteral(", "));
        }

    private:
        std::map<const char *, int> m_counts;
    };

    // The competition with `id` as the file holds it, every id and index checked on the way in:
    // a row that names something that does not exist is left out, heats are numbered in order,
    // names are cut to their bound. nullopt with `error` set when the file could not be read,
    // nullopt alone when there is no such competition.
    std::optional<Competition> readCompetition(
        const QSqlDatabase &db, qint64 id, Skipped &skipped, QSqlError &error)
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        auto fail = [&]() {
            error = query.lastError();
            return std::nullopt;
        };
        query.prepare(QStringLiteral("SELECT name, scoring, seconds, rounds, ranking FROM "
                                     "competitions WHERE id = ?"));
        query.addBindValue(id);
        if (!query.exec()) {
            return fail();
        }
        if (!query.next()) {
            return std::nullopt;
        }
        Competition c;
        c.id = id;
        Settings &settings = c.settings;
        settings.name = BoundName(query.value(0).toString());
        const qint64 scoring = query.value(1).toLongLong();
        const qint64 seconds = query.value(2).toLongLong();
        const qint64 rounds = query.value(3).toLongLong();
        if ((scoring != int(PlayMode::Speed) && scoring != int(PlayMode::Strength))
            || (seconds != 30 && seconds != 60 && seconds != 90) || rounds < kMinRounds
            || rounds > kMaxRounds) {
            skipped.note("settings out of range, replaced");
        }
        settings.gameKind = scoring == int(PlayMode::Speed) ? PlayMode::Speed : PlayMode::Strength;
        settings.seconds = seconds == 30 || seconds == 90 ? int(seconds) : 60;
        settings.rounds = int(std::clamp<qint64>(rounds, kMinRounds, kMaxRounds));
        const qint64 ranking = query.value(4).toLongLong();
        settings.ranking = ranking == int(RankingRule::Mean) ? RankingRule::Mean
            : ranking == int(RankingRule::Best)              ? RankingRule::Best
                                                             : RankingRule::Total;
        if (query.value(0).toString().size() > kMaxNameLength) {
            skipped.note("names cut to their length");
        }

        query.prepare(QStringLiteral("SELECT player, name, retired FROM competition_players "
                                     "WHERE competition_id = ? ORDER BY player"));
        query.addBindValue(id);
        if (!query.exec()) {
            return fail();
        }
        QSet<PlayerId> known;
        while (query.next()) {
            const qint64 player = query.value(0).toLongLong();
            // Ids ascend: the player lookups depend on it.
            if (player <= kNoPlayer || player > std::numeric_limits<PlayerId>::max()
                || (!c.players.isEmpty() && player <= c.players.last().id)) {
                skipped.note("players with a bad number");
                continue;
            }
            const QString name = query.value(1).toString();
            if (name.size() > kMaxNameLength) {
                skipped.note("names cut to their length");
            }
            c.players.append(
                Player { PlayerId(player), BoundName(name), query.value(2).toInt() != 0 });
            known.insert(PlayerId(player));
        }
        if (query.lastError().isValid()) {
            return fail();
        }

        // Heats in the order of their numbers, whatever the numbers: a gap never allocates.
        query.prepare(QStringLiteral("SELECT heat, round, device, player FROM competition_heats "
                                     "WHERE competition_id = ? ORDER BY heat, device"));
        query.addBindValue(id);
        if (!query.exec()) {
            return fail();
        }
        QHash<qint64, int> heatIndex;
        while (query.next()) {
            const qint64 number = query.value(0).toLongLong();
            const qint64 round = query.value(1).toLongLong();
            const qint64 device = query.value(2).toLongLong();
            const qint64 player = query.value(3).toLongLong();
            if (device < 1 || device > kDevices) {
                skipped.note("heat seats at a device that does not exist");
                continue;
            }
            if (round < 1 || round > settings.rounds) {
                skipped.note("heat seats in a round that does not exist");
                continue;
            }
            if (player > std::numeric_limits<PlayerId>::max()
                || !known.contains(PlayerId(player))) {
                skipped.note("heat seats naming a player who is not in the competition");
                continue;
            }
            auto found = heatIndex.constFind(number);
            if (found == heatIndex.constEnd()) {
                if (!c.heats.isEmpty() && c.heats.last().round > round) {
                    skipped.note("heat seats out of the rounds' order");
                    continue;
                }
                if (number != c.heats.size() + 1) {
                    skipped.note("heats renumbered in their order");
                }
                found = heatIndex.insert(number, int(c.heats.size()));
                Heat heat;
                heat.round = int(round);
                c.heats.append(heat);
            }
            Heat &heat = c.heats[*found];
            if (heat.round != round || heat.deviceOf(PlayerId(player)) != 0) {
                skipped.note("heat seats that contradict their heat");
                continue;
            }
            heat.seats[std::size_t(device - 1)] = PlayerId(player);
        }
        if (query.lastError().isValid()) {
            return fail();
        }

        query.prepare(QStringLiteral("SELECT heat, attempt, device, player, absent, revolutions, "
                                     "best_rpm, game_id FROM competition_results "
                                     "WHERE competition_id = ? ORDER BY heat, attempt, device"));
        query.addBindValue(id);
        if (!query.exec()) {
            return fail();
        }
        while (query.next()) {
            const auto heat = heatIndex.constFind(query.value(0).toLongLong());
            const qint64 number = query.value(1).toLongLong();
            const qint64 device = query.value(2).toLongLong();
            const qint64 player = query.value(3).toLongLong();
            const double revolutions = query.value(5).toDouble();
            const qint64 bestRpm = query.value(6).toLongLong();
            if (heat == heatIndex.constEnd()) {
                skipped.note("results of a heat that does not exist");
                continue;
            }
            if (number < 1 || number > std::numeric_limits<int>::max() || device < 1
                || device > kDevices || player > std::numeric_limits<PlayerId>::max()
                || !known.contains(PlayerId(player))) {
                skipped.note("results naming a player, device or playing that does not exist");
                continue;
            }
            if (!std::isfinite(revolutions) || revolutions < 0.0 || revolutions > kMaxRevolutions
                || bestRpm < 0 || bestRpm > rotavex::kMaxRpm) {
                skipped.note("results with impossible numbers");
                continue;
            }
            if (c.attempts.isEmpty() || c.attempts.last().heat != *heat
                || c.attempts.last().attempt != number) {
                Attempt attempt;
                attempt.heat = *heat;
                attempt.attempt = int(number);
                attempt.gameId = query.value(7).toLongLong();
                c.attempts.append(attempt);
            }
            c.attempts.last().seats.append(SeatResult { PlayerId(player), int(device),
                query.value(4).toInt() != 0, revolutions, qint32(bestRpm) });
        }
        if (query.lastError().isValid()) {
            return fail();
        }
        return c;
    }

    // Writes the competition's rows under `id` (0: a new row, whose id is returned in `id`).
    // With `stored`, the undamaged state the file holds, only what differs from it is written:
    // a late arrival rewrites the heats it moved, not ten thousand players.
    std::optional<QSqlError> writeRows(QSqlDatabase &db, const Competition &competition,
        bool closed, qint64 &id, const Competition *stored)
    {
        QSqlQuery query(db);
        auto run = [&]() { return query.exec() ? std::nullopt : std::optional(query.lastError()); };
        const Settings &settings = competition.settings;
        if (id == 0) {
            query.prepare(
                QStringLiteral("INSERT INTO competitions (name, scoring, seconds, rounds, "
                               "created_at, closed, ranking) VALUES (?, ?, ?, ?, ?, ?, ?)"));
            query.addBindValue(text(settings.name));
            query.addBindValue(int(settings.gameKind));
            query.addBindValue(settings.seconds);
            query.addBindValue(settings.rounds);
            query.addBindValue(IsoWithOffset(QDateTime::currentDateTime()));
            query.addBindValue(closed ? 1 : 0);
            query.addBindValue(int(settings.ranking));
            if (const auto error = run()) {
                return error;
            }
            id = query.lastInsertId().toLongLong();
        } else {
            query.prepare(
                QStringLiteral("UPDATE competitions SET name = ?, closed = ?, ranking = ? "
                               "WHERE id = ?"));
            query.addBindValue(text(settings.name));
            query.addBindValue(closed ? 1 : 0);
            query.addBindValue(int(settings.ranking));
            query.addBindValue(id);
            if (const auto error = run()) {
                return error;
            }
        }
        const Competition empty;
        const bool samePlayers = stored && stored->players.size() <= competition.players.size();
        const Competition &before = stored ? *stored : empty;
        if (!samePlayers) {
            query.prepare(
                QStringLiteral("DELETE FROM competition_players WHERE competition_id = ?"));
            query.addBindValue(id);
            if (const auto error = run()) {
                return error;
            }
        }
        query.prepare(QStringLiteral("INSERT OR REPLACE INTO competition_players (competition_id, "
                                     "player, name, retired) VALUES (?, ?, ?, ?)"));
        for (qsizetype i = 0; i < competition.players.size(); ++i) {
            const Player &player = competition.players[i];
            if (samePlayers && i < before.players.size() && before.players[i] == player) {
                continue;
            }
            query.addBindValue(id);
            query.addBindValue(player.id);
            query.addBindValue(text(player.name));
            query.addBindValue(player.retired ? 1 : 0);
            if (const auto error = run()) {
                return error;
            }
        }
        QSqlQuery remove(db);
        remove.prepare(
            QStringLiteral("DELETE FROM competition_heats WHERE competition_id = ? AND heat = ?"));
        if (!stored) {
            remove.prepare(QStringLiteral("DELETE FROM competition_heats WHERE competition_id = ? "
                                          "AND heat >= ?"));
        }
        query.prepare(QStringLiteral("INSERT INTO competition_heats (competition_id, heat, round, "
                                     "device, player) VALUES (?, ?, ?, ?, ?)"));
        const qsizetype heats = std::max(competition.heats.size(), before.heats.size());
        for (qsizetype h = stored ? 0 : -1; h < heats; ++h) {
            if (h >= 0 && h < competition.heats.size() && h < before.heats.size()
                && competition.heats[h] == before.heats[h]) {
                continue;
            }
            // Without a stored state every heat goes, whatever its number: one delete.
            if (stored || h < 0) {
                remove.addBindValue(id);
                remove.addBindValue(std::max<qsizetype>(h + 1, 0));
                if (!remove.exec()) {
                    return remove.lastError();
                }
            }
            if (h < 0 || h >= competition.heats.size()) {
                continue;
            }
            const Heat &heat = competition.heats[h];
            for (int d = 0; d < kDevices; ++d) {
                if (heat.seats[std::size_t(d)] == kNoPlayer) {
                    continue;
                }
                query.addBindValue(id);
                query.addBindValue(h + 1);
                query.addBindValue(heat.round);
                query.addBindValue(d + 1);
                query.addBindValue(heat.seats[std::size_t(d)]);
                if (const auto error = run()) {
                    return error;
                }
            }
        }
        QSet<std::pair<int, int>> written;
        for (const Attempt &attempt : before.attempts) {
            written.insert({ attempt.heat, attempt.attempt });
        }
        // Attempts are history: written once, never replaced.
        query.prepare(
            QStringLiteral("INSERT OR IGNORE INTO competition_results (competition_id, heat, "
                           "attempt, device, player, absent, revolutions, best_rpm, game_id) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const Attempt &attempt : competition.attempts) {
            if (written.contains({ attempt.heat, attempt.attempt })) {
                continue;
            }
            for (const SeatResult &seat : attempt.seats) {
                query.addBindValue(id);
                query.addBindValue(attempt.heat + 1);
                query.addBindValue(attempt.attempt);
                query.addBindValue(seat.device);
                query.addBindValue(seat.player);
                query.addBindValue(seat.absent ? 1 : 0);
                query.addBindValue(seat.revolutions);
                query.addBindValue(seat.bestRpm);
                query.addBindValue(attempt.gameId);
                if (const auto error = run()) {
                    return error;
                }
            }
        }
        return std::nullopt;
    }

} // namespace

std::optional<Competition> Read(
    const QSqlDatabase &db, qint64 id, QString &skipped, QSqlError &error)
{
    Skipped left;
    std::optional<Competition> read = readCompetition(db, id, left, error);
    skipped = left.text();
    return read;
}

std::optional<QSqlError> Write(QSqlDatabase &db, const Competition &competition, bool closed,
    qint64 &id, const Competition *stored)
{
    return writeRows(db, competition, closed, id, stored);
}

QList<qint64> OpenIds(const QSqlDatabase &db, QSqlError &error)
{
    QList<qint64> ids;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id FROM competitions WHERE closed = 0 "
                                   "ORDER BY id DESC"))) {
        error = query.lastError();
        return ids;
    }
    while (query.next()) {
        ids.append(query.value(0).toLongLong());
    }
    return ids;
}

} // namespace results::competition_rows
