// SPDX-License-Identifier: MIT
#include "results/game_queries.h"

#include "results/csv.h"
#include "results/plain_text.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>

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

std::optional<QSqlError> InsertGame(QSqlDatabase &db, GameRecord &game)
{
    if (!db.transaction()) {
        return db.lastError();
    }
    QSqlQuery query(db);
    auto fail = [&](const QSqlError &error) {
        query.finish();
        db.rollback();
        return error;
    };
    query.prepare(QStringLiteral("INSERT INTO games (started_at, started_ms, mode, preset_s, "
                                 "ticks, complete) VALUES (?, ?, ?, ?, ?, ?)"));
    query.addBindValue(IsoWithOffset(game.startedAt));
    query.addBindValue(game.startedAt.toMSecsSinceEpoch());
    query.addBindValue(int(game.mode));
    query.addBindValue(nullable(game.presetSeconds));
    query.addBindValue(game.ticks);
    query.addBindValue(game.complete ? 1 : 0);
    if (!query.exec()) {
        return fail(query.lastError());
    }
    const qint64 id = query.lastInsertId().toLongLong();
    query.prepare(
        QStringLiteral("INSERT INTO game_players (game_id, player, name, port, best_rpm, "
                       "revolutions, mean_rpm, samples, list) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const std::optional<BestList> list = ListOf(game);
    for (const PlayerResult &player : game.players) {
        query.addBindValue(id);
        query.addBindValue(int(player.player));
        query.addBindValue(text(player.name));
        query.addBindValue(text(player.port));
        query.addBindValue(player.bestRpm);
        query.addBindValue(player.revolutions ? QVariant(*player.revolutions)
                                              : QVariant(QMetaType(QMetaType::Double)));
        query.addBindValue(nullable(player.meanRpm));
        query.addBindValue(packSamples(player.samples));
        query.addBindValue(list ? QVariant(int(*list)) : QVariant(QMetaType(QMetaType::Int)));
        if (!query.exec()) {
            return fail(query.lastError());
        }
    }
    query.finish();
    if (!db.commit()) {
        return fail(db.lastError());
    }
    game.id = id;
    return std::nullopt;
}

} // namespace results::queries
