// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace competition
{

/// The competitions in the results file, beside the recorded games, through a connection of
/// its own. The file must have been opened (and so migrated) by a results::ResultsStore first;
/// when it cannot be used the competitions of this run live in memory and isSaved() is false.
/// UI thread only.
class CompetitionStore
{
public:
    explicit CompetitionStore(const QString &filePath);
    ~CompetitionStore();
    CompetitionStore(const CompetitionStore &) = delete;
    CompetitionStore &operator=(const CompetitionStore &) = delete;

    bool isSaved() const { return m_saved; }
    /// The results file given at construction (even when it could not be used).
    QString filePath() const { return m_filePath; }

    /// Writes the whole competition in one transaction, giving it an id when it has none.
    /// Played heats and attempts already written are never rewritten.
    bool save(Competition &competition);
    std::optional<Competition> load(qint64 id) const;
    /// The latest competition not closed, the one to resume.
    std::optional<qint64> openCompetition() const;
    /// Marks the competition closed; it is kept with its results.
    bool close(qint64 id);

    /// Why the last operation failed, for messages; "" after success.
    QString lastError() const { return m_lastError; }

private:
    bool open(const QString &databaseName);
    bool createTables();
    bool writeCompetition(Competition &competition);

    QString m_connectionName;
    QString m_filePath;
    QSqlDatabase m_db;
    bool m_saved = false;
    mutable QString m_lastError;
};

} // namespace competition
