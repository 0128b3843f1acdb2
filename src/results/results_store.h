// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace results
{

/// The recorded games in an SQLite file, `results.sqlite` in a folder. It never fails to
/// open: a file that is not a database (or fails its integrity check) is moved aside and a
/// fresh one started; a file or folder that cannot be written keeps this run's games in
/// memory. Either way notice() tells the user once. UI thread only.
class ResultsStore
{
public:
    /// The schema this build writes; older files are migrated step by step when opened.
    static constexpr int kSchemaVersion = 3;
    static constexpr auto kFileName = "results.sqlite";

    /// Opens or creates `folder`/results.sqlite (creating the folder when missing).
    explicit ResultsStore(const QString &folder);
    ~ResultsStore();
    ResultsStore(const ResultsStore &) = delete;
    ResultsStore &operator=(const ResultsStore &) = delete;

    /// The per-user data folder (on Linux $XDG_DATA_HOME/<application name>).
    static QString defaultFolder();

    QString filePath() const { return m_filePath; }
    /// False while this run's games live in memory only.
    bool isSaved() const { return m_saved; }
    /// A plain-text message about the results file that the user has not been given yet
    /// ("" when there is none); each message is returned once.
    QString takeNotice();

    /// Records the game in one transaction and sets its id. Falls back to memory (with a
    /// notice) when the file cannot take it. Returns the lists it is the new best of.
    QList<BestList> addGame(GameRecord &game);

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

    /// Calls `visit` with every game (players without samples), oldest first; stops when it
    /// returns false. Returns false when the games could not be read.
    bool forEachGame(const std::function<bool(const GameRecord &)> &visit) const;

    /// Why the last operation failed, for messages; "" after success.
    QString lastError() const { return m_lastError; }

private:
    void openFile(const QString &folder);
    bool openConnection(const QString &databaseName);
    bool configureAndMigrate(QString &why, bool &unreadable);
    void moveAsideAndStartAgain(const QString &why);
    void useMemory(const QString &why, bool copyFromFile);
    bool insertGame(GameRecord &game);
    bool exec(const QString &sql);
    void closeConnection();

    QString m_connectionName;
    QString m_filePath;
    QSqlDatabase m_db;
    bool m_saved = false;
    QStringList m_notices;
    mutable QString m_lastError;
    std::map<int, std::pair<qint64, int>> m_newBests; ///< list -> (game, player)
};

} // namespace results
