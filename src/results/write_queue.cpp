// SPDX-License-Identifier: MIT
#include "results/write_queue.h"

#include <QTimer>

#include <algorithm>

namespace results
{

namespace
{

    constexpr std::chrono::milliseconds kFirstRetry { 1000 };
    constexpr std::chrono::milliseconds kLastRetry { 30000 };

} // namespace

WriteQueue::WriteQueue(std::function<void()> retry)
    : m_retry(std::move(retry))
    , m_backoff(kFirstRetry)
{
}

WriteQueue::~WriteQueue() = default;

void WriteQueue::put(qint64 key, Change change)
{
    for (auto &[waitingKey, waiting] : m_changes) {
        if (waitingKey == key) {
            waiting = std::move(change);
            return;
        }
    }
    m_changes.append({ key, std::move(change) });
}

const std::pair<qint64, WriteQueue::Change> *WriteQueue::firstChange() const
{
    return m_changes.isEmpty() ? nullptr : &m_changes.first();
}

bool WriteQueue::holds(qint64 key) const
{
    return std::any_of(m_changes.begin(), m_changes.end(),
        [key](const std::pair<qint64, Change> &change) { return change.first == key; });
}

void WriteQueue::dropFirstChange()
{
    if (!m_changes.isEmpty()) {
        m_changes.removeFirst();
    }
}

void WriteQueue::scheduleRetry()
{
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        m_timer->callOnTimeout([this] { m_retry(); });
    }
    if (!m_timer->isActive()) {
        m_timer->start(m_backoff);
        m_backoff = std::min(m_backoff * 2, kLastRetry);
    }
}

void WriteQueue::settled()
{
    m_backoff = kFirstRetry;
    if (m_timer) {
        m_timer->stop();
    }
}

} // namespace results
