// SPDX-License-Identifier: MIT
#include "announcer/announcer.h"

#include "announcer/sound_output.h"
#include "announcer/tone_pcm.h"
#include "competition/competition_host.h"
#include "competition/competition_scene.h"
#include "evening/evening.h"
#include "game/game_clock.h"
#include "game/game_session.h"
#include "results/game_record.h"
#include "settings/settings_store.h"

#include <QTimer>

#include <chrono>

namespace announcer
{

namespace keys = settings_store::sound;

Announcer::Announcer(evening::Evening &evening, QObject *parent)
    : QObject(parent)
    , m_evening(evening)
    , m_soundOn(settings_store::Read(keys::kOn))
    , m_volume(int(settings_store::Read(keys::kVolume)))
    , m_voiceOn(settings_store::Read(keys::kVoice))
    , m_countInOnBoard(settings_store::Read(keys::kCountInOnBoard))
{
    setObjectName(QStringLiteral("Announcer"));
    // Armed only while a block waits for the sound system's answer: no wake-ups when idle.
    m_waiting = new QTimer(this);
    m_waiting->setSingleShot(true);
    m_waiting->setInterval(std::chrono::seconds(3));
    connect(m_waiting, &QTimer::timeout, this, [this] {
        m_hung = true;
        report(QStringLiteral(
            "No sound: the sound system does not answer. The games play on silently."));
    });
    game::GameClock &clock = evening.clock();
    connect(&clock, &game::GameClock::countInStarted, this, [this](qint64 atMs) {
        m_countInToken = m_nextToken++;
        m_countInAtMs = atMs;
        apply(m_plan.startRequested(atMs, true), m_countInToken);
    });
    connect(&clock, &game::GameClock::countInCancelled, this, [this] {
        m_countInToken = 0;
        apply(m_plan.stopped(now()));
    });
    connect(&clock, &game::GameClock::secondsLeft, this,
        [this](int seconds) { apply(m_plan.secondsLeft(now(), seconds)); });
    connect(&evening.session(), &game::GameSession::ended, this, &Announcer::gameEnded);
    connect(&evening.competition(), &competition::CompetitionHost::boardChanged, this,
        &Announcer::boardChanged);
    // The sound system is reached on a thread of its own while the board comes up (no output
    // is opened until something plays), so the evening's first count-in is on time.
    if (m_soundOn) {
        output();
        m_output->prepare();
    }
}

Announcer::~Announcer() = default;

qint64 Announcer::now() const { return m_evening.clock().now(); }

void Announcer::setSoundOn(bool on)
{
    if (on == m_soundOn) {
        return;
    }
    m_soundOn = on;
    if (!on && m_output) {
        m_output->stopTones();
    }
    store();
}

void Announcer::setVolume(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_volume) {
        return;
    }
    m_volume = percent;
    store();
}

void Announcer::setVoiceOn(bool on)
{
    if (on == m_voiceOn) {
        return;
    }
    m_voiceOn = on;
    store();
}

void Announcer::setCountInOnBoard(bool on)
{
    if (on == m_countInOnBoard) {
        return;
    }
    m_countInOnBoard = on;
    m_evening.clock().setCountIn(on, settings_store::Read(keys::kCountInForHeats));
    settings_store::Write(keys::kCountInOnBoard, on);
    Q_EMIT changed();
}

void Announcer::store()
{
    // A setting that cannot be stored still holds for this run; the store reports its file.
    settings_store::Write(keys::kOn, m_soundOn);
    settings_store::Write(keys::kVolume, m_volume);
    settings_store::Write(keys::kVoice, m_voiceOn);
    Q_EMIT changed();
}

void Announcer::apply(const Cues &cues, int token)
{
    if (!m_soundOn) {
        return;
    }
    if (!m_output && (!cues.tones.isEmpty() || (m_voiceOn && !cues.lines.isEmpty()))) {
        output();
    }
    if (cues.cancel && m_output) {
        m_output->stopTones();
    }
    // While the sound system has not answered the last block, nothing more is piled on it.
    if (!cues.tones.isEmpty() && !m_waiting->isActive() && !m_hung) {
        m_output->play(RenderTones(cues.tones, m_volume / 100.0), token);
        m_waiting->start();
    }
    if (m_voiceOn) {
        for (const QString &line : cues.lines) {
            m_output->say(line, m_volume / 100.0);
        }
    }
}

void Announcer::output()
{
    m_output = new SoundOutput(this);
    connect(m_output, &SoundOutput::tonesHeard, this, [this](int heard, qint64 delayMs) {
        answered();
        if (heard == m_countInToken) {
            m_evening.clock().alignCountIn(m_countInAtMs + delayMs);
        }
    });
    connect(m_output, &SoundOutput::tonesFailed, this, [this](const QString &message) {
        answered();
        report(message);
        // The voice goes out through the same sound system; it is not asked to speak into one
        // that is gone.
        m_output->stopVoice({});
    });
    connect(m_output, &SoundOutput::voiceFailed, this, &Announcer::report);
}

void Announcer::answered()
{
    m_waiting->stop();
    // A sound system that answers again is played to again.
    m_hung = false;
}

void Announcer::gameEnded(const results::GameRecord &record)
{
    GameEnd end;
    end.mode = record.mode;
    end.timeUp = record.ending != results::Ending::Stopped;
    double winning = 0;
    for (const results::PlayerResult &player : record.players) {
        const double value = record.mode == rotavex::PlayMode::Strength
            ? player.revolutions.value_or(0.0)
            : double(player.bestRpm);
        if (value > winning) {
            winning = value;
            end.winner = player.name;
            end.winnerValue = qint64(value);
        }
        if (player.bestRpm > end.bestRpm) {
            end.bestRpm = player.bestRpm;
            end.bestName = player.name;
        }
    }
    // A game stopped by hand is no one's win; its record still counts.
    if (!end.timeUp) {
        end.winner.clear();
    }
    apply(m_plan.gameEnded(now(), end, m_heatCalled));
}

void Announcer::boardChanged(const std::optional<evening::BetweenHeats> &shown)
{
    m_heatCalled = shown && shown->heat && !shown->seats.isEmpty();
    if (!m_heatCalled) {
        m_calledLine.clear();
        return;
    }
    const QString title = QStringLiteral("Heat %1 of %2").arg(*shown->heat).arg(shown->heatCount);
    QStringList seats;
    for (const evening::HeatSeat &seat : shown->seats) {
        seats.append(seat.seated ? seat.name : QString());
    }
    const QString line = HeatLine(title, seats);
    if (line == m_calledLine) {
        return;
    }
    m_calledLine = line;
    apply(m_plan.heatCalled(title, seats));
}

void Announcer::report(const QString &message)
{
    if (message.isEmpty() || m_problem.contains(message)) {
        return;
    }
    m_problem = m_problem.isEmpty() ? message : m_problem + QLatin1Char('\n') + message;
    Q_EMIT problemFound(message);
}

} // namespace announcer
