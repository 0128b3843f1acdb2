// SPDX-License-Identifier: MIT
#include "results/game_queries.h"

#include "results/csv.h"
#include "results/plain_text.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>

#include <algorithm>

namespace results::queries
{

namespace
{

    QByteArray packSamples(const QList<qint32> &samples)
    {
        QByteArray bytes(samples.size() * qsizetype(sizeof(qint32)), Qt::Uninitialized);
        for (qsizetype i = 0; i < samples.size(); ++i) {
            qToLittleEndian(samples[i], bytes.data() + i * qsizetype(sizeof(qint32)));
        }
        return bytes;
    }

    QList<qint32> unpackSamples(const QByteArray &bytes)
    {
        QList<qint32> samples;
        const qsizetype count = bytes.size() / qsizetype(sizeof(qint32));
        samples.reserve(count);
        for (qsizetype i = 0; i < count; ++i) {
            samples.append(qFromLittleEndian<qint32>(bytes.constData() + i * sizeof(qint32)));
        }
        return samples;
    }

    QVariant nullable(const std::optional<int> &value)
    {
        return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Int));
    }

    std::optional<int> optionalInt(const QVariant &value)
    {
        return value.isNull() ? std::nullopt : std::optional<int>(value.toInt());
    }

    std::optional<double> optionalDouble(const QVariant &value)
    {
        return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
    }

    // A null QString binds as SQL NULL; names and ports are never NULL, only empty. A lone
    // UTF-16 half becomes U+FFFD here, where SQLite would merge it with the next character.
    QString text(const QString &value)
    {
        return value.isNull() ? QStringLiteral("") : WellFormed(value);
    }

    // The values a finished and a running game both keep of a player, in this order: name,
    // port, best rpm, revolutions, mean rpm.
    void bindPlayerResult(QSqlQuery &query, const PlayerResult &player)
    {
        query.addBindValue(text(player.name));
        query.addBindValue(text(player.port));
        query.addBindValue(player.bestRpm);
        query.addBindValue(player.revolutions ? QVariant(*player.revolutions)
                                              : QVariant(QMetaType(QMetaType::Double)));
        query.addBindValue(nullable(player.meanRpm));
    }

    QDateTime startFromText(const QString &text)
    {
        return QDateTime::fromString(text, Qt::ISODate);
    }

    PlayMode modeFrom(const QVariant &value)
    {
        return value.toInt() == int(PlayMode::Strength) ? PlayMode::Strength : PlayMode::Speed;
    }

} // namespace

int GameCount(const QSqlDatabase &db, QSqlError &error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM games")) || !query.next()) {
        error = query.lastError();
        return 0;
    }
    return query.value(0).toInt();
}

QList<GameSummary> RecentGames(const QSqlDatabase &db, int offset, int limit, QSqlError &error)
{
    QList<GameSummary> games;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, started_at, mode, preset_s, ticks, complete FROM "
                                 "games ORDER BY started_ms DESC, id DESC LIMIT ? OFFSET ?"));
    query.addBindValue(limit);
    query.addBindValue(offset);
    if (!query.exec()) {
        error = query.lastError();
        return games;
    }
    while (query.next()) {
        GameSummary game;
        game.id = query.value(0).toLongLong();
        game.startedAt = startFromText(query.value(1).toString());
        game.mode = modeFrom(query.value(2));
        game.presetSeconds = optionalInt(query.value(3));
        game.ticks = query.value(4).toInt();
        game.complete = query.value(5).toInt() != 0;
        games.append(game);
    }
    QSqlQuery names(db);
    names.setForwardOnly(true);
    names.prepare(
        QStringLiteral("SELECT name FROM game_players WHERE game_id = ? ORDER BY player"));
    for (GameSummary &game : games) {
        names.addBindValue(game.id);
        if (names.exec()) {
            while (names.next()) {
                game.playerNames.append(names.value(0).toString());
            }
        }
    }
    return games;
}

std::optional<GameRecord> Game(const QSqlDatabase &db, qint64 id, QSqlError &error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT started_at, mode, preset_s, ticks, complete FROM games WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) {
        error = query.lastError();
        return std::nullopt;
    }
    GameRecord game;
    game.id = id;
    game.startedAt = startFromText(query.value(0).toString());
    game.mode = modeFrom(query.value(1));
    game.presetSeconds = optionalInt(query.value(2));
    game.ticks = query.value(3).toInt();
    game.complete = query.value(4).toInt() != 0;
    query.finish();
    query.prepare(QStringLiteral("SELECT player, name, port, best_rpm, revolutions, mean_rpm, "
                                 "samples FROM game_players WHERE game_id = ? ORDER BY player"));
    query.addBindValue(id);
    if (!query.exec()) {
        error = query.lastError();
        return std::nullopt;
    }
    while (query.next()) {
        PlayerResult player;
        player.player = rotavex::PlayerSlot(query.value(0).toInt());
        player.name = query.value(1).toString();
        player.port = query.value(2).toString();
        player.bestRpm = query.value(3).toInt();
        player.revolutions = optionalDouble(query.value(4));
        player.meanRpm = optionalInt(query.value(5));
        player.samples = unpackSamples(query.value(6).toByteArray());
        game.players.append(player);
    }
    return game;
}

QList<RankEntry> Ranking(const QSqlDatabase &db, BestList list, int limit, QSqlError &error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const QString select = QStringLiteral(
        "SELECT p.game_id, p.player, p.name, g.started_at, p.best_rpm, p.revolutions, p.mean_rpm "
        "FROM game_players p JOIN games g ON g.id = p.game_id ");
    if (list == BestList::Speed) {
        // A player who never turned has no speed to rank.
        query.prepare(select
            + QStringLiteral("WHERE p.list = 0 AND p.best_rpm > 0 "
                             "ORDER BY p.best_rpm DESC, g.started_ms, g.id, p.player LIMIT ?"));
        query.addBindValue(limit);
    } else {
        // Ranked by whole revolutions, as the board shows them, so equal-looking results are
        // equal and the earlier one goes first.
        query.prepare(select
            + QStringLiteral("WHERE p.list = ? AND p.revolutions >= 0.5 "
                             "ORDER BY CAST(ROUND(p.revolutions) AS INTEGER) DESC, g.started_ms, "
                             "g.id, p.player LIMIT ?"));
        query.addBindValue(int(list));
        query.addBindValue(limit);
    }
    QList<RankEntry> entries;
    if (!query.exec()) {
        error = query.lastError();
        return entries;
    }
    while (query.next()) {
        RankEntry entry;
        entry.gameId = query.value(0).toLongLong();
        entry.player = rotavex::PlayerSlot(query.value(1).toInt());
        entry.name = query.value(2).toString();
        entry.startedAt = startFromText(query.value(3).toString());
        entry.bestRpm = query.value(4).toInt();
        entry.revolutions = query.value(5).toDouble();
        entry.meanRpm = query.value(6).toInt();
        entries.append(entry);
    }
    return entries;
}

bool ForEachGame(
    const QSqlDatabase &db, const std::function<bool(const GameRecord &)> &visit, QSqlError &error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT g.id, g.started_at, g.mode, g.preset_s, g.ticks, g.complete, p.player, "
            "p.name, p.port, p.best_rpm, p.revolutions, p.mean_rpm FROM games g "
            "LEFT JOIN game_players p ON p.game_id = g.id "
            "ORDER BY g.started_ms, g.id, p.player"))) {
        error = query.lastError();
        return false;
    }
    std::optional<GameRecord> current;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (!current || current->id != id) {
            if (current && !visit(*current)) {
                return true;
            }
            current.emplace();
            current->id = id;
            current->startedAt = startFromText(query.value(1).toString());
            current->mode = modeFrom(query.value(2));
            current->presetSeconds = optionalInt(query.value(3));
            current->ticks = query.value(4).toInt();
            current->complete = query.value(5).toInt() != 0;
        }
        if (query.isNull(6)) {
            continue;
        }
        PlayerResult player;
        player.player = rotavex::PlayerSlot(query.value(6).toInt());
        player.name = query.value(7).toString();
        player.port = query.value(8).toString();
        player.bestRpm = query.value(9).toInt();
        player.revolutions = optionalDouble(query.value(10));
        player.meanRpm = optionalInt(query.value(11));
        current->players.append(player);
    }
    // A page that cannot be read ends the scan early: that is a failure, not the last game.
    if (query.lastError().isValid()) {
        error = query.lastError();
        return false;
    }
    if (current) {
        visit(*current);
    }
    return true;
}

namespace
{

    // The game's rows, in the caller's transaction; sets its id.
    std::optional<QSqlError> insertRows(QSqlDatabase &db, GameRecord &game)
    {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT INTO games (started_at, started_ms, mode, preset_s, "
                                     "ticks, complete) VALUES (?, ?, ?, ?, ?, ?)"));
        query.addBindValue(IsoWithOffset(game.startedAt));
        query.addBindValue(game.startedAt.toMSecsSinceEpoch());
        query.addBindValue(int(game.mode));
        query.addBindValue(nullable(game.presetSeconds));
        query.addBindValue(game.ticks);
        query.addBindValue(game.complete ? 1 : 0);
        if (!query.exec()) {
            return query.lastError();
        }
        const qint64 id = query.lastInsertId().toLongLong();
        query.prepare(QStringLiteral(
            "INSERT INTO game_players (game_id, player, name, port, best_rpm, "
            "revolutions, mean_rpm, samples, list) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const std::optional<BestList> list = ListOf(game);
        for (const PlayerResult &player : game.players) {
            query.addBindValue(id);
            query.addBindValue(int(player.player));
            bindPlayerResult(query, player);
            query.addBindValue(packSamples(player.samples));
            query.addBindValue(list ? QVariant(int(*list)) : QVariant(QMetaType(QMetaType::Int)));
            if (!query.exec()) {
                return query.lastError();
            }
        }
        game.id = id;
        return std::nullopt;
    }

    // Forgets what `instance` kept of its running game; with `startedMs`, only when it is that
    // game (a later game's may be kept already when an earlier one is written late).
    std::optional<QSqlError> forgetRunning(
        QSqlDatabase &db, const QString &instance, std::optional<qint64> startedMs = {})
    {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT 1 FROM running_games WHERE instance = ? AND "
                                     "(? IS NULL OR started_ms = ?)"));
        const QVariant ms =
            startedMs ? QVariant(*startedMs) : QVariant(QMetaType(QMetaType::LongLong));
        query.addBindValue(instance);
        query.addBindValue(ms);
        query.addBindValue(ms);
        if (!query.exec()) {
            return query.lastError();
        }
        if (!query.next()) {
            return std::nullopt;
        }
        query.finish();
        for (const char *table : { "running_ticks", "running_players", "running_games" }) {
            // Our own table names, never user data.
            query.prepare(
                QStringLiteral("DELETE FROM %1 WHERE instance = ?").arg(QLatin1String(table)));
            query.addBindValue(instance);
            if (!query.exec()) {
                return query.lastError();
            }
        }
        return std::nullopt;
    }

    // One transaction around `rows`: committed when it returns nothing, rolled back otherwise.
    std::optional<QSqlError> inTransaction(
        QSqlDatabase &db, const std::function<std::optional<QSqlError>()> &rows)
    {
        if (!db.transaction()) {
            return db.lastError();
        }
        if (const auto error = rows()) {
            db.rollback();
            return error;
        }
        if (!db.commit()) {
            const QSqlError error = db.lastError();
            db.rollback();
            return error;
        }
        return std::nullopt;
    }

} // namespace

std::optional<QSqlError> InsertGame(QSqlDatabase &db, GameRecord &game, const QString &instance)
{
    GameRecord written = game;
    const auto error = inTransaction(db, [&]() -> std::optional<QSqlError> {
        if (const auto error = insertRows(db, written)) {
            return error;
        }
        if (instance.isEmpty()) {
            return std::nullopt;
        }
        return forgetRunning(db, instance, game.startedAt.toMSecsSinceEpoch());
    });
    if (!error) {
        game.id = written.id;
    }
    return error;
}

std::optional<QSqlError> KeepRunning(QSqlDatabase &db, const QString &instance,
    const GameRecord &running, qint64 replaces, int fromTick)
{
    return inTransaction(db, [&]() -> std::optional<QSqlError> {
        if (fromTick < 0) {
            if (const auto error = forgetRunning(db, instance)) {
                return error;
            }
            fromTick = 0;
        }
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT OR REPLACE INTO running_games (instance, started_at, "
                                     "started_ms, mode, preset_s, ticks, replaces) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?)"));
        query.addBindValue(instance);
        query.addBindValue(IsoWithOffset(running.startedAt));
        query.addBindValue(running.startedAt.toMSecsSinceEpoch());
        query.addBindValue(int(running.mode));
        query.addBindValue(nullable(running.presetSeconds));
        query.addBindValue(running.ticks);
        query.addBindValue(replaces);
        if (!query.exec()) {
            return query.lastError();
        }
        query.prepare(QStringLiteral("INSERT OR REPLACE INTO running_players (instance, player, "
                                     "name, port, best_rpm, revolutions, mean_rpm) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const PlayerResult &player : running.players) {
            query.addBindValue(instance);
            query.addBindValue(int(player.player));
            bindPlayerResult(query, player);
            if (!query.exec()) {
                return query.lastError();
            }
        }
        query.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO running_ticks (instance, tick, rpm) VALUES (?, ?, ?)"));
        for (int tick = fromTick; tick < running.ticks; ++tick) {
            QList<qint32> rpm(rotavex::kLastPlayer, 0);
            for (const PlayerResult &player : running.players) {
                if (tick < player.samples.size()) {
                    rpm[player.player - rotavex::kFirstPlayer] = player.samples[tick];
                }
            }
            query.addBindValue(instance);
            query.addBindValue(tick);
            query.addBindValue(packSamples(rpm));
            if (!query.exec()) {
                return query.lastError();
            }
        }
        return std::nullopt;
    });
}

QList<RunningGame> LeftRunning(const QSqlDatabase &db,
    const std::function<bool(const QString &instance)> &alive, QSqlError &error)
{
    QList<RunningGame> left;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT instance, started_at, mode, preset_s, ticks, replaces "
                                   "FROM running_games ORDER BY started_ms"))) {
        error = query.lastError();
        return left;
    }
    while (query.next()) {
        RunningGame running;
        running.instance = query.value(0).toString();
        if (alive(running.instance)) {
            continue;
        }
        GameRecord &game = running.game;
        game.startedAt = startFromText(query.value(1).toString());
        game.mode = modeFrom(query.value(2));
        game.presetSeconds = optionalInt(query.value(3));
        game.ticks = std::max(0, query.value(4).toInt());
        game.complete = false;
        running.replaces = query.value(5).toLongLong();
        left.append(running);
    }
    for (RunningGame &running : left) {
        GameRecord &game = running.game;
        QSqlQuery players(db);
        players.setForwardOnly(true);
        players.prepare(QStringLiteral("SELECT player, name, port, best_rpm, revolutions, "
                                       "mean_rpm FROM running_players WHERE instance = ? AND "
                                       "player BETWEEN 1 AND 4 ORDER BY player"));
        players.addBindValue(running.instance);
        if (!players.exec()) {
            error = players.lastError();
            return {};
        }
        while (players.next()) {
            PlayerResult player;
            player.player = rotavex::PlayerSlot(players.value(0).toInt());
            player.name = players.value(1).toString();
            player.port = players.value(2).toString();
            player.bestRpm = players.value(3).toInt();
            player.revolutions = optionalDouble(players.value(4));
            player.meanRpm = optionalInt(players.value(5));
            game.players.append(player);
        }
        // Only the ticks kept in order from the first count: a tick missing cuts the game there.
        QSqlQuery ticks(db);
        ticks.setForwardOnly(true);
        ticks.prepare(QStringLiteral(
            "SELECT tick, rpm FROM running_ticks WHERE instance = ? AND tick < ? ORDER BY tick"));
        ticks.addBindValue(running.instance);
        ticks.addBindValue(game.ticks);
        if (!ticks.exec()) {
            error = ticks.lastError();
            return {};
        }
        int kept = 0;
        while (ticks.next() && ticks.value(0).toInt() == kept) {
            const QList<qint32> rpm = unpackSamples(ticks.value(1).toByteArray());
            for (PlayerResult &player : game.players) {
                const qsizetype slot = player.player - rotavex::kFirstPlayer;
                player.samples.append(slot < rpm.size() ? std::max<qint32>(rpm[slot], 0) : 0);
            }
            ++kept;
        }
        game.ticks = kept;
    }
    return left;
}

std::optional<QSqlError> RecordLeftRunning(QSqlDatabase &db, RunningGame &left)
{
    GameRecord written = left.game;
    const auto error = inTransaction(db, [&]() -> std::optional<QSqlError> {
        // Nothing was played yet (no tick kept): nothing to record, and the game it would
        // replace stays.
        if (written.ticks > 0 && !written.players.isEmpty()) {
            QSqlQuery query(db);
            if (left.replaces > 0) {
                query.prepare(QStringLiteral("DELETE FROM games WHERE id = ?"));
                query.addBindValue(left.replaces);
                if (!query.exec()) {
                    return query.lastError();
                }
            }
            if (const auto error = insertRows(db, written)) {
                return error;
            }
        }
        return forgetRunning(db, left.instance);
    });
    if (!error) {
        left.game.id = written.id;
    }
    return error;
}

} // namespace results::queries
