// SPDX-License-Identifier: MIT
#include "competition/competition_store.h"

#include "results/results_store.h"

namespace competition
{

CompetitionStore::CompetitionStore(results::ResultsStore *results)
    : m_results(results)
{
}

CompetitionStore::~CompetitionStore() = default;

bool CompetitionStore::isSaved() const { return m_results && m_results->isSaved(); }

QString CompetitionStore::filePath() const { return m_results ? m_results->filePath() : QString(); }

void CompetitionStore::setConflictHandler(std::function<void(const Competition &)> handler)
{
    if (m_results) {
        m_results->setCompetitionConflictHandler(std::move(handler));
    }
}

CompetitionStore::Saved CompetitionStore::save(Competition &competition)
{
    m_lastError.clear();
    if (!m_results) {
        if (competition.id == 0) {
            competition.id = qint64(m_inMemory.size()) + 1;
        }
        InMemory &kept = m_inMemory[competition.id];
        kept.state = competition;
        kept.savedOrder = ++m_saves;
        return Saved::Written;
    }
    switch (m_results->saveCompetition(competition)) {
    case results::ResultsStore::CompetitionSaved::Written:
        return Saved::Written;
    case results::ResultsStore::CompetitionSaved::Waiting:
        m_lastError = m_results->whyNotSaved();
        return Saved::Waiting;
    case results::ResultsStore::CompetitionSaved::Conflict:
        m_lastError = QStringLiteral("another Rotavex changed the competition first");
        return Saved::Conflict;
    }
    return Saved::Waiting;
}

std::optional<Competition> CompetitionStore::load(qint64 id) const
{
    m_lastError.clear();
    m_skipped.clear();
    if (!m_results) {
        const auto kept = m_inMemory.find(id);
        return kept == m_inMemory.end() ? std::nullopt : std::optional(kept->second.state);
    }
    std::optional<Competition> loaded = m_results->loadCompetition(id, &m_skipped);
    m_lastError = m_results->lastError();
    return loaded;
}

std::optional<qint64> CompetitionStore::openCompetition() const
{
    m_lastError.clear();
    if (m_results) {
        const std::optional<qint64> open = m_results->openCompetition();
        m_lastError = m_results->lastError();
        return open;
    }
    // The latest saved and not closed.
    std::optional<qint64> latest;
    qint64 latestOrder = 0;
    for (const auto &[id, kept] : m_inMemory) {
        if (!kept.closed && kept.savedOrder > latestOrder) {
            latest = id;
            latestOrder = kept.savedOrder;
        }
    }
    return latest;
}

bool CompetitionStore::close(qint64 id)
{
    m_lastError.clear();
    if (m_results) {
        return m_results->closeCompetition(id);
    }
    const auto kept = m_inMemory.find(id);
    if (kept == m_inMemory.end()) {
        return false;
    }
    kept->second.closed = true;
    return true;
}

} // namespace competition
