// SPDX-License-Identifier: MIT
#include "results/results_store.h"

#include "results/competition_book.h"
#include "results/game_queries.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <tuple>

namespace results
{

using custody::DatabaseHeader;
using custody::FileIdOf;
using custody::FileKind;
using custody::Header;
using custody::KindOf;

namespace
{

    QAtomicInt g_connectionCounter;

    constexpr int kKeepRunningFlushEvery = 5;

    // SQLite's result codes (the primary ones).
    constexpr int kSqliteBusy = 5;
    constexpr int kSqliteLocked = 6;
    constexpr int kSqliteIoError = 10;
    constexpr int kSqliteCorrupt = 11;
    constexpr int kSqliteFull = 13;
    constexpr int kSqliteNotADatabase = 26;

    bool isDamage(const QSqlError &error)
    {
        bool ok = false;
        // Extended codes keep the primary code in the low byte.
        const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
        return ok && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
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

ResultsStore::ResultsStore(const QString &folder, Access access, Opening opening)
    : m_access(access)
    , m_connectionName(
          QStringLiteral("rotavex-results-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
    , m_folder(folder)
    , m_filePath(QDir(folder).filePath(QLatin1String(kFileName)))
    , m_queue([this] {
        // A retry comes again later: it sets no busy wait for the lock.
        if (!withoutWaiting([this] { return writePending(); })) {
            scheduleRetry();
        }
        if (m_changed) {
            m_changed();
        }
    })
    , m_competitions(std::make_unique<CompetitionBook>())
    , m_instance(custody::InstanceKey())
    , m_syncing(std::make_shared<std::atomic_bool>(false))
{
    if (opening == Opening::Now) {
        openNow();
    }
}

void ResultsStore::openNow()
{
    m_opened = true;
    if (m_access == Access::ReadOnly) {
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
    // The last chance for what waited: the program is ending.
    if (m_access == Access::ReadWrite && !m_queue.isEmpty()) {
        writePending();
    }
    closeConnection();
}

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

QString ResultsStore::describe(const QSqlError &error) const
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
    // The driver drops the code of a failed commit; a full file system still says what it is.
    const bool mayBeFull = !ok || code == kSqliteFull || code == kSqliteIoError;
    if (mayBeFull && custody::DiskIsFull(m_folder)) {
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
    const auto failed = [&](const QSqlError &error) {
        why = describe(error);
        unreadable = isDamage(error);
    };
    if (openConnection(m_filePath)) {
        if (const auto failure = schema::ReadVersion(m_db, version)) {
            if (failure->notOurs) {
                why = QStringLiteral("it is not a Rotavex results file");
                unreadable = true;
            } else {
                failed(failure->error);
            }
        } else if (version > kSchemaVersion) {
            // Left exactly as it is; this build only reads what it can of it.
            m_why = QStringLiteral("it was written by a newer version of Rotavex and is left as "
                                   "it is");
            QSqlQuery(m_db).exec(QStringLiteral("PRAGMA query_only = ON"));
            return;
        } else if (const auto error = schema::Migrate(m_db, version, m_notices)) {
            failed(*error);
        } else {
            m_writable = true;
            m_why.clear();
            m_fileId = FileIdOf(m_filePath);
            m_walId = FileIdOf(m_filePath + QStringLiteral("-wal"));
            if (m_noBusyWait) {
                QSqlQuery(m_db).exec(QStringLiteral("PRAGMA busy_timeout = 0"));
            }
            recordLeftRunning();
            return;
        }
    } else {
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
    int version = 0;
    std::optional<schema::Failure> failure;
    bool opened = false;
    if (journal && openConnection(m_filePath, QStringLiteral("QSQLITE_OPEN_READONLY"))) {
        failure = schema::ReadVersion(m_db, version);
        opened = !failure;
    }
    if (!opened && !(failure && (failure->notOurs || isDamage(failure->error)))) {
        const QString uri = QUrl::fromLocalFile(QFileInfo(m_filePath).absoluteFilePath())
                                .toString(QUrl::FullyEncoded)
            + QStringLiteral("?immutable=1");
        if (openConnection(uri, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"))) {
            failure = schema::ReadVersion(m_db, version);
            opened = !failure;
        } else {
            failure.reset();
        }
    }
    if (!opened) {
        m_readFailure = !failure ? m_lastError
            : failure->notOurs   ? QStringLiteral("it is not a Rotavex results file")
                                 : describe(failure->error);
        closeConnection();
        return;
    }
    if (version == 0) {
        m_readFailure = QStringLiteral("it is not a Rotavex results file");
        closeConnection();
        return;
    }
    // The views are temporary, in memory; only then is the connection made read-only for good.
    if (const auto error = schema::AddReadViews(m_db, version)) {
        m_readFailure = describe(*error);
        closeConnection();
        return;
    }
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA query_only = ON"));
}

bool ResultsStore::moveAside(const QString &why)
{
    closeConnection();
    const QString aside = custody::MoveAside(m_filePath);
    if (aside.isEmpty()) {
        m_why = QStringLiteral("%1 cannot be read (%2) and could not be moved aside")
                    .arg(m_filePath, why);
        return false;
    }
    ++m_fileGeneration;
    m_notices.append(QStringLiteral("The results file could not be read (%1). It was moved to %2 "
                                    "and a new results file was started.")
                         .arg(why, aside));
    return true;
}

QString ResultsStore::takeNotice()
{
    open();
    const QString notice = m_notices.join(u'\n');
    m_notices.clear();
    return notice;
}

bool ResultsStore::ensureWritable()
{
    if (m_writable && !m_damageSeen && FileIdOf(m_filePath) == m_fileId) {
        return true;
    }
    if (m_writable && !m_damageSeen) {
        // Our journal, if it is still at its place, holds pages of the file that is gone. SQLite
        // leaves the journal of a moved file behind, and the new file would read those pages as
        // its own: they go into the old file now and the journal is emptied.
        if (m_walId && FileIdOf(m_filePath + QStringLiteral("-wal")) == m_walId) {
            QSqlQuery(m_db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        // Writing on would go into a file nobody can find any more.
        ++m_fileGeneration;
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

qint64 ResultsStore::idInFile(qint64 gameId) const
{
    open();
    if (gameId >= 0) {
        return gameId;
    }
    const auto written = m_writtenAs.find(gameId);
    return written == m_writtenAs.end() ? 0 : written->second;
}

bool ResultsStore::writeOne(const std::function<std::optional<QSqlError>()> &write)
{
    if (const auto error = write()) {
        noteError(*error);
        // A file found damaged by the write is moved aside and the write goes to the new one.
        const auto again = m_damageSeen && ensureWritable() ? write() : error;
        if (again) {
            noteError(*again);
            m_why = m_lastError;
            m_writable = false;
            return false;
        }
    }
    return true;
}

bool ResultsStore::writePending()
{
    open();
    if (m_queue.isEmpty()) {
        return true;
    }
    if (!ensureWritable()) {
        return false;
    }
    // Games first: a waiting change may name a waiting game, which then has its id.
    while (!m_queue.games().isEmpty()) {
        GameRecord game = m_queue.games().first();
        const qint64 provisionalId = game.id;
        if (!writeOne([&] { return queries::InsertGame(m_db, game, m_instance); })) {
            return false;
        }
        if (m_keptRunning && m_keptRunning->startedMs == game.startedAt.toMSecsSinceEpoch()) {
            m_keptRunning.reset();
        }
        m_queue.games().removeFirst();
        gameWritten(provisionalId, game.id);
    }
    while (const auto *change = m_queue.firstChange()) {
        if (!writeOne([&] { return writeCompetition(change->first, change->second); })) {
            return false;
        }
        m_queue.dropFirstChange();
    }
    m_queue.settled();
    if (m_toldWaiting) {
        m_toldWaiting = false;
        m_notices.append(
            QStringLiteral("The results that waited are now saved in %1.").arg(m_filePath));
    }
    return true;
}

void ResultsStore::scheduleRetry() { m_queue.scheduleRetry(); }

void ResultsStore::tellWaiting(const QString &what)
{
    if (!m_toldWaiting) {
        m_notices.append(QStringLiteral("Results cannot be saved to %1 right now (%2). %3 kept and "
                                        "written as soon as the file accepts writes again.")
                             .arg(m_filePath, m_why, what));
        m_toldWaiting = true;
    }
    scheduleRetry();
}

void ResultsStore::refresh()
{
    open();
    if (m_access == Access::ReadOnly) {
        return;
    }
    if (!m_queue.isEmpty()) {
        if (!writePending()) {
            scheduleRetry();
        }
        return;
    }
    if (m_damageSeen || (m_writable && FileIdOf(m_filePath) != m_fileId)) {
        ensureWritable();
    }
}

QList<BestList> ResultsStore::addGame(GameRecord &game)
{
    open();
    const qint64 provisionalId = m_nextProvisionalId--;
    game.id = provisionalId;
    m_queue.games().append(game);
    if (writePending()) {
        game.id = m_writtenAs[provisionalId];
    } else {
        tellWaiting(QStringLiteral("The game is"));
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

void ResultsStore::recordLeftRunning()
{
    QSqlError error;
    QList<queries::RunningGame> left = queries::LeftRunning(m_db, custody::InstanceAlive, error);
    if (error.isValid()) {
        noteError(error);
        return;
    }
    for (queries::RunningGame &running : left) {
        if (const auto failed = queries::RecordLeftRunning(m_db, running)) {
            // Kept in the file all the same: the next start tries again.
            noteError(*failed);
            continue;
        }
        if (running.game.id > 0) {
            m_notices.append(
                QStringLiteral("The game started %1 was still running when Rotavex "
                               "last ended unexpectedly; its %2 s played were kept "
                               "as an interrupted game.")
                    .arg(QLocale().toString(running.game.startedAt, QLocale::ShortFormat))
                    .arg(running.game.ticks));
        }
    }
}

bool ResultsStore::withoutWaiting(const std::function<bool()> &write)
{
    // A write that failed reopens the file before it tries again (openFile() looks at it): the
    // new connection gets no busy wait either.
    m_noBusyWait = true;
    if (m_db.isOpen()) {
        QSqlQuery(m_db).exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    }
    const bool done = write();
    m_noBusyWait = false;
    if (m_db.isOpen()) {
        QSqlQuery(m_db).exec(
            QStringLiteral("PRAGMA busy_timeout = %1").arg(schema::kBusyTimeoutMs));
    }
    return done;
}

void ResultsStore::keepRunning(const GameRecord &running, qint64 replaces)
{
    open();
    if (m_access == Access::ReadOnly || !m_writable || m_damageSeen || !m_db.isOpen()) {
        return;
    }
    KeptRunning now;
    now.startedMs = running.startedAt.toMSecsSinceEpoch();
    now.ticks = running.ticks;
    for (const PlayerResult &player : running.players) {
        now.players.append(int(player.player));
    }
    now.fileGeneration = m_fileGeneration;
    // Only the new ticks, unless the game or its players changed: then everything again.
    int fromTick = -1;
    if (m_keptRunning && m_keptRunning->startedMs == now.startedMs
        && m_keptRunning->players == now.players
        && m_keptRunning->fileGeneration == now.fileGeneration
        && m_keptRunning->ticks <= now.ticks) {
        fromTick = m_keptRunning->ticks;
    }
    // A kept tick sets no busy wait for a lock: the next tick keeps it with its own.
    std::optional<QSqlError> error;
    withoutWaiting([&] {
        error = queries::KeepRunning(m_db, m_instance, running, replaces, fromTick);
        return !error;
    });
    // Every fifth write is flushed to the disk, on a worker, so a power cut loses a few seconds
    // at most and the board never waits for the disk.
    if (!error && m_keepWrites++ % kKeepRunningFlushEvery == 0) {
        custody::SyncInBackground(m_filePath + QStringLiteral("-wal"), m_syncing);
    }
    if (error) {
        // Busy or failing: the next tick writes everything again.
        m_keptRunning.reset();
        return;
    }
    m_keptRunning = now;
}

int ResultsStore::gameCount() const
{
    open();
    const int waiting = int(m_queue.games().size());
    if (!m_db.isOpen()) {
        return waiting;
    }
    QSqlError error;
    const int stored = queries::GameCount(m_db, error);
    if (error.isValid()) {
        noteError(error);
    }
    return stored + waiting;
}

QList<GameSummary> ResultsStore::recentGames(int offset, int limit) const
{
    open();
    QList<GameSummary> games;
    // Waiting games are this run's, so the newest: they come first, newest first.
    const QList<GameRecord> &pending = m_queue.games();
    const int waiting = int(pending.size());
    for (int i = offset; i < waiting && games.size() < limit; ++i) {
        const GameRecord &record = pending[waiting - 1 - i];
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
    QSqlError error;
    games += queries::RecentGames(m_db, offset, limit, error);
    if (error.isValid()) {
        noteError(error);
    }
    return games;
}

std::optional<GameRecord> ResultsStore::game(qint64 id) const
{
    open();
    if (id < 0) {
        for (const GameRecord &waiting : m_queue.games()) {
            if (waiting.id == id) {
                return waiting;
            }
        }
        id = idInFile(id);
        if (id == 0) {
            return std::nullopt;
        }
    }
    QSqlError error;
    std::optional<GameRecord> game = queries::Game(m_db, id, error);
    if (error.isValid()) {
        noteError(error);
    }
    return game;
}

QList<RankEntry> ResultsStore::pendingRanking(BestList list) const
{
    QList<RankEntry> entries;
    for (const GameRecord &game : m_queue.games()) {
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
    open();
    QSqlError error;
    QList<RankEntry> entries =
        m_db.isOpen() ? queries::Ranking(m_db, list, limit, error) : QList<RankEntry> {};
    if (error.isValid()) {
        noteError(error);
    }
    if (m_queue.games().isEmpty()) {
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

bool ResultsStore::isNewBest(BestList list, qint64 gameId, rotavex::PlayerSlot player) const
{
    open();
    const auto mark = m_newBests.find(int(list));
    return mark != m_newBests.end() && mark->second == std::pair { gameId, int(player) };
}

bool ResultsStore::removeGame(qint64 id)
{
    open();
    if (id < 0) {
        QList<GameRecord> &pending = m_queue.games();
        const auto waiting = std::find_if(
            pending.begin(), pending.end(), [id](const GameRecord &game) { return game.id == id; });
        if (waiting != pending.end()) {
            pending.erase(waiting);
            return true;
        }
        id = idInFile(id);
        if (id == 0) {
            return true;
        }
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
    open();
    m_queue.games().clear();
    if (!m_db.isOpen()) {
        m_newBests.clear();
        return true;
    }
    if (!m_db.transaction()) {
        noteError(m_db.lastError());
        return false;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("DELETE FROM game_players"))
        || !query.exec(QStringLiteral("DELETE FROM games"))) {
        noteError(query.lastError());
        query.finish();
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
    open();
    if (!m_db.isOpen()) {
        return visitPending(visit);
    }
    bool stopped = false;
    QSqlError error;
    const bool read = queries::ForEachGame(
        m_db,
        [&](const GameRecord &game) {
            stopped = !visit(game);
            return !stopped;
        },
        error);
    if (!read) {
        noteError(error);
        return false;
    }
    return stopped || visitPending(visit);
}

bool ResultsStore::visitPending(const std::function<bool(const GameRecord &)> &visit) const
{
    for (GameRecord game : m_queue.games()) {
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
