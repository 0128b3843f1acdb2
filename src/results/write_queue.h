// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QList>
#include <QSqlError>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QSqlDatabase;
class QTimer;

namespace results
{

/// What waits for the results file, and when to try it again: games in the order they ended,
/// then other changes (a competition's whole state), each under a key, a later change taking
/// the place of a waiting one with the same key. Retries come after 1, 2, 4 … up to 30 s.
/// UI thread only.
class WriteQueue
{
public:
    /// Writes one change in a transaction of its own with the open connection; returns the error
    /// that kept it out of the file, nothing when it was written or is no longer wanted.
    using Change = std::function<std::optional<QSqlError>(QSqlDatabase &db)>;

    /// `retry` is called when the back-off has passed.
    explicit WriteQueue(std::function<void()> retry);
    ~WriteQueue();
    WriteQueue(const WriteQueue &) = delete;
    WriteQueue &operator=(const WriteQueue &) = delete;

    QList<GameRecord> &games() { return m_games; }
    const QList<GameRecord> &games() const { return m_games; }
    /// Puts `change` in the queue, in the place of a waiting change with the same key.
    void put(qint64 key, Change change);
    /// The waiting change written first; nullptr when none waits.
    const Change *firstChange() const;
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
