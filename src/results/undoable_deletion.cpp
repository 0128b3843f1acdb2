// SPDX-License-Identifier: MIT
#include "results/undoable_deletion.h"

#include "results/results_store.h"

#include <QtGlobal>

namespace results
{

bool UndoableDeletion::remove(qint64 gameId)
{
    const bool finished = finish();
    m_hidden = gameId;
    return finished;
}

std::optional<qint64> UndoableDeletion::undo()
{
    const std::optional<qint64> back = m_hidden;
    m_hidden.reset();
    return back;
}

bool UndoableDeletion::finish()
{
    if (!m_hidden) {
        return true;
    }
    const qint64 id = *m_hidden;
    m_hidden.reset();
    return m_store.removeGame(id);
}

bool UndoableDeletion::removeAll()
{
    if (!m_store.removeAll()) {
        return false;
    }
    m_hidden.reset();
    return true;
}

int UndoableDeletion::gameCount() const { return m_store.gameCount() - (m_hidden ? 1 : 0); }

QList<RankEntry> UndoableDeletion::ranking(BestList list, int limit) const
{
    if (!m_hidden) {
        return m_store.ranking(list, limit);
    }
    // The hidden game may hold one entry per player.
    QList<RankEntry> entries = m_store.ranking(list, limit + rotavex::kLastPlayer);
    entries.removeIf([this](const RankEntry &e) { return e.gameId == m_hidden; });
    return entries.mid(0, limit);
}

bool UndoableDeletion::forEachGame(const std::function<bool(const GameRecord &)> &visit) const
{
    return m_store.forEachGame(
        [this, &visit](const GameRecord &game) { return game.id == m_hidden || visit(game); });
}

} // namespace results
