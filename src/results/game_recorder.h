// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QList>

namespace results
{

class ResultsStore;

/// Records the games a session ends into a store. A record marked resumed takes the place of
/// the one recorded before it (the same game, stopped), so the history holds the game once.
class GameRecorder
{
public:
    /// `store` must outlive the recorder.
    explicit GameRecorder(ResultsStore &store)
        : m_store(store)
    {
    }

    /// A new best the game set: the list and its top entry.
    struct NewBest {
        BestList list;
        RankEntry entry;
    };

    /// Records `game` (setting its id) and returns the lists it is the new best of.
    QList<NewBest> record(GameRecord &game);

private:
    ResultsStore &m_store;
    qint64 m_lastId = 0;
};

} // namespace results
