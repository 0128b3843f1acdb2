// SPDX-License-Identifier: MIT
#pragma once

#include "game/countdown.h"
#include "game/game_log.h"
#include "link/port_events.h"
#include "measurement/chart_table.h"
#include "measurement/speed_mode.h"
#include "results/game_record.h"
#include "shared/player_tables.h"

#include <QDateTime>
#include <QObject>
#include <QString>

namespace game
{

using speed_mode::Reading;

/// Which devices have a player seated in a game, by player slot.
using Seated = rotavex::PerPlayer<bool>;
/// Every player seated, as on a board without a competition.
Seated AllSeated();

/// One player as the game has them now, in numbers; each view writes its own text.
struct PlayerSnapshot {
    QString name; ///< display name, plain text
    qint32 rpm = 0; ///< filtered speed of the last accepted tick (Speed's live value)
    double revolutions = 0.0; ///< Strength: revolutions over the game so far
    /// Best rpm since the records were last cleared; nullopt before the first Start or Clear.
    std::optional<qint32> record;
    /// The bar's value in rpm: the speed in Speed, the floored mean speed in Strength.
    double bar = 0.0;
    /// Colour band of the bar (0x00BBGGRR) since the first accepted tick; nullopt before.
    std::optional<quint32> barColour;
    /// The player's link was open at some time during the running (or last) game.
    bool participating = false;
    /// The player has a seat in the running (or last) game. An empty seat's link feeds
    /// nothing: its values stay at 0 and it is never a participant; views show no value.
    bool seated = true;
    bool operator==(const PlayerSnapshot &) const = default;
};

/// The whole game at one moment, published after every change.
struct Snapshot {
    PlayMode mode = PlayMode::Unset; ///< the mode of the running or last game
    PlayMode chosen = PlayMode::Speed; ///< the mode the next Start begins
    bool running = false;
    /// The running game goes on with a Strength game that was stopped: it stays in the
    /// history but not in the complete-game lists.
    bool resumed = false;
    /// What the values mean: at rest (start-up, Clear), a Strength game at zero, or live.
    Reading reading = Reading::Rest;
    rotavex::PerPlayer<PlayerSnapshot> players;
    /// The names the running (or last) game was played with: a result keeps them when the
    /// names shown change after it (a competition closed, Setup).
    rotavex::PlayerName playedNames;
    qint32 topRpm = 0; ///< best rpm of all players since the records were last cleared
    int countdownSeconds = kFirstPresetSeconds; ///< seconds left (or to start from)
    int presetSeconds = kFirstPresetSeconds; ///< the countdown's preset
    /// A Strength countdown ran out; stays until the next Start or Clear.
    bool ranOut = false;
    /// The count-in before a game: 3, 2, 1 (shown large), 0 when none is under way. The game
    /// is not running until its go.
    int countIn = 0;
    speed_mode::ChartTable chart; ///< the chart page, 90 rows by 4 players
};

/// Owns what a game is: the mode, the countdown, the measurement (filters, records, totals,
/// the chart), the participants and the game's log. Driven by plain calls (the buttons and the
/// three timers of the main window); tells its views through updated() and the events.
/// Qt Core only; everything runs on one thread.
class GameSession : public QObject
{
    Q_OBJECT
public:
    explicit GameSession(QObject *parent = nullptr);

    const Snapshot &snapshot() const { return m_snapshot; }

    /// The names shown for the players and recorded with a game.
    void setPlayerNames(const rotavex::PlayerName &names);
    const rotavex::PlayerName &playerNames() const { return m_names; }
    /// The player's link opened or closed; `port` is its port number (0 none), recorded with
    /// the game. An open link during a game makes the player a participant.
    void setLink(rotavex::PlayerSlot player, bool open, qint16 port);
    /// As above, with the link's name as recorded ("COM3", or a Bluetooth device's name);
    /// empty keeps the name last given.
    void setLink(rotavex::PlayerSlot player, bool open, const QString &linkName);

    /// The mode the next Start begins; the running game keeps its own.
    void choose(PlayMode mode);
    /// The countdown preset (30, 60 or 90; anything else is ignored), shown as the countdown
    /// when it differs from the preset now.
    void choosePreset(int seconds);

    /// Who is seated in the games started from now on (everyone until given); an empty seat's
    /// link takes no part and shows no value. The running (or last) game keeps its own.
    void setSeated(const Seated &seated);
    const Seated &seated() const { return m_seated; }

    /// Start: Clear, then a game in `mode` begins at `startedAt` with the seated players. A
    /// Strength game starts
    /// from the seconds left, or from the preset when it had run out; one that was stopped
    /// with seconds left (and not full) goes on: totals and means carry on and its record
    /// replaces the one made at its stop.
    void start(PlayMode mode, const QDateTime &startedAt);
    /// Stop (or quit): ends the running game; a Speed game is complete, a Strength game not.
    /// `ending` is how the record says it ended (a Speed game's time limit ends it with TimeUp).
    void stop(results::Ending ending = results::Ending::Stopped);
    /// Clear: records, the best of all, the bars, the chart and the live values back to 0.
    void clear();
    /// The preset button: the next preset (30 -> 60 -> 90 -> 30), shown as the countdown.
    void nextPreset();

    /// The count-in's number now (0: none); published at once.
    void setCountIn(int number);

    /// One refresh tick with the links' latest samples.
    void refreshTick(const port_events::LatestSamples &latest);
    /// One countdown tick; refresh ticks the game is still owed at its last second run with
    /// `latest`. Returns true when the countdown ran out (the game has ended then).
    bool countdownTick(const port_events::LatestSamples &latest);

Q_SIGNALS:
    /// After every change: a tick, a button, a name or a link.
    void updated(const game::Snapshot &snapshot);
    /// A game has begun in `mode` (after its Clear).
    void started(game::PlayMode mode);
    /// The countdown shows `seconds` (a tick, the preset button or a start).
    void countdownChanged(int seconds);
    /// A game ended with at least one accepted tick. A record marked `resumed` takes the place
    /// of the one this session sent when the same game was stopped.
    void ended(const results::GameRecord &record);
    /// The running game so far (never complete), after each accepted refresh tick: what a
    /// crash would otherwise lose.
    void progressed(const results::GameRecord &running);

private:
    void finish(bool complete, results::Ending ending);
    void takeSamples(const port_events::LatestSamples &latest);
    void publish();

    rotavex::PlayerName m_names;
    rotavex::PlayerName m_playedNames;
    rotavex::PerPlayer<bool> m_linkOpen;
    rotavex::PerPlayer<QString> m_linkName;
    PlayMode m_mode = PlayMode::Unset;
    PlayMode m_chosen = PlayMode::Speed;
    Seated m_seated = AllSeated(); ///< for the games to come
    Seated m_gameSeated = AllSeated(); ///< of the running or last game
    rotavex::PerPlayer<bool> m_linkedAtStart;
    bool m_running = false;
    bool m_ranOut = false;
    int m_countdown = kFirstPresetSeconds;
    int m_countIn = 0;
    int m_preset = kFirstPresetSeconds;
    int m_startSeconds = 0; ///< the seconds the running Strength game started counting from
    /// A stopped Strength game that a start from its seconds left goes on with.
    bool m_resumable = false;
    StrengthPace m_pace;
    speed_mode::MeasurementState m_measurement;
    // The samples the filters work on: the links' latest, or what the filter made of the
    // previous one when a link stored nothing new since.
    rotavex::PlayerRpm m_samples;
    rotavex::PerPlayer<quint32> m_samplesSeen;
    GameLog m_log;
    Snapshot m_snapshot;
};

} // namespace game
