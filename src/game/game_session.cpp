// SPDX-License-Identifier: MIT
#include "game/game_session.h"

#include "link/port_names.h"

#include <QMetaMethod>

#include <algorithm>

namespace game
{

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

Seated AllSeated()
{
    Seated seats;
    seats.fill(true);
    return seats;
}

GameSession::GameSession(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("GameSession"));
    m_snapshot.chart = m_measurement.chart;
}

void GameSession::setPlayerNames(const rotavex::PlayerName &names)
{
    m_names = names;
    if (m_running) {
        m_playedNames = names;
    }
    publish();
}

void GameSession::setLink(PlayerSlot player, bool open, qint16 port)
{
    setLink(player, open, port > 0 ? port_names::PortCaption(port) : QString());
}

void GameSession::setLink(PlayerSlot player, bool open, const QString &linkName)
{
    m_linkOpen[player] = open;
    if (!linkName.isEmpty()) {
        m_linkName[player] = linkName;
    }
    if (open && m_gameSeated[player]) {
        m_log.linkOpened(player);
    }
    publish();
}

void GameSession::choose(PlayMode mode)
{
    m_chosen = mode;
    publish();
}

void GameSession::choosePreset(int seconds)
{
    if (seconds == m_preset
        || std::find(kPresetSeconds.begin(), kPresetSeconds.end(), seconds)
            == kPresetSeconds.end()) {
        return;
    }
    m_preset = seconds;
    m_countdown = seconds;
    publish();
    Q_EMIT countdownChanged(m_countdown);
}

void GameSession::setSeated(const Seated &seated)
{
    if (seated == m_seated) {
        return;
    }
    m_seated = seated;
}

void GameSession::start(PlayMode mode, const QDateTime &startedAt)
{
    // Only a Strength game stopped part-way goes on; anything else starts from zero.
    const bool resume = mode == PlayMode::Strength && m_resumable && m_mode == PlayMode::Strength
        && m_countdown >= 1 && m_countdown != m_preset;
    m_resumable = false;
    m_gameSeated = m_seated;
    m_playedNames = m_names;
    // An empty seat's last sample must not reach the filters of the game.
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        if (!m_gameSeated[p]) {
            m_samples[p] = 0;
        }
    }
    clear();
    GameStart start { startedAt, rotavex::PlayMode::Speed, std::nullopt };
    if (mode == PlayMode::Strength) {
        m_countdown = StrengthStartSeconds(m_countdown, m_preset);
        if (resume) {
            speed_mode::ResumeStrengthMode(m_measurement, m_samples);
        } else {
            speed_mode::UpdateStrengthMode(m_measurement, m_samples, true);
            m_startSeconds = m_countdown;
        }
        m_pace = {};
        start.mode = rotavex::PlayMode::Strength;
        start.presetSeconds = m_preset;
    }
    m_mode = mode;
    m_running = true;
    m_linkedAtStart = m_linkOpen;
    rotavex::PerPlayer<bool> seatedOpen;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        seatedOpen[p] = m_linkOpen[p] && m_gameSeated[p];
    }
    if (resume) {
        m_log.resume(seatedOpen);
    } else {
        m_log.begin(start, seatedOpen);
    }
    publish();
    if (mode == PlayMode::Strength) {
        Q_EMIT countdownChanged(m_countdown);
    }
    Q_EMIT started(mode);
}

void GameSession::stop(results::Ending ending)
{
    if (!m_running) {
        return;
    }
    // Seconds left on a stopped Strength game: a start from them goes on with the game.
    m_resumable = m_mode == PlayMode::Strength && m_countdown >= 1;
    finish(m_mode == PlayMode::Speed, ending);
}

void GameSession::clear()
{
    speed_mode::ClearRecords(m_measurement);
    speed_mode::UpdateSpeedMode(m_measurement, m_samples, true);
    m_ranOut = false;
    publish();
}

void GameSession::nextPreset()
{
    m_preset = NextPreset(m_preset);
    m_countdown = m_preset;
    publish();
    Q_EMIT countdownChanged(m_countdown);
}

void GameSession::setCountIn(int number)
{
    if (number == m_countIn) {
        return;
    }
    m_countIn = number;
    publish();
}

void GameSession::refreshTick(const port_events::LatestSamples &latest)
{
    takeSamples(latest);
    bool accepted = false;
    switch (m_mode) {
    case PlayMode::Speed:
        accepted = speed_mode::UpdateSpeedMode(m_measurement, m_samples, false);
        break;
    case PlayMode::Strength:
        RefreshTick(m_pace);
        accepted = speed_mode::UpdateStrengthMode(m_measurement, m_samples, false);
        break;
    case PlayMode::Unset:
        return;
    }
    if (accepted) {
        m_log.acceptedTick(m_samples);
        publish();
        // The record copies every sample so far: only made for someone who keeps it.
        static const QMetaMethod progressedSignal =
            QMetaMethod::fromSignal(&GameSession::progressed);
        if (!isSignalConnected(progressedSignal)) {
            return;
        }
        if (auto running = m_log.current(m_names, m_linkName, m_measurement)) {
            running->seated = m_gameSeated;
            running->linkedAtStart = m_linkedAtStart;
            Q_EMIT progressed(*running);
        }
    }
}

bool GameSession::countdownTick(const port_events::LatestSamples &latest)
{
    const CountdownStepResult step = CountdownStep(m_countdown);
    m_countdown = step.newValue;
    publish();
    Q_EMIT countdownChanged(m_countdown);
    // Both timers tick every second; when this one fires first in the last second, the game's
    // last refresh is still due and runs before the game ends.
    const int refreshesOwed = CountdownTick(m_pace, step.ranOut);
    for (int i = 0; i < refreshesOwed && m_running; ++i) {
        refreshTick(latest);
    }
    if (step.ranOut) {
        m_ranOut = true;
        finish(m_startSeconds == m_preset, results::Ending::RanOut);
    }
    return step.ranOut;
}

void GameSession::finish(bool complete, results::Ending ending)
{
    m_running = false;
    std::optional<results::GameRecord> record =
        m_log.finish(complete, m_names, m_linkName, m_measurement);
    if (record) {
        record->ending = ending;
        record->seated = m_gameSeated;
        record->linkedAtStart = m_linkedAtStart;
    }
    publish();
    if (record) {
        Q_EMIT ended(*record);
    }
}

void GameSession::takeSamples(const port_events::LatestSamples &latest)
{
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        if (!m_gameSeated[p]) {
            m_samples[p] = 0;
        } else if (latest.stored[p] != m_samplesSeen[p]) {
            m_samplesSeen[p] = latest.stored[p];
            m_samples[p] = latest.rpm[p];
        }
    }
}

void GameSession::publish()
{
    Snapshot &s = m_snapshot;
    s.mode = m_mode;
    s.chosen = m_chosen;
    s.running = m_running;
    s.resumed = m_running && m_log.isResumed();
    s.reading = m_measurement.reading;
    s.topRpm = m_measurement.topRpm;
    s.countdownSeconds = m_countdown;
    s.presetSeconds = m_preset;
    s.ranOut = m_ranOut;
    s.playedNames = m_playedNames;
    s.countIn = m_countIn;
    s.chart = m_measurement.chart;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const speed_mode::PlayerValues &values = m_measurement.players[p];
        PlayerSnapshot &player = s.players[p];
        player.name = m_names[p];
        player.rpm = values.rpm;
        player.revolutions = m_measurement.RevTotal[p];
        player.record = values.record;
        player.bar = values.bar;
        player.barColour = values.barColour;
        player.participating = m_log.participants()[p];
        player.seated = m_gameSeated[p];
    }
    Q_EMIT updated(m_snapshot);
}

} // namespace game
