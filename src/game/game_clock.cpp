// SPDX-License-Identifier: MIT
#include "game/game_clock.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>

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
}

void GameClock::start()
{
    if (m_session.snapshot().running) {
        return;
    }
    const PlayMode mode = m_session.snapshot().chosen;
    m_session.start(mode, QDateTime::currentDateTime());
    m_startedMs = m_now();
    m_refreshes = 0;
    m_countdowns = 0;
    if (mode == PlayMode::Strength) {
        m_countdown->start();
    }
    m_refresh->start();
}

void GameClock::stop()
{
    stopTimers();
    m_session.stop();
}

void GameClock::toggle()
{
    if (m_session.snapshot().running) {
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
    if (m_session.countdownTick(m_samples())) {
        stopTimers();
    }
}

void GameClock::stopTimers()
{
    m_countdown->stop();
    m_refresh->stop();
}

} // namespace game
