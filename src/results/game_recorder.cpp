// SPDX-License-Identifier: MIT
#include "results/game_recorder.h"

#include "results/results_store.h"

#include <algorithm>

namespace results
{

QList<GameRecorder::NewBest> GameRecorder::record(GameRecord &game)
{
    if (!m_store) {
        return {};
    }
    if (game.resumed && m_lastId > 0) {
        m_store->removeGame(m_lastId);
    }
    QList<NewBest> bests;
    for (const BestList list : m_store->addGame(game)) {
        const QList<RankEntry> top = m_store->ranking(list, 1);
        if (!top.isEmpty()) {
            bests.append({ list, top.first() });
        }
    }
    m_lastId = game.id;
    return bests;
}

void GameRecorder::keep(const GameRecord &running)
{
    if (m_store) {
        // A resumed game takes the place of its stop's record, after a crash too.
        m_store->keepRunning(running, running.resumed ? std::max<qint64>(m_lastId, 0) : 0);
    }
}

void GameRecorder::take(const GameRecord &ended)
{
    GameRecord game = ended;
    for (const NewBest &best : record(game)) {
        Q_EMIT newBest(best);
    }
    Q_EMIT recorded(game);
}

} // namespace results
