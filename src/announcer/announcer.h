// SPDX-License-Identifier: MIT
#pragma once

#include "announcer/cue_plan.h"
#include "evening/scoreboard_state.h"

#include <QObject>
#include <QString>

class QTimer;

#include <optional>

namespace evening
{
class Evening;
} // namespace evening

namespace results
{
struct GameRecord;
} // namespace results

namespace announcer
{

class SoundOutput;

/// The evening heard: the count-in's tones (and the game's clock moved to the go as the room
/// hears it), the last seconds' ticks, the horn, a new record's chime, and the heats, winners
/// and records spoken. A view of the evening: it listens to the clock, the session and the
/// competition and sends the clock nothing but where the count-in is heard. Sound on or off,
/// the volume and the voice are kept in the settings store.
class Announcer : public QObject
{
    Q_OBJECT
public:
    /// `evening` must outlive the announcer. Nothing is opened until there is something to play.
    explicit Announcer(evening::Evening &evening, QObject *parent = nullptr);
    ~Announcer() override;

    bool soundOn() const { return m_soundOn; }
    /// Tones and voice on or off at once (the mute key); stored.
    void setSoundOn(bool on);
    /// The loudness in percent, 0..100; stored.
    int volume() const { return m_volume; }
    void setVolume(int percent);
    bool voiceOn() const { return m_voiceOn; }
    void setVoiceOn(bool on);

    /// Whether the board's Start counts in (a competition heat's does unless its setting says
    /// otherwise); stored, and the clock follows at once.
    bool countInOnBoard() const { return m_countInOnBoard; }
    void setCountInOnBoard(bool on);

    /// What is wrong with the sound, for the user; "" while nothing is.
    QString problem() const { return m_problem; }

Q_SIGNALS:
    /// Sound, volume or voice changed.
    void changed();
    /// Something keeps the program silent: `message` says what, for the user. Once per cause.
    void problemFound(const QString &message);

private:
    void apply(const Cues &cues, int token = 0);
    void output();
    /// The sound system answered a block (played or failed).
    void answered();
    void gameEnded(const results::GameRecord &record);
    void boardChanged(const std::optional<evening::BetweenHeats> &shown);
    void report(const QString &message);
    void store();
    qint64 now() const;

    evening::Evening &m_evening;
    SoundOutput *m_output = nullptr;
    QTimer *m_waiting = nullptr;
    bool m_hung = false;
    CuePlan m_plan;
    bool m_soundOn = true;
    int m_volume = 80;
    bool m_voiceOn = true;
    bool m_countInOnBoard = false;
    bool m_heatCalled = false;
    QString m_calledLine;
    int m_nextToken = 1;
    int m_countInToken = 0;
    qint64 m_countInAtMs = 0;
    QString m_problem;
};

} // namespace announcer
