// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "results/game_record.h"

#include <QList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QTimer;

namespace results
{

/// What waits for the results file, and when to try it again: games in the order they ended,
/// then competitions' changes, each under its competition's id, a later change taking the place
/// of a waiting one of the same competition. Retries come after 1, 2, 4 … up to 30 s.
/// UI thread only.
class WriteQueue
{
public:
    /// A competition's whole state as this run last saved it.
    struct Change {
        competition::Competition state;
        bool closed = false;
    };

    /// `retry` is called when the back-off has passed.
    explicit WriteQueue(std::function<void()> retry);
    ~WriteQueue();
    WriteQueue(const WriteQueue &) = delete;
    WriteQueue &operator=(const WriteQueue &) = delete;

    QList<GameRecord> &games() { return m_games; }
    const QList<GameRecord> &games() const { return m_games; }
    /// Puts `change` in the queue, in the place of a waiting change with the same key.
    void put(qint64 key, Change change);
    /// The waiting change written first with its key; nullptr when none waits.
    const std::pair<qint64, Change> *firstChange() const;
    /// True when a change waits under `key`.
    bool holds(qint64 key) const;
    void dropFirstChange();
    int changeCount() const { return int(m_changes.size()); }
    bool isEmpty() const { return m_games.isEmpty() && m_changes.isEmpty(); }

    /// Arms the next retry (if none is armed) and doubles the wait after it.
    void scheduleRetry();
    /// Everything was written: the next failure waits the shortest time again.
    void settled();

private:
    QList<GameRecord> m_games;
    QList<std::pair<qint64, Change>> m_changes;
    std::function<void()> m_retry;
    std::unique_ptr<QTimer> m_timer;
    std::chrono::milliseconds m_backoff;
};

} // namespace results
