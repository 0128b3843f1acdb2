// SPDX-License-Identifier: MIT
#include "results/results_store.h"

#include "results/competition_tables.h"
#include "results/csv.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <QtEndian>

namespace results
{

namespace
{

    QAtomicInt g_connectionCounter;

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

    // SQLite's result codes for a damaged file and for a file that is not a database.
    constexpr int kSqliteCorrupt = 11;
    constexpr int kSqliteNotADatabase = 26;

    bool isDamage(const QSqlError &error)
    {
        bool ok = false;
        // Extended codes keep the primary code in the low byte.
        const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
        return ok && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
    }

    bool hasDatabaseHeader(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        if (file.size() == 0) {
            return true; // SQLite treats an empty file as an empty database
        }
        return file.read(16) == QByteArrayLiteral("SQLite format 3\0");
    }

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

    // A null QString binds as SQL NULL; names and ports are never NULL, only empty.
    QString text(const QString &value) { return value.isNull() ? QStringLiteral("") : value; }

    QDateTime startFromText(const QString &text)
    {
        return QDateTime::fromString(text, Qt::ISODate);
    }

    GameMode modeFrom(const QVariant &value)
    {
        return value.toInt() == int(GameMode::Strength) ? GameMode::Strength : GameMode::Speed;
    }

} // namespace

std::optional<BestList> ListOf(const GameRecord &game)
{
    if (game.mode == GameMode::Speed) {
        return BestList::Speed;
    }
    if (!game.complete || !game.presetSeconds) {
        return std::nullopt;
    }
    switch (*game.presetSeconds) {
    case 30:
        return BestList::Strength30;
    case 60:
        return BestList::Strength60;
    case 90:
        return BestList::Strength90;
    default:
        return std::nullopt;
    }
}

QString ModeName(GameMode mode)
{
    return mode == GameMode::Strength ? QStringLiteral("strength") : QStringLiteral("speed");
}

ResultsStore::ResultsStore(const QString &folder)
    : m_connectionName(
        QStringLiteral("rotavex-results-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
{
    openFile(folder);
}

ResultsStore::~ResultsStore() { closeConnection(); }

QString ResultsStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void ResultsStore::closeConnection()
{
    if (m_db.isValid()) {
        m_db.close();
    }
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool ResultsStore::openConnection(const QString &databaseName)
{
    closeConnection();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(databaseName);
    if (!m_db.open()) {
        m_lastError = m_db.lastError().text();
        return false;
    }
    return true;
}

bool ResultsStore::exec(const QString &sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

void ResultsStore::openFile(const QString &folder)
{
    m_filePath = QDir(folder).filePath(QLatin1String(kFileName));
    if (!QDir().mkpath(folder)) {
        useMemory(QStringLiteral("the folder %1 could not be created").arg(folder), false);
        return;
    }
    const QFileInfo info(m_filePath);
    if (info.exists() && (info.isDir() || !hasDatabaseHeader(m_filePath))) {
        if (!info.isDir() && !info.isReadable()) {
            useMemory(QStringLiteral("%1 cannot be read").arg(m_filePath), false);
            return;
        }
        moveAsideAndStartAgain(info.isDir() ? QStringLiteral("it is a folder")
                                            : QStringLiteral("it is not a database"));
        return;
    }
    if (!openConnection(m_filePath)) {
        useMemory(m_lastError, false);
        return;
    }
    QString why;
    bool unreadable = false;
    if (configureAndMigrate(why, unreadable)) {
        m_saved = true;
        return;
    }
    if (unreadable) {
        moveAsideAndStartAgain(why);
    } else {
        useMemory(why, true);
    }
}

bool ResultsStore::configureAndMigrate(QString &why, bool &unreadable)
{
    QSqlQuery query(m_db);
    auto failed = [&](const QSqlError &error) {
        why = error.text();
        unreadable = isDamage(error);
        return false;
    };
    if (!query.exec(QStringLiteral("PRAGMA integrity_check"))) {
        return failed(query.lastError());
    }
    if (!query.next() || query.value(0).toString() != QLatin1String("ok")) {
        why = QStringLiteral("it failed its integrity check");
        unreadable = true;
        return false;
    }
    query.finish();
    // A short wait for another instance of the program, never long enough to stall the board.
    // NORMAL synchronisation is safe with WAL and keeps a commit free of disk flushes.
    for (const char *pragma : { "PRAGMA foreign_keys = ON", "PRAGMA busy_timeout = 250",
             "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL" }) {
        if (!query.exec(QLatin1String(pragma))) {
            return failed(query.lastError());
        }
        query.finish();
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        return failed(query.lastError());
    }
    int version = query.value(0).toInt();
    query.finish();
    if (version > kSchemaVersion) {
        why = QStringLiteral("it was written by a newer version of Rotavex and is left as it is");
        return false;
    }
    auto step = [&](auto &statements, int to) {
        if (!m_db.transaction()) {
            return failed(m_db.lastError());
        }
        for (const char *sql : statements) {
            if (!query.exec(QLatin1String(sql))) {
                const QSqlError error = query.lastError();
                m_db.rollback();
                return failed(error);
            }
        }
        // The version is our own constant, not user data; PRAGMA takes no bound values.
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(to))) {
            const QSqlError error = query.lastError();
            m_db.rollback();
            return failed(error);
        }
        if (!m_db.commit()) {
            return failed(m_db.lastError());
        }
        version = to;
        return true;
    };
    if (version == 0 && !step(kSchemaV1, 1)) {
        return false;
    }
    if (version == 1 && !step(kMigrationTo2, 2)) {
        return false;
    }
    const auto competitionTables = CompetitionTablesMigration();
    if (version == 2 && !step(competitionTables, 3)) {
        return false;
    }
    return true;
}

void ResultsStore::moveAsideAndStartAgain(const QString &why)
{
    closeConnection();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_filePath + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n) {
        aside = m_filePath + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    }
    if (!QFile::rename(m_filePath, aside)) {
        useMemory(QStringLiteral("%1 cannot be read (%2) and could not be moved aside")
                      .arg(m_filePath, why),
            false);
        return;
    }
    // Journal files of the damaged database must not be replayed into the fresh one.
    for (const char *suffix : { "-wal", "-shm" }) {
        const QString companion = m_filePath + QLatin1String(suffix);
        if (QFileInfo::exists(companion)) {
            QFile::rename(companion, aside + QLatin1String(suffix));
        }
    }
    m_notices.append(QStringLiteral("The results file could not be read (%1). It was moved to %2 "
                                    "and a new results file was started.")
                         .arg(why, aside));
    QString why2;
    bool unreadable = false;
    if (openConnection(m_filePath) && configureAndMigrate(why2, unreadable)) {
        m_saved = true;
        return;
    }
    useMemory(why2.isEmpty() ? m_lastError : why2, false);
}

void ResultsStore::useMemory(const QString &why, bool copyFromFile)
{
    m_saved = false;
    closeConnection();
    m_notices.append(QStringLiteral("Results cannot be saved to %1 (%2). This session's games are "
                                    "kept until the program ends; earlier results are untouched.")
                         .arg(m_filePath, why));
    QString ignored;
    bool unreadable = false;
    if (!openConnection(QStringLiteral(":memory:")) || !configureAndMigrate(ignored, unreadable)) {
        return;
    }
    if (!copyFromFile) {
        return;
    }
    // Show the earlier games too when the file can still be read; if not, they stay on disk.
    QSqlQuery attach(m_db);
    attach.prepare(QStringLiteral("ATTACH DATABASE ? AS disk"));
    attach.addBindValue(m_filePath);
    if (!attach.exec()) {
        return;
    }
    if (m_db.transaction()) {
        const bool copied =
            exec(QStringLiteral("INSERT INTO games (id, started_at, started_ms, mode, preset_s, "
                                "ticks, complete) SELECT id, started_at, started_ms, mode, "
                                "preset_s, ticks, complete FROM disk.games"))
            && exec(QStringLiteral("INSERT INTO game_players (game_id, player, name, port, "
                                   "best_rpm, revolutions, mean_rpm, samples) SELECT game_id, "
                                   "player, name, port, best_rpm, revolutions, mean_rpm, samples "
                                   "FROM disk.game_players"));
        copied ? m_db.commit() : m_db.rollback();
    }
    exec(QStringLiteral("DETACH DATABASE disk"));
}

QString ResultsStore::takeNotice()
{
    const QString notice = m_notices.join(u'\n');
    m_notices.clear();
    return notice;
}

bool ResultsStore::insertGame(GameRecord &game)
{
    if (!m_db.transaction()) {
        m_lastError = m_db.lastError().text();
        return false;
    }
    QSqlQuery query(m_db);
    auto fail = [&](const QSqlError &error) {
        m_lastError = error.text();
        query.finish();
        m_db.rollback();
        return false;
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
                       "revolutions, mean_rpm, samples) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
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
        if (!query.exec()) {
            return fail(query.lastError());
        }
    }
    query.finish();
    if (!m_db.commit()) {
        return fail(m_db.lastError());
    }
    game.id = id;
    return true;
}

QList<BestList> ResultsStore::addGame(GameRecord &game)
{
    if (!insertGame(game)) {
        if (!m_saved) {
            return {};
        }
        useMemory(m_lastError, true);
        if (!insertGame(game)) {
            return {};
        }
    }
    m_lastError.clear();
    QList<BestList> bests;
    if (const std::optional<BestList> list = ListOf(game)) {
        const QList<RankEntry> top = ranking(*list, 1);
        if (!top.isEmpty() && top.first().gameId == game.id) {
            bests.append(*list);
            m_newBests[int(*list)] = { game.id, int(top.first().player) };
        }
    }
    return bests;
}

int ResultsStore::gameCount() const
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM games")) || !query.next()) {
        m_lastError = query.lastError().text();
        return 0;
    }
    return query.value(0).toInt();
}

QList<GameSummary> ResultsStore::recentGames(int offset, int limit) const
{
    QList<GameSummary> games;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, started_at, mode, preset_s, ticks, complete FROM "
                                 "games ORDER BY started_ms DESC, id DESC LIMIT ? OFFSET ?"));
    query.addBindValue(limit);
    query.addBindValue(offset);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
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
    QSqlQuery names(m_db);
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

std::optional<GameRecord> ResultsStore::game(qint64 id) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT started_at, mode, preset_s, ticks, complete FROM games WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) {
        m_lastError = query.lastError().text();
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
        m_lastError = query.lastError().text();
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

QList<RankEntry> ResultsStore::ranking(BestList list, int limit) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const QString select = QStringLiteral(
        "SELECT p.game_id, p.player, p.name, g.started_at, p.best_rpm, p.revolutions, p.mean_rpm "
        "FROM game_players p JOIN games g ON g.id = p.game_id ");
    if (list == BestList::Speed) {
        // A player who never turned has no speed to rank.
        query.prepare(select
            + QStringLiteral("WHERE g.mode = 1 AND p.best_rpm > 0 "
                             "ORDER BY p.best_rpm DESC, g.started_ms, g.id, p.player LIMIT ?"));
        query.addBindValue(limit);
    } else {
        // Ranked by whole revolutions, as the board shows them, so equal-looking results are
        // equal and the earlier one goes first.
        query.prepare(select
            + QStringLiteral("WHERE g.mode = 2 AND g.complete = 1 AND g.preset_s = ? "
                             "AND p.revolutions >= 0.5 "
                             "ORDER BY CAST(ROUND(p.revolutions) AS INTEGER) DESC, g.started_ms, "
                             "g.id, p.player LIMIT ?"));
        query.addBindValue(int(list));
        query.addBindValue(limit);
    }
    QList<RankEntry> entries;
    if (!query.exec()) {
        m_lastError = query.lastError().text();
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

bool ResultsStore::isNewBest(BestList list, qint64 gameId, rotavex::PlayerSlot player) const
{
    const auto mark = m_newBests.find(int(list));
    return mark != m_newBests.end() && mark->second == std::pair { gameId, int(player) };
}

bool ResultsStore::removeGame(qint64 id)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM games WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

bool ResultsStore::removeAll()
{
    if (!m_db.transaction()) {
        m_lastError = m_db.lastError().text();
        return false;
    }
    if (!exec(QStringLiteral("DELETE FROM game_players"))
        || !exec(QStringLiteral("DELETE FROM games"))) {
        m_db.rollback();
        return false;
    }
    if (!m_db.commit()) {
        m_lastError = m_db.lastError().text();
        return false;
    }
    m_newBests.clear();
    return true;
}

bool ResultsStore::forEachGame(const std::function<bool(const GameRecord &)> &visit) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT g.id, g.started_at, g.mode, g.preset_s, g.ticks, g.complete, p.player, "
            "p.name, p.port, p.best_rpm, p.revolutions, p.mean_rpm FROM games g "
            "LEFT JOIN game_players p ON p.game_id = g.id "
            "ORDER BY g.started_ms, g.id, p.player"))) {
        m_lastError = query.lastError().text();
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
    if (current) {
        visit(*current);
    }
    return true;
}

} // namespace results
