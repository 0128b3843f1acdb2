// SPDX-License-Identifier: MIT
#include "game/game_clock.h"

#include "announcer/cue_plan.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace game
{

using namespace std::chrono_literals;

namespace
{

    qint64 monotonicMs()
    {
        static QElapsedTimer origin = [] {
            QElapsedTimer timer;
            timer.start();
            return timer;
        }();
        return origin.elapsed();
    }

} // namespace

GameClock::GameClock(GameSession &session, SampleSource samples, QObject *parent, TimeSource now)
    : QObject(parent)
    , m_session(session)
    , m_samples(std::move(samples))
    , m_now(now ? std::move(now) : TimeSource(monotonicMs))
{
    setObjectName(QStringLiteral("GameClock"));
    m_countdown = new QTimer(this);
    m_countdown->setObjectName(QStringLiteral("tmrStrenght"));
    m_countdown->setInterval(1000ms);
    m_refresh = new QTimer(this);
    m_refresh->setObjectName(QStringLiteral("tmrRefresh"));
    m_refresh->setInterval(1000ms);
    connect(m_refresh, &QTimer::timeout, this, &GameClock::refreshTimer);
    connect(m_countdown, &QTimer::timeout, this, &GameClock::countdownTimer);
    m_countIn = new QTimer(this);
    m_countIn->setObjectName(QStringLiteral("tmrCountIn"));
    m_countIn->setSingleShot(true);
    // The go must land on the tone's millisecond, not on a coarse timer's slack.
    m_countIn->setTimerType(Qt::PreciseTimer);
    connect(m_countIn, &QTimer::timeout, this, &GameClock::countInTimer);
}

void GameClock::start() { begin(m_countInOnBoard); }

void GameClock::startHeat() { begin(m_countInForHeats); }

void GameClock::setCountIn(bool onBoard, bool forHeats)
{
    m_countInOnBoard = onBoard;
    m_countInForHeats = forHeats;
}

void GameClock::begin(bool countIn)
{
    if (m_session.snapshot().running || countingIn()) {
        return;
    }
    if (!countIn) {
        m_startedMs = m_now();
        go();
        return;
    }
    m_countInFromMs = m_now();
    m_session.setCountIn(announcer::kCountInSteps);
    Q_EMIT countInStarted(m_countInFromMs);
    scheduleCountIn();
}

void GameClock::alignCountIn(qint64 heardMs)
{
    if (!countingIn() || std::abs(heardMs - m_countInFromMs) >= announcer::kCountInStepMs) {
        return;
    }
    m_countInFromMs = heardMs;
    scheduleCountIn();
}

void GameClock::countInTimer()
{
    if (!countingIn()) {
        return;
    }
    const qint64 elapsed = m_now() - m_countInFromMs;
    if (elapsed < announcer::kGoAfterMs) {
        // Before the first tone is heard the count-in still shows its first number.
        m_session.setCountIn(
            elapsed < 0 ? announcer::kCountInSteps : announcer::CountInNumber(elapsed));
        scheduleCountIn();
        return;
    }
    // The game's seconds count from the go as planned, however late the timer came.
    m_startedMs = m_countInFromMs + announcer::kGoAfterMs;
    m_countInFromMs = -1;
    m_session.setCountIn(0);
    go();
}

void GameClock::scheduleCountIn()
{
    const qint64 elapsed = m_now() - m_countInFromMs;
    const qint64 next = elapsed < 0
        ? -elapsed
        : std::min(announcer::kGoAfterMs,
              (elapsed / announcer::kCountInStepMs + 1) * announcer::kCountInStepMs)
            - elapsed;
    m_countIn->start(std::chrono::milliseconds(std::max<qint64>(0, next)));
}

void GameClock::go()
{
    const PlayMode mode = m_session.snapshot().chosen;
    m_session.start(mode, QDateTime::currentDateTime());
    m_refreshes = 0;
    m_countdowns = 0;
    if (mode == PlayMode::Strength) {
        m_countdown->start();
    }
    m_refresh->start();
}

void GameClock::stop()
{
    if (countingIn()) {
        m_countIn->stop();
        m_countInFromMs = -1;
        m_session.setCountIn(0);
        Q_EMIT countInCancelled();
        return;
    }
    stopTimers();
    m_session.stop();
}

void GameClock::toggle()
{
    if (m_session.snapshot().running || countingIn()) {
        stop();
    } else {
        start();
    }
}

void GameClock::choose(PlayMode mode) { m_session.choose(mode); }

void GameClock::choose(PlayMode mode, int presetSeconds)
{
    m_session.choosePreset(presetSeconds);
    m_session.choose(mode);
}

void GameClock::nextPreset() { m_session.nextPreset(); }

qint64 GameClock::secondsPlayed() const { return (m_now() - m_startedMs) / 1000; }

void GameClock::refreshTimer()
{
    if (!refreshTick()) {
        return;
    }
    const bool speed = m_session.snapshot().mode == PlayMode::Speed;
    // A Strength game's seconds end with its countdown, which runs the refreshes still owed at
    // its last second; catching up never goes past them.
    while (m_session.snapshot().running && m_refreshes < secondsPlayed()
        && (speed || m_refreshes < m_countdowns + m_session.snapshot().countdownSeconds)) {
        refreshTick();
    }
}

bool GameClock::refreshTick()
{
    const bool running = m_session.snapshot().running;
    refresh();
    if (!running) {
        return false;
    }
    ++m_refreshes;
    if (m_session.snapshot().mode == PlayMode::Speed && m_limit) {
        Q_EMIT secondsLeft(int(std::max<qint64>(0, *m_limit - m_refreshes)));
    }
    if (m_session.snapshot().mode == PlayMode::Speed && m_limit && m_refreshes >= *m_limit) {
        stopTimers();
        m_session.stop(results::Ending::TimeUp);
        return false;
    }
    return true;
}

void GameClock::countdownTimer()
{
    if (!countdownTick()) {
        return;
    }
    while (m_session.snapshot().running && m_countdowns < secondsPlayed()) {
        countdownTick();
    }
}

bool GameClock::countdownTick()
{
    const bool running = m_session.snapshot().running;
    ++m_countdowns;
    countdown();
    return running;
}

void GameClock::refresh()
{
    m_session.refreshTick(m_samples());
    Q_EMIT refreshed();
}

void GameClock::countdown()
{
    const bool ranOut = m_session.countdownTick(m_samples());
    if (ranOut) {
        stopTimers();
    }
    Q_EMIT secondsLeft(m_session.snapshot().countdownSeconds);
}

void GameClock::stopTimers()
{
    m_countdown->stop();
    m_refresh->stop();
}

} // namespace game
