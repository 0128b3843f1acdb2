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

    /// Begins a game in the chosen mode with the session's seated players: after a count-in
    /// when the board's Start counts in (setCountIn), at once otherwise.
    void start();
    /// Begins the called heat's game, after a count-in unless heats start at once.
    void startHeat();
    /// Ends the running game, if any; a count-in under way is called off and nothing is
    /// recorded.
    void stop();
    /// Stop while a game runs or counts in, Start otherwise: the Start button.
    void toggle();
    /// Whether the board's Start and a heat's start count in (3, 2, 1, go) before the game.
    void setCountIn(bool onBoard, bool forHeats);
    /// The count-in's first tone is heard at `heardMs` (on this clock's time, after the sound
    /// output's latency): the numbers and the go move to it, so the game starts as the room
    /// hears go. Ignored unless a count-in is under way and `heardMs` is within a second of
    /// its start.
    void alignCountIn(qint64 heardMs);
    /// The clock's time now, in its milliseconds.
    qint64 now() const { return m_now(); }
    /// A count-in is under way.
    bool countingIn() const { return m_countInFromMs >= 0; }
    /// The count-in's timer fired: the next number, or the go.
    void countInTimer();
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
    /// A count-in began at `atMs` on this clock's time; its go is kGoAfterMs later.
    void countInStarted(qint64 atMs);
    /// The count-in was stopped before its go.
    void countInCancelled();
    /// The seconds left of a game with an end in time: a Strength countdown's every step and a
    /// Speed game's with a time limit, down to 0 at its end.
    void secondsLeft(int seconds);

private:
    void begin(bool countIn);
    void go();
    void scheduleCountIn();
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
    QTimer *m_countIn = nullptr;
    bool m_countInOnBoard = false;
    bool m_countInForHeats = true;
    qint64 m_countInFromMs = -1; ///< the count-in's first tone, -1 when none is under way
    std::optional<int> m_limit;
    qint64 m_startedMs = 0;
    qint64 m_refreshes = 0; ///< refresh ticks of the running game
    qint64 m_countdowns = 0; ///< countdown ticks of the running game
};

} // namespace game
