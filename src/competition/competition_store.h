// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>

namespace results
{
class ResultsStore;
} // namespace results

namespace competition
{

/// The competitions of the evening: in the results file, beside the recorded games, through the
/// results store's own operations (its queue, its file), or in memory when there is no store. A
/// change that cannot be written now waits with the games and is retried with them, never
/// written into a removed or replaced file. Every row read is checked; what is damaged is left
/// out and named by skipped(). A change made against an older state of a competition than the
/// file's (another instance changed it) is refused. UI thread only.
class CompetitionStore
{
public:
    /// `results` (which must outlive this object) owns the results file; without one (nullptr)
    /// the competitions of this run live in memory and isSaved() is false.
    explicit CompetitionStore(results::ResultsStore *results);
    ~CompetitionStore();
    CompetitionStore(const CompetitionStore &) = delete;
    CompetitionStore &operator=(const CompetitionStore &) = delete;

    /// True when the file takes writes and no change of a competition waits.
    bool isSaved() const;
    /// The results file ("" without a results store).
    QString filePath() const;

    enum class Saved {
        Written, ///< in the file
        Waiting, ///< kept, and written as soon as the file takes it
        Conflict, ///< another instance changed it first: nothing written, the file's state loaded
    };
    /// Writes the whole competition in one transaction, giving it an id when it has none.
    /// Played heats and attempts already written are never rewritten. On Conflict `competition`
    /// is replaced by the state in the file.
    Saved save(Competition &competition);
    /// The competition as this run last saved it or as the file holds it; rows the file holds
    /// damaged are left out (see skipped()).
    std::optional<Competition> load(qint64 id) const;
    /// The latest competition not closed, the one to resume.
    std::optional<qint64> openCompetition() const;
    /// Marks the competition closed; it is kept with its results.
    bool close(qint64 id);

    /// What the last load() left out or cut because the file's rows were damaged, in words; ""
    /// when nothing.
    QString skipped() const { return m_skipped; }
    /// Why the last operation failed or waits, for messages; "" after success.
    QString lastError() const { return m_lastError; }
    /// Called with the file's state when a change that waited is refused at its retry because
    /// another instance changed the competition meanwhile.
    void setConflictHandler(std::function<void(const Competition &stored)> handler);

private:
    /// Without a results store: this run's competitions, by id.
    struct InMemory {
        Competition state;
        bool closed = false;
        qint64 savedOrder = 0;
    };

    results::ResultsStore *m_results;
    std::map<qint64, InMemory> m_inMemory;
    qint64 m_saves = 0;
    mutable QString m_skipped;
    mutable QString m_lastError;
};

} // namespace competition
