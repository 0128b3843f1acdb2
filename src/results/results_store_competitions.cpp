// SPDX-License-Identifier: MIT
// The store's competitions: saved beside the games through the same queue and the same file.
#include "results/competition_book.h"
#include "results/competition_rows.h"
#include "results/results_store.h"

#include <QSqlQuery>

namespace results
{

using competition::Attempt;
using competition::Competition;

void ResultsStore::setCompetitionConflictHandler(std::function<void(const Competition &)> handler)
{
    m_competitions->conflictHandler = std::move(handler);
}

std::optional<QSqlError> ResultsStore::writeCompetition(qint64 id, const WriteQueue::Change &change)
{
    CompetitionBook &book = *m_competitions;
    book.follow(m_fileGeneration);
    qint64 real = book.realId(id);
    QSqlQuery transaction(m_db);
    // Read and write under one write lock, so no other instance comes in between.
    if (!transaction.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        return transaction.lastError();
    }
    auto fail = [this](const QSqlError &error) {
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        return std::optional(error);
    };
    std::optional<Competition> stored;
    if (real > 0) {
        QString skipped;
        QSqlError error;
        stored = competition_rows::Read(m_db, real, skipped, error);
        if (error.isValid()) {
            return fail(error);
        }
        const auto base = book.base.find(real);
        if (stored && base != book.base.end() && *stored != base->second) {
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
            book.base[real] = *stored;
            Competition theirs = *stored;
            theirs.id = id;
            book.states[id] = theirs;
            book.conflict = theirs;
            if (!book.saving && book.conflictHandler) {
                book.conflictHandler(theirs);
            }
            return std::nullopt;
        }
        // Not in the file (one started anew since): written there as a new competition.
        if (!stored) {
            real = 0;
        }
        // Rows left out as damaged are only cleared by writing everything again.
        if (!skipped.isEmpty()) {
            stored.reset();
        }
    }
    Competition written = change.state;
    for (Attempt &attempt : written.attempts) {
        attempt.gameId = idInFile(attempt.gameId);
    }
    if (const auto error = competition_rows::Write(
            m_db, written, change.closed, real, stored ? &*stored : nullptr)) {
        return fail(*error);
    }
    QSqlQuery commit(m_db);
    if (!commit.exec(QStringLiteral("COMMIT"))) {
        return fail(commit.lastError());
    }
    if (real != id) {
        book.inFile[id] = real;
    }
    written.id = real;
    book.base[real] = written;
    return std::nullopt;
}

void ResultsStore::submitCompetition(qint64 id)
{
    const CompetitionBook &book = *m_competitions;
    m_queue.put(id, { book.states.at(id), book.closed.count(id) != 0 });
    if (writePending()) {
        m_lastError.clear();
        return;
    }
    tellWaiting(QStringLiteral("The competition's change is"));
}

ResultsStore::CompetitionSaved ResultsStore::saveCompetition(Competition &competition)
{
    open();
    CompetitionBook &book = *m_competitions;
    if (competition.id == 0) {
        competition.id = book.nextId--;
    }
    book.states[competition.id] = competition;
    book.savedOrder[competition.id] = ++book.saves;
    book.conflict.reset();
    book.saving = true;
    submitCompetition(competition.id);
    book.saving = false;
    if (book.conflict) {
        competition = *book.conflict;
        book.conflict.reset();
        return CompetitionSaved::Conflict;
    }
    if (m_queue.holds(competition.id)) {
        return CompetitionSaved::Waiting;
    }
    // Written at once: from now on it goes by the file's id.
    if (const auto real = book.inFile.find(competition.id);
        competition.id < 0 && real != book.inFile.end()) {
        book.states[real->second] = std::move(book.states[competition.id]);
        book.savedOrder[real->second] = book.savedOrder[competition.id];
        book.states.erase(competition.id);
        book.savedOrder.erase(competition.id);
        competition.id = real->second;
        book.states[competition.id].id = competition.id;
    }
    return CompetitionSaved::Written;
}

std::optional<Competition> ResultsStore::loadCompetition(qint64 id, QString *skipped) const
{
    open();
    m_lastError.clear();
    if (skipped) {
        skipped->clear();
    }
    CompetitionBook &book = *m_competitions;
    book.follow(m_fileGeneration);
    const auto state = book.states.find(id);
    const qint64 real = book.realId(id);
    const auto ours = [&]() {
        return state == book.states.end() ? std::nullopt : std::optional(state->second);
    };
    if (m_queue.holds(id) || real == 0 || !m_db.isOpen()) {
        return ours();
    }
    QString left;
    QSqlError error;
    std::optional<Competition> read = competition_rows::Read(m_db, real, left, error);
    if (skipped) {
        *skipped = left;
    }
    if (error.isValid()) {
        noteError(error);
    }
    if (!read) {
        return ours();
    }
    book.base[real] = *read;
    read->id = id;
    return read;
}

std::optional<qint64> ResultsStore::openCompetition()
{
    open();
    m_lastError.clear();
    const CompetitionBook &book = *m_competitions;
    // This run's own first: the latest saved and not closed.
    std::optional<qint64> latest;
    for (const auto &[id, order] : book.savedOrder) {
        if (book.closed.count(id) == 0 && (!latest || order > book.savedOrder.at(*latest))) {
            latest = id;
        }
    }
    if (latest) {
        return latest;
    }
    // Another instance may have replaced or removed the file since it was opened.
    refresh();
    if (!m_db.isOpen()) {
        return std::nullopt;
    }
    QSqlError error;
    for (const qint64 id : competition_rows::OpenIds(m_db, error)) {
        if (book.closed.count(id) == 0) {
            return id;
        }
    }
    if (error.isValid()) {
        noteError(error);
    }
    return std::nullopt;
}

bool ResultsStore::closeCompetition(qint64 id)
{
    open();
    CompetitionBook &book = *m_competitions;
    if (book.states.count(id) == 0) {
        const std::optional<Competition> stored = loadCompetition(id);
        if (!stored) {
            return false;
        }
        book.states[id] = *stored;
    }
    book.closed.insert(id);
    submitCompetition(id);
    return true;
}

} // namespace results
