// SPDX-License-Identifier: MIT
#pragma once

#include "game/game_session.h"
#include "link/port_events.h"

#include <QObject>

#include <functional>
#include <optional>

class QTimer;

namespace game
{

/// Runs the session's games in time: owns the refresh timer `tmrRefresh` and the countdown
/// timer `tmrStrenght` (one second each), and takes the commands of whoever plays a game, the
/// board's buttons or a competition. Start, Stop and the chosen mode and preset go through
/// here; the buttons only show the session's snapshot. Qt Core only.
class GameClock : public QObject
{
    Q_OBJECT
public:
    /// The links' latest samples, read at every refresh tick.
    using SampleSource = std::function<port_events::LatestSamples()>;
    /// Milliseconds on a clock that never goes back; its origin does not matter.
    using TimeSource = std::function<qint64()>;

    /// `session` must outlive the clock; the timers are its children, so a window that is the
    /// clock's parent finds them by name. Without `now` the clock keeps the system's
    /// monotonic time.
    GameClock(
        GameSession &session, SampleSource samples, QObject *parent = nullptr, TimeSource now = {});

    GameSession &session() { return m_session; }
    const GameSession &session() const { return m_session; }

    /// Begins a game in the chosen mode with the session's seated players.
    void start();
    /// Ends the running game, if any.
    void stop();
    /// Stop while a game runs, Start otherwise: the Start button.
    void toggle();
    /// The mode of the next game.
    void choose(PlayMode mode);
    /// The mode and countdown preset of the next game.
    void choose(PlayMode mode, int presetSeconds);
    /// The next countdown preset (30 -> 60 -> 90 -> 30).
    void nextPreset();
    /// A Speed game ends by itself after this many seconds of play (its record says TimeUp);
    /// nullopt plays until Stop.
    void setTimeLimit(std::optional<int> seconds) { m_limit = seconds; }

    /// The refresh timer fired: one refresh, and while a game runs as many more as the seconds
    /// played are ahead of the refreshes (after a stalled event loop).
    void refreshTimer();
    /// The countdown timer fired: one step, caught up likewise.
    void countdownTimer();
    /// Exactly one refresh (or countdown step), as the timer's own tick without catching up;
    /// true while a game runs on.
    bool refreshTick();
    bool countdownTick();

Q_SIGNALS:
    /// A refresh tick has run.
    void refreshed();

private:
    void refresh();
    void countdown();
    /// Whole seconds since the game (or its going on) began.
    qint64 secondsPlayed() const;
    void stopTimers();

    GameSession &m_session;
    SampleSource m_samples;
    TimeSource m_now;
    QTimer *m_refresh = nullptr;
    QTimer *m_countdown = nullptr;
    std::optional<int> m_limit;
    qint64 m_startedMs = 0;
    qint64 m_refreshes = 0; ///< refresh ticks of the running game
    qint64 m_countdowns = 0; ///< countdown ticks of the running game
};

} // namespace game
