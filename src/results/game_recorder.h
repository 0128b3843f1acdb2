// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QList>
#include <QObject>

namespace results
{

class ResultsStore;

/// Records the games a session ends into a store and tells who listens: the record marks, the
/// high-score window and the competition. A record marked resumed takes the place of the one
/// recorded before it (the same game, stopped), so the history holds the game once. The
/// running game is kept in the file every tick and found again after a crash.
class GameRecorder : public QObject
{
    Q_OBJECT
public:
    /// `store` must outlive the recorder; without one games are passed on unrecorded (id 0).
    explicit GameRecorder(ResultsStore *store, QObject *parent = nullptr)
        : QObject(parent)
        , m_store(store)
    {
    }

    /// A new best the game set: the list and its top entry.
    struct NewBest {
        BestList list;
        RankEntry entry;
    };

    /// Records `game` (setting its id) and returns the lists it is the new best of.
    QList<NewBest> record(GameRecord &game);

public Q_SLOTS:
    /// A game ended: records it, then tells newBest() for each list it leads and recorded().
    void take(const results::GameRecord &ended);
    /// The running game so far: kept in the file, so a crash does not lose it (see
    /// ResultsStore::keepRunning()).
    void keep(const results::GameRecord &running);

Q_SIGNALS:
    void newBest(const results::GameRecorder::NewBest &best);
    /// The game as recorded, with its id (0 when there is no results file).
    void recorded(const results::GameRecord &game);

private:
    ResultsStore *m_store;
    qint64 m_lastId = 0;
};

} // namespace results
