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
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <tuple>
#include <unistd.h>

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

    // What a read of an older file needs, as the migrations would add it; temporary views live
    // in memory, never in the file.
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

    // SQLite's result codes (the primary ones).
    constexpr int kSqliteBusy = 5;
    constexpr int kSqliteLocked = 6;
    constexpr int kSqliteIoError = 10;
    constexpr int kSqliteCorrupt = 11;
    constexpr int kSqliteFull = 13;
    constexpr int kSqliteNotADatabase = 26;

    // A game that could not be written is tried again after these waits, doubling in between.
    constexpr std::chrono::milliseconds kFirstRetry { 1000 };
    constexpr std::chrono::milliseconds kLastRetry { 30000 };

    bool isDamage(const QSqlError &error)
    {
        bool ok = false;
        // Extended codes keep the primary code in the low byte.
        const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
        return ok && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
    }

    enum class FileKind { Missing, Regular, Folder, Other };

    // What stands at the path, following links: a FIFO, socket, device or dangling link is Other.
    FileKind KindOf(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        struct stat st = {};
        if (::lstat(name.constData(), &st) != 0) {
            return FileKind::Missing;
        }
        if (::stat(name.constData(), &st) != 0) {
            return FileKind::Other;
        }
        if (S_ISDIR(st.st_mode)) {
            return FileKind::Folder;
        }
        return S_ISREG(st.st_mode) ? FileKind::Regular : FileKind::Other;
    }

    enum class Header { Database, Other, Unreadable };

    // Never blocks: the file is opened non-blocking and must still be a regular file once open.
    Header DatabaseHeader(const QString &path)
    {
        const int fd = ::open(
            QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            return Header::Unreadable;
        }
        struct stat st = {};
        char bytes[16] = {};
        Header header = Header::Other;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            const ssize_t n = ::read(fd, bytes, sizeof bytes);
            // SQLite treats an empty file as an empty database.
            if (n == 0
                || (n == ssize_t(sizeof bytes)
                    && std::memcmp(bytes, "SQLite format 3\0", sizeof bytes) == 0)) {
                header = Header::Database;
            } else if (n < 0) {
                header = Header::Unreadable;
            }
        }
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return header;
    }

    bool DiskIsFull(const QString &folder)
    {
        struct statvfs fs = {};
        return ::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_bavail == 0;
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

    PlayMode modeFrom(const QVariant &value)
    {
        return value.toInt() == int(PlayMode::Strength) ? PlayMode::Strength : PlayMode::Speed;
    }

} // namespace

std::optional<BestList> ListOf(const GameRecord &game)
{
    if (game.mode == PlayMode::Speed) {
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

QString ModeName(PlayMode mode)
{
    return mode == PlayMode::Strength ? QStringLiteral("strength") : QStringLiteral("speed");
}

ResultsStore::ResultsStore(const QString &folder, Access access)
    : m_access(access)
    , m_connectionName(
          QStringLiteral("rotavex-results-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
    , m_folder(folder)
    , m_filePath(QDir(folder).filePath(QLatin1String(kFileName)))
{
    if (access == Access::ReadOnly) {
        openForReading();
        return;
    }
    openFile();
    if (!m_writable) {
        m_notices.append(QStringLiteral("Results cannot be saved to %1 (%2). Games of this run are "
                                        "kept and written as soon as the file accepts writes "
                                        "again; earlier results are untouched.")
                             .arg(m_filePath, m_why));
        m_toldWaiting = true;
    }
}

ResultsStore::~ResultsStore()
{
    // The last chance for games that waited: the program is ending.
    if (m_access == Access::ReadWrite && !m_pending.isEmpty()) {
        writePending();
    }
    closeConnection();
}

QString ResultsStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

std::optional<ResultsStore::FileId> ResultsStore::fileIdOf(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt;
    }
    return FileId { quint64(st.st_dev), quint64(st.st_ino) };
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

bool ResultsStore::openConnection(const QString &databaseName, const QString &options)
{
    closeConnection();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(databaseName);
    m_db.setConnectOptions(options);
    if (!m_db.open()) {
        m_lastError = describe(m_db.lastError());
        return false;
    }
    return true;
}

bool ResultsStore::exec(const QString &sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        noteError(query.lastError());
        return false;
    }
    return true;
}

QString ResultsStore::describe(const QSqlError &error) const
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
    // The driver drops the code of a failed commit; a full file system still says what it is.
    const bool mayBeFull = !ok || code == kSqliteFull || code == kSqliteIoError;
    if (mayBeFull && DiskIsFull(m_folder)) {
        return QString::fromLocal8Bit(std::strerror(ENOSPC));
    }
    if (ok && (code == kSqliteBusy || code == kSqliteLocked)) {
        return QStringLiteral("another program is using the file");
    }
    // SQLite's own words; Qt's driver text ("Unable to fetch row") only adds noise.
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.driverText().trimmed() : text;
}

void ResultsStore::noteError(const QSqlError &error) const
{
    m_lastError = describe(error);
    if (isDamage(error)) {
        m_damageSeen = true;
    }
}

bool ResultsStore::readSchema(int &version, QString &why, bool &unreadable)
{
    QSqlQuery query(m_db);
    auto failed = [&](const QSqlError &error) {
        why = describe(error);
        unreadable = isDamage(error);
        return false;
    };
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        return failed(query.lastError());
    }
    version = query.value(0).toInt();
    query.finish();
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        return failed(query.lastError());
    }
    QStringList tables;
    while (query.next()) {
        tables.append(query.value(0).toString());
    }
    if (query.lastError().isValid()) {
        return failed(query.lastError());
    }
    // A database of another program, or one that lost our tables: never ours to change.
    const bool ours = version == 0
        ? tables.isEmpty()
        : tables.contains(QLatin1String("games")) && tables.contains(QLatin1String("game_players"));
    if (!ours) {
        why = QStringLiteral("it is not a Rotavex results file");
        unreadable = true;
        return false;
    }
    return true;
}

bool ResultsStore::configureAndMigrate(int version, QString &why, bool &unreadable)
{
    QSqlQuery query(m_db);
    auto failed = [&](const QSqlError &error) {
        why = describe(error);
        unreadable = isDamage(error);
        return false;
    };
    // A short wait for another instance of the program, never long enough to stall the board.
    // NORMAL synchronisation is safe with WAL and keeps a commit free of disk flushes.
    for (const char *pragma : { "PRAGMA foreign_keys = ON", "PRAGMA busy_timeout = 250",
             "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL" }) {
        if (!query.exec(QLatin1String(pragma))) {
            return failed(query.lastError());
        }
        query.finish();
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
    if (version == 2 && !step(kMigrationTo3, 3)) {
        return false;
    }
    const auto competitionTables = CompetitionTablesMigration();
    if (version == 3 && !step(competitionTables, 4)) {
        return false;
    }
    return true;
}

void ResultsStore::openFile(bool movedAside)
{
    closeConnection();
    m_writable = false;
    m_fileId.reset();
    m_walId.reset();
    m_damageSeen = false;
    if (!QDir().mkpath(m_folder)) {
        m_why = QStringLiteral("the folder %1 could not be created").arg(m_folder);
        return;
    }
    // Nothing here opens the file blocking: a FIFO or a device in its place is only renamed.
    switch (KindOf(m_filePath)) {
    case FileKind::Missing:
        break;
    case FileKind::Folder:
        if (!movedAside && moveAside(QStringLiteral("it is a folder"))) {
            return openFile(true);
        }
        return;
    case FileKind::Other:
        if (!movedAside && moveAside(QStringLiteral("it is not a regular file"))) {
            return openFile(true);
        }
        return;
    case FileKind::Regular:
        switch (DatabaseHeader(m_filePath)) {
        case Header::Unreadable:
            m_why = QStringLiteral("%1 cannot be read").arg(m_filePath);
            return;
        case Header::Other:
            if (!movedAside && moveAside(QStringLiteral("it is not a database"))) {
                return openFile(true);
            }
            return;
        case Header::Database:
            break;
        }
        break;
    }
    QString why;
    bool unreadable = false;
    int version = 0;
    if (openConnection(m_filePath) && readSchema(version, why, unreadable)) {
        if (version > kSchemaVersion) {
            // Left exactly as it is; this build only reads what it can of it.
            m_why = QStringLiteral("it was written by a newer version of Rotavex and is left as "
                                   "it is");
            exec(QStringLiteral("PRAGMA query_only = ON"));
            return;
        }
        if (configureAndMigrate(version, why, unreadable)) {
            m_writable = true;
            m_why.clear();
            m_fileId = fileIdOf(m_filePath);
            m_walId = fileIdOf(m_filePath + QStringLiteral("-wal"));
            return;
        }
    } else if (why.isEmpty()) {
        why = m_lastError;
    }
    if (unreadable && !movedAside && moveAside(why)) {
        return openFile(true);
    }
    m_why = why;
    // Cannot write (a read-only folder, say): the games already recorded are still shown.
    openForReading();
    m_readFailure.clear();
}

void ResultsStore::openForReading()
{
    closeConnection();
    m_readFailure.clear();
    switch (KindOf(m_filePath)) {
    case FileKind::Missing:
        return;
    case FileKind::Folder:
    case FileKind::Other:
        m_readFailure = QStringLiteral("it is not a regular file");
        return;
    case FileKind::Regular:
        switch (DatabaseHeader(m_filePath)) {
        case Header::Unreadable:
            m_readFailure = QString::fromLocal8Bit(std::strerror(errno));
            return;
        case Header::Other:
            m_readFailure = QStringLiteral("it is not a database");
            return;
        case Header::Database:
            break;
        }
    }
    // Without a journal beside it the file alone holds every game, and "immutable" reads it
    // without creating anything next to it. With one, another instance is writing: read through
    // its journal, as a reader that never writes.
    const bool journal = QFileInfo::exists(m_filePath + QStringLiteral("-wal"));
    QString why;
    bool unreadable = false;
    int version = 0;
    bool opened = false;
    if (journal) {
        opened = openConnection(m_filePath, QStringLiteral("QSQLITE_OPEN_READONLY"))
            && readSchema(version, why, unreadable);
    }
    if (!opened && !unreadable) {
        why.clear();
        const QString uri = QUrl::fromLocalFile(QFileInfo(m_filePath).absoluteFilePath())
                                .toString(QUrl::FullyEncoded)
            + QStringLiteral("?immutable=1");
        opened = openConnection(uri, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"))
            && readSchema(version, why, unreadable);
    }
    if (!opened) {
        m_readFailure = why.isEmpty() ? m_lastError : why;
        closeConnection();
        return;
    }
    exec(QStringLiteral("PRAGMA query_only = ON"));
    if (version == 0) {
        m_readFailure = QStringLiteral("it is not a Rotavex results file");
        closeConnection();
        return;
    }
    const auto addViews = [this](const auto &views) {
        for (const char *view : views) {
            if (!exec(QLatin1String(view))) {
                m_readFailure = m_lastError;
                closeConnection();
                return;
            }
        }
    };
    if (version == 1) {
        addViews(kFirstSchemaViews);
    } else if (version == 2) {
        addViews(kSecondSchemaViews);
    }
}

bool ResultsStore::moveAside(const QString &why)
{
    closeConnection();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_filePath + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n) {
        aside = m_filePath + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    }
    // A rename moves the name only: a link stays a link, a device or FIFO is never opened.
    if (::rename(QFile::encodeName(m_filePath).constData(), QFile::encodeName(aside).constData())
        != 0) {
        m_why = QStringLiteral("%1 cannot be read (%2) and could not be moved aside")
                    .arg(m_filePath, why);
        return false;
    }
    // Journal files of the old file must not be replayed into the fresh one.
    for (const char *suffix : { "-wal", "-shm" }) {
        const QString companion = m_filePath + QLatin1String(suffix);
        if (QFileInfo::exists(companion)) {
            QFile::rename(companion, aside + QLatin1String(suffix));
        }
    }
    m_notices.append(QStringLiteral("The results file could not be read (%1). It was moved to %2 "
                                    "and a new results file was started.")
                         .arg(why, aside));
    return true;
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
        noteError(m_db.lastError());
        return false;
    }
    QSqlQuery query(m_db);
    auto fail = [&](const QSqlError &error) {
        noteError(error);
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
    if (!m_db.commit()) {
        return fail(m_db.lastError());
    }
    game.id = id;
    return true;
}

bool ResultsStore::ensureWritable()
{
    if (m_writable && !m_damageSeen && fileIdOf(m_filePath) == m_fileId) {
        return true;
    }
    if (m_writable && !m_damageSeen) {
        // Our journal, if it is still at its place, holds pages of the file that is gone. SQLite
        // leaves the journal of a moved file behind, and the new file would read those pages as
        // its own: they go into the old file now and the journal is emptied.
        if (m_walId && fileIdOf(m_filePath + QStringLiteral("-wal")) == m_walId) {
            exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        // Writing on would go into a file nobody can find any more.
        const bool removed = !QFileInfo::exists(m_filePath);
        m_notices.append(removed
                ? QStringLiteral("The results file %1 was removed while Rotavex was running; a "
                                 "new one was started.")
                      .arg(m_filePath)
                : QStringLiteral("The results file %1 was replaced while Rotavex was running; "
                                 "games are now recorded in the new file.")
                      .arg(m_filePath));
    }
    if (m_damageSeen && KindOf(m_filePath) == FileKind::Regular) {
        moveAside(QStringLiteral("it is damaged"));
    }
    openFile();
    return m_writable;
}

void ResultsStore::gameWritten(qint64 provisionalId, qint64 id)
{
    m_writtenAs[provisionalId] = id;
    for (auto &[list, mark] : m_newBests) {
        if (mark.first == provisionalId) {
            mark.first = id;
        }
    }
}

bool ResultsStore::writePending()
{
    if (m_pending.isEmpty()) {
        return true;
    }
    if (!ensureWritable()) {
        return false;
    }
    while (!m_pending.isEmpty()) {
        GameRecord game = m_pending.first();
        const qint64 provisionalId = game.id;
        if (!insertGame(game)) {
            // A file found damaged by the write is moved aside and the game goes to the new one.
            if (!m_damageSeen || !ensureWritable() || !insertGame(game)) {
                m_why = m_lastError;
                m_writable = false;
                return false;
            }
        }
        m_pending.removeFirst();
        gameWritten(provisionalId, game.id);
    }
    m_backoff = kFirstRetry;
    if (m_retry) {
        m_retry->stop();
    }
    if (m_toldWaiting) {
        m_toldWaiting = false;
        m_notices.append(
            QStringLiteral("The games that waited are now saved in %1.").arg(m_filePath));
    }
    return true;
}

void ResultsStore::scheduleRetry()
{
    if (!m_retry) {
        m_retry = std::make_unique<QTimer>();
        m_retry->setSingleShot(true);
        m_retry->callOnTimeout([this] {
            if (!writePending()) {
                scheduleRetry();
            }
            if (m_changed) {
                m_changed();
            }
        });
    }
    if (!m_retry->isActive()) {
        m_retry->start(m_backoff);
        m_backoff = std::min(m_backoff * 2, kLastRetry);
    }
}

void ResultsStore::refresh()
{
    if (m_access == Access::ReadOnly) {
        return;
    }
    if (!m_pending.isEmpty()) {
        if (!writePending()) {
            scheduleRetry();
        }
        return;
    }
    if (m_damageSeen || (m_writable && fileIdOf(m_filePath) != m_fileId)) {
        ensureWritable();
    }
}

QList<BestList> ResultsStore::addGame(GameRecord &game)
{
    const qint64 provisionalId = m_nextProvisionalId--;
    game.id = provisionalId;
    m_pending.append(game);
    if (writePending()) {
        game.id = m_writtenAs[provisionalId];
    } else {
        if (!m_toldWaiting) {
            m_notices.append(QStringLiteral("Results cannot be saved to %1 right now (%2). The "
                                            "game is kept and written as soon as the file "
                                            "accepts writes again.")
                                 .arg(m_filePath, m_why));
            m_toldWaiting = true;
        }
        scheduleRetry();
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
    const int waiting = int(m_pending.size());
    if (!m_db.isOpen()) {
        return waiting;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM games")) || !query.next()) {
        noteError(query.lastError());
        return waiting;
    }
    return query.value(0).toInt() + waiting;
}

QList<GameSummary> ResultsStore::recentGames(int offset, int limit) const
{
    QList<GameSummary> games;
    // Waiting games are this run's, so the newest: they come first, newest first.
    const int waiting = int(m_pending.size());
    for (int i = offset; i < waiting && games.size() < limit; ++i) {
        const GameRecord &record = m_pending[waiting - 1 - i];
        GameSummary game;
        game.id = record.id;
        game.startedAt = record.startedAt;
        game.mode = record.mode;
        game.presetSeconds = record.presetSeconds;
        game.ticks = record.ticks;
        game.complete = record.complete;
        for (const PlayerResult &player : record.players) {
            game.playerNames.append(player.name);
        }
        games.append(game);
    }
    limit -= int(games.size());
    offset = std::max(0, offset - waiting);
    if (limit <= 0 || !m_db.isOpen()) {
        return games;
    }
    const qsizetype firstStored = games.size();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, started_at, mode, preset_s, ticks, complete FROM "
                                 "games ORDER BY started_ms DESC, id DESC LIMIT ? OFFSET ?"));
    query.addBindValue(limit);
    query.addBindValue(offset);
    if (!query.exec()) {
        noteError(query.lastError());
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
    for (qsizetype i = firstStored; i < games.size(); ++i) {
        names.addBindValue(games[i].id);
        if (names.exec()) {
            while (names.next()) {
                games[i].playerNames.append(names.value(0).toString());
            }
        }
    }
    return games;
}

std::optional<GameRecord> ResultsStore::game(qint64 id) const
{
    if (id < 0) {
        for (const GameRecord &waiting : m_pending) {
            if (waiting.id == id) {
                return waiting;
            }
        }
        const auto written = m_writtenAs.find(id);
        if (written == m_writtenAs.end()) {
            return std::nullopt;
        }
        id = written->second;
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT started_at, mode, preset_s, ticks, complete FROM games WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) {
        noteError(query.lastError());
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
        noteError(query.lastError());
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

QList<RankEntry> ResultsStore::pendingRanking(BestList list) const
{
    QList<RankEntry> entries;
    for (const GameRecord &game : m_pending) {
        if (ListOf(game) != list) {
            continue;
        }
        for (const PlayerResult &player : game.players) {
            const bool ranks = list == BestList::Speed
                ? player.bestRpm > 0
                : player.revolutions && *player.revolutions >= 0.5;
            if (!ranks) {
                continue;
            }
            RankEntry entry;
            entry.gameId = game.id;
            entry.player = player.player;
            entry.name = player.name;
            entry.startedAt = game.startedAt;
            entry.bestRpm = player.bestRpm;
            entry.revolutions = player.revolutions.value_or(0.0);
            entry.meanRpm = player.meanRpm.value_or(0);
            entries.append(entry);
        }
    }
    return entries;
}

QList<RankEntry> ResultsStore::ranking(BestList list, int limit) const
{
    QList<RankEntry> entries = m_db.isOpen() ? storedRanking(list, limit) : QList<RankEntry> {};
    if (m_pending.isEmpty()) {
        return entries;
    }
    entries.append(pendingRanking(list));
    // The order of the stored lists; a waiting game is written after every stored one.
    const auto order = [list](const RankEntry &e) {
        const qint64 result = list == BestList::Speed ? e.bestRpm : std::llround(e.revolutions);
        const qint64 written = e.gameId > 0 ? e.gameId : LLONG_MAX / 2 - e.gameId;
        return std::tuple(-result, e.startedAt.toMSecsSinceEpoch(), written, int(e.player));
    };
    std::stable_sort(entries.begin(), entries.end(),
        [&order](const RankEntry &a, const RankEntry &b) { return order(a) < order(b); });
    return entries.mid(0, limit);
}

QList<RankEntry> ResultsStore::storedRanking(BestList list, int limit) const
{
    QSqlQuery query(m_db);
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
        noteError(query.lastError());
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
    if (id < 0) {
        const auto waiting = std::find_if(m_pending.begin(), m_pending.end(),
            [id](const GameRecord &game) { return game.id == id; });
        if (waiting != m_pending.end()) {
            m_pending.erase(waiting);
            return true;
        }
        const auto written = m_writtenAs.find(id);
        if (written == m_writtenAs.end()) {
            return true;
        }
        id = written->second;
    }
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM games WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        noteError(query.lastError());
        return false;
    }
    return true;
}

bool ResultsStore::removeAll()
{
    m_pending.clear();
    if (!m_db.isOpen()) {
        m_newBests.clear();
        return true;
    }
    if (!m_db.transaction()) {
        noteError(m_db.lastError());
        return false;
    }
    if (!exec(QStringLiteral("DELETE FROM game_players"))
        || !exec(QStringLiteral("DELETE FROM games"))) {
        m_db.rollback();
        return false;
    }
    if (!m_db.commit()) {
        noteError(m_db.lastError());
        return false;
    }
    m_newBests.clear();
    return true;
}

bool ResultsStore::forEachGame(const std::function<bool(const GameRecord &)> &visit) const
{
    if (!m_db.isOpen()) {
        return visitPending(visit);
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT g.id, g.started_at, g.mode, g.preset_s, g.ticks, g.complete, p.player, "
            "p.name, p.port, p.best_rpm, p.revolutions, p.mean_rpm FROM games g "
            "LEFT JOIN game_players p ON p.game_id = g.id "
            "ORDER BY g.started_ms, g.id, p.player"))) {
        noteError(query.lastError());
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
        noteError(query.lastError());
        return false;
    }
    if (current && !visit(*current)) {
        return true;
    }
    return visitPending(visit);
}

bool ResultsStore::visitPending(const std::function<bool(const GameRecord &)> &visit) const
{
    for (GameRecord game : m_pending) {
        for (PlayerResult &player : game.players) {
            player.samples.clear();
        }
        if (!visit(game)) {
            break;
        }
    }
    return true;
}

} // namespace results
