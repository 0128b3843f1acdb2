// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

/// Records the longest gap between turns of the event loop while it lives: a 5 ms timer whose
/// late firings show how long the loop was held.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
            ++m_turns;
        });
        m_clock.start();
        m_timer.start();
    }
    /// The longest gap between two firings, in ms.
    qint64 longestMs() const { return m_longest; }
    /// How often the timer fired.
    int turns() const { return m_turns; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
    int m_turns = 0;
};
