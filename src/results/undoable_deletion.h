// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QList>

#include <functional>
#include <optional>

namespace results
{

class ResultsStore;

/// Deleting games one at a time with a way back: the game deleted last is only hidden (from
/// rankings and reads through this object) and stays in the file until the next deletion or
/// finish(); undo() brings it back. One deletion can be undone at a time.
class UndoableDeletion
{
public:
    /// `store` must outlive this object.
    explicit UndoableDeletion(ResultsStore &store)
        : m_store(store)
    {
    }

    /// The hidden game, nullopt when none is.
    std::optional<qint64> hidden() const { return m_hidden; }
    /// Hides `gameId`; the game hidden before leaves the file now. False when that one could
    /// not be deleted (the store's lastError() says why); `gameId` is hidden all the same.
    bool remove(qint64 gameId);
    /// Brings the hidden game back; returns its id (nullopt when none was hidden).
    std::optional<qint64> undo();
    /// Deletes the hidden game from the file; the way back closes. False when it could not be
    /// deleted (the store's lastError() says why).
    bool finish();
    /// Every game is deleted (nothing to undo any more); false when the store could not.
    bool removeAll();

    /// The number of games, the hidden one not counted.
    int gameCount() const;
    /// The list's top `limit` entries without the hidden game's.
    QList<RankEntry> ranking(BestList list, int limit) const;
    /// As ResultsStore::forEachGame(), without the hidden game.
    bool forEachGame(const std::function<bool(const GameRecord &)> &visit) const;

private:
    ResultsStore &m_store;
    std::optional<qint64> m_hidden;
};

} // namespace results
