// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "results/file_custody.h"
#include "results/game_record.h"
#include "results/results_schema.h"
#include "results/write_queue.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace results
{

struct CompetitionBook;

/// The store of `results.sqlite` in a folder: it owns the file and its only connection, looks
/// after it (file_custody), migrates it (results_schema), queues what cannot be written yet
/// (write_queue), answers the reads of games (game_queries) and keeps the competitions
/// (competition_rows) and the running game; nothing else runs SQL on the file. It never fails
/// to open: anything in the file's place that is not a database of ours (a folder, a FIFO, a
/// device, another program's database, a file found damaged) is moved aside and a fresh one
/// started. A game or a competition's change that cannot be written now (the file locked,
/// read-only, removed, replaced, the disk full, a newer version's file) waits in memory, games
/// still listed and ranked, and is written as soon as the file takes it: retried with back-off,
/// at the next write, when the board is shown and when the store ends; never into a file that
/// was removed or replaced. A write never waits more than a few tens of milliseconds for
/// another program's lock. takeNotice() tells the user each such event once. UI thread only.
class ResultsStore
{
public:
    /// The schema this build writes; older files are migrated step by step when opened.
    static constexpr int kSchemaVersion = schema::kVersion;
    static constexpr auto kFileName = "results.sqlite";

    /// ReadWrite keeps the file up to date (creating folder and file when missing). ReadOnly
    /// only reads: it creates, migrates, moves and changes nothing; readFailure() says why the
    /// games cannot be read.
    enum class Access { ReadWrite, ReadOnly };
    /// Now opens the file in the constructor; Deferred at the first call that needs it, so a
    /// window that has nothing of the file to show does not wait for it.
    enum class Opening { Now, Deferred };

    /// Opens (or, for ReadWrite, creates) `folder`/results.sqlite.
    explicit ResultsStore(
        const QString &folder, Access access = Access::ReadWrite, Opening opening = Opening::Now);
    ~ResultsStore();
    ResultsStore(const ResultsStore &) = delete;
    ResultsStore &operator=(const ResultsStore &) = delete;

    /// The per-user data folder (on Linux $XDG_DATA_HOME/<application name>).
    static QString defaultFolder();

    QString filePath() const { return m_filePath; }
    /// True when the file takes writes and nothing waits to be written.
    bool isSaved() const
    {
        open();
        return m_writable && m_queue.isEmpty();
    }
    /// ReadOnly: why the recorded games cannot be read ("" when they can, or no file exists).
    QString readFailure() const
    {
        open();
        return m_readFailure;
    }

    /// Games finished but not yet in the file, oldest first; they carry provisional negative
    /// ids until written.
    const QList<GameRecord> &pendingGames() const { return m_queue.games(); }
    /// Competitions' changes waiting to be written.
    int pendingChanges() const { return m_queue.changeCount(); }
    /// Why the file does not take games ("" while it does).
    QString whyNotSaved() const
    {
        open();
        return m_writable ? QString() : m_why;
    }
    /// Tries to write the waiting games and changes now (reopening or recreating the file when
    /// it was replaced or removed). True when nothing waits any longer.
    bool writePending();
    /// Looks at the file again before it is shown: a file replaced, removed or found damaged is
    /// dealt with, waiting games are retried. Changes of other programs need nothing more,
    /// since every read goes to the file.
    void refresh();
    /// Called after a retry in the background wrote games or has something to tell.
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }
    /// A plain-text message about the results file that the user has not been given yet
    /// ("" when there is none); each message is returned once.
    QString takeNotice();

    /// Records the game in one transaction and sets its id. When the file cannot take it the
    /// game waits (provisional id, one notice while games wait) and is retried. Returns the
    /// lists it is the new best of.
    QList<BestList> addGame(GameRecord &game);

    /// Keeps the running game in the file (called every accepted tick), so that after a crash,
    /// a kill or a power cut the next start records it as an interrupted game (complete = 0)
    /// and says so once. One small transaction per call that never waits for a lock: when the
    /// file is busy the tick is kept with the next one. `replaces` is the recorded game it goes
    /// on with (0 none). addGame() of the same game forgets what was kept in its transaction.
    void keepRunning(const GameRecord &running, qint64 replaces = 0);

    int gameCount() const;
    /// Games newest first, `limit` of them from `offset`; no samples.
    QList<GameSummary> recentGames(int offset, int limit) const;
    /// The whole game with its players and samples.
    std::optional<GameRecord> game(qint64 id) const;
    /// The list's top entries: Speed by best rpm, Strength (complete games of the preset) by
    /// revolutions rounded to whole ones; equal results rank the earlier game first.
    QList<RankEntry> ranking(BestList list, int limit = 10) const;
    /// True when the player's result in the game is the latest new best of the list recorded
    /// in this run (a later new best of the same list takes the mark over).
    bool isNewBest(BestList list, qint64 gameId, rotavex::PlayerSlot player) const;

    bool removeGame(qint64 id);
    bool removeAll();

    /// How a competition's save went.
    enum class CompetitionSaved {
        Written, ///< in the file
        Waiting, ///< kept, and written as soon as the file takes it
        Conflict, ///< another instance changed it first: nothing written, the file's state loaded
    };
    /// Writes the whole competition in one transaction (under one write lock with the read of
    /// the file's state), giving it an id when it has none: negative until the file takes it.
    /// Played heats and attempts already written are never rewritten. A change made against an
    /// older state than the file's (another instance changed it) is refused: Conflict, and
    /// `competition` is replaced by the state in the file. A change that cannot be written now
    /// waits with the games, in the place of one of the same competition that waits.
    CompetitionSaved saveCompetition(competition::Competition &competition);
    /// The competition as this run last saved it or as the file holds it; rows the file holds
    /// damaged are left out and named in words in `skipped` ("" when nothing was).
    std::optional<competition::Competition> loadCompetition(
        qint64 id, QString *skipped = nullptr) const;
    /// The latest competition not closed, the one to resume: this run's own first.
    std::optional<qint64> openCompetition();
    /// Marks the competition closed; it is kept with its results. False when there is none.
    bool closeCompetition(qint64 id);
    /// Called with the file's state when a change that waited is refused at its retry because
    /// another instance changed the competition meanwhile.
    void setCompetitionConflictHandler(
        std::function<void(const competition::Competition &stored)> handler);

    /// A game's id in the file: a written game's own id, a waiting game's 0.
    qint64 idInFile(qint64 gameId) const;
    /// Counts the files started: it changes when the file was found removed, replaced or
    /// damaged and a new one was begun, whose ids mean nothing of the old one's.
    int fileGeneration() const
    {
        open();
        return m_fileGeneration;
    }

    /// Calls `visit` with every game (players without samples), oldest first; stops when it
    /// returns false. Returns false when the games could not be read.
    bool forEachGame(const std::function<bool(const GameRecord &)> &visit) const;

    /// Why the last operation failed, for messages; "" after success.
    QString lastError() const { return m_lastError; }

private:
    /// Opens the file the first time it is needed.
    void open() const
    {
        if (!m_opened) {
            const_cast<ResultsStore *>(this)->openNow();
        }
    }
    void openNow();
    void openFile(bool movedAside = false);
    void openForReading();
    bool openConnection(const QString &databaseName, const QString &options = {});
    bool moveAside(const QString &why);
    bool ensureWritable();
    bool writeOne(const std::function<std::optional<QSqlError>()> &write);
    void gameWritten(qint64 provisionalId, qint64 id);
    void tellWaiting(const QString &what);
    void scheduleRetry();
    void closeConnection();
    QString describe(const QSqlError &error) const;
    void noteError(const QSqlError &error) const;
    QList<RankEntry> pendingRanking(BestList list) const;
    bool visitPending(const std::function<bool(const GameRecord &)> &visit) const;
    void recordLeftRunning();
    /// Runs `write` with no busy timeout for another program's lock; returns what it returns.
    bool withoutWaiting(const std::function<bool()> &write);
    void submitCompetition(qint64 id);
    std::optional<QSqlError> writeCompetition(qint64 id, const WriteQueue::Change &change);

    Access m_access = Access::ReadWrite;
    bool m_opened = false;
    QString m_connectionName;
    QString m_folder;
    QString m_filePath;
    QSqlDatabase m_db;
    bool m_writable = false;
    std::optional<custody::FileId> m_fileId;
    std::optional<custody::FileId> m_walId; ///< the journal beside the file while it is ours
    QString m_why; ///< why the file does not take writes, while it does not
    QString m_readFailure;
    QStringList m_notices;
    mutable QString m_lastError;
    mutable bool m_damageSeen = false;
    std::map<int, std::pair<qint64, int>> m_newBests; ///< list -> (game, player)
    WriteQueue m_queue;
    std::map<qint64, qint64> m_writtenAs; ///< provisional id -> id in the file
    qint64 m_nextProvisionalId = -1;
    bool m_toldWaiting = false;
    int m_fileGeneration = 0;
    std::function<void()> m_changed;
    std::unique_ptr<CompetitionBook> m_competitions;
    /// This process, as the running games in the file name it.
    QString m_instance;
    /// What the file holds of the running game: its start, ticks and players' slots.
    struct KeptRunning {
        qint64 startedMs = 0;
        int ticks = 0;
        QList<int> players; ///< their slots
        int fileGeneration = 0;
        bool operator==(const KeptRunning &) const = default;
    };
    std::optional<KeptRunning> m_keptRunning;
    int m_keepWrites = 0;
    bool m_noBusyWait = false; ///< inside withoutWaiting()
    std::shared_ptr<std::atomic_bool> m_syncing; ///< a flush of the journal runs on a worker
};

} // namespace results
