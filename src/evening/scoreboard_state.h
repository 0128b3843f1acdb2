// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "competition/standings.h"
#include "game/game_session.h"
#include "shared/play_mode.h"
#include "shared/player_tables.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace evening
{

using rotavex::PerPlayer;
using rotavex::PlayerSlot;
using rotavex::PlayMode;

/// The full length of the speed bars, in rpm: the top of the speed range, as on the board.
inline constexpr double kBarMaximumRpm = rotavex::kMaxRpm;

/// What a player's live value counts.
enum class Unit { Rpm = 1, Revolutions = 2 };

/// One player of the scoreboard, in numbers.
struct PlayerState {
    PlayerSlot seat = rotavex::kFirstPlayer; ///< the device, 1..4
    QString name; ///< exactly as typed, plain text
    bool seated = true; ///< has a seat in the running or last game; an empty one shows no value
    bool linked = false; ///< the player's link is open now
    bool playing = false; ///< took part in the running or last game
    qint64 live = 0; ///< rpm (Speed, and at rest) or whole revolutions (Strength), in `unit`
    Unit unit = Unit::Rpm;
    qint32 bestRpm = 0; ///< best rpm since the records were last cleared; 0 before
    double bar = 0.0; ///< 0 .. 1 of the bar's length
    quint32 colour = 0x00E0E0E0; ///< 0x00BBGGRR, the bar's colour band
    /// The best record in Speed, the most revolutions in Strength; equal values share the lead,
    /// and nobody leads before the first game or while the best is 0.
    bool leader = false;
    bool operator==(const PlayerState &) const = default;
};

/// One place in a Strength result. Players with equal revolutions share a rank, so after two
/// players on rank 1 the next is rank 3.
struct Place {
    int rank = 1;
    PlayerSlot seat = rotavex::kFirstPlayer;
    QString name; ///< as the player was named in the game
    qint64 revolutions = 0;
    qint64 meanRpm = 0;
    qint64 bestRpm = 0;
    bool operator==(const Place &) const = default;
};
/// The ranked places, best first; at most one per player.
using Ranking = std::vector<Place>;

/// One device of a heat called to the board.
struct HeatSeat {
    QString name; ///< the player's name as entered; "" for an empty seat
    bool seated = false; ///< false: nobody sits at this device
    bool operator==(const HeatSeat &) const = default;
};

/// A competition between its heats: the heat called to the board (else the next one to play),
/// the one after it and the standings.
struct BetweenHeats {
    QString competition; ///< its name
    /// The heat shown, 1-based; nullopt once every heat is played (the final standings).
    std::optional<int> heat;
    int heatCount = 0;
    /// The heat's players by device 1..4; empty once every heat is played.
    QList<HeatSeat> seats;
    /// The heat after the one shown, 1-based, and its seated players in device order; nullopt
    /// after the last heat.
    std::optional<int> nextHeat;
    QStringList nextNames;
    PlayMode gameKind = PlayMode::Strength; ///< the game every heat is
    /// The rule the standings apply (a Speed competition set to Total ranks by Best).
    competition::RankingRule rule = competition::RankingRule::Total;
    /// Best first, the unranked (rank 0) last; scores in whole revolutions (Strength) or rpm.
    QList<competition::Standing> standings;
    bool operator==(const BetweenHeats &) const = default;
};

/// Everything the spectators see of the evening, in numbers: what the display paints and the
/// web page's feed carries. Each view makes its own words and its own pages.
struct ScoreboardState {
    PlayMode mode = PlayMode::Unset; ///< the mode of the running or last game
    bool running = false;
    int countdownSeconds = 0; ///< seconds left of a Strength game
    /// 3, 2, 1 while a game counts in to its start; 0 otherwise.
    int countIn = 0;
    qint32 topRpm = 0; ///< best rpm of all players, as on the big LED display
    PerPlayer<PlayerState> players;
    /// Set once a Strength countdown has run out: its participants ranked by revolutions.
    std::optional<Ranking> result;
    /// Set between the heats of a competition (no game running); views show it instead of the
    /// last game.
    std::optional<BetweenHeats> betweenHeats;
    bool operator==(const ScoreboardState &) const = default;
};

/// The scoreboard from the game's `snapshot`, the links open now (`linked`) and, when a
/// competition is open, its `betweenHeats` (dropped while a game runs).
ScoreboardState StateFrom(const game::Snapshot &snapshot, const PerPlayer<bool> &linked = {},
    const std::optional<BetweenHeats> &betweenHeats = std::nullopt);

/// A competition between heats with heat `called` (index from 0) on the board; without one,
/// the next heat to play.
BetweenHeats BetweenHeatsFor(
    const competition::Competition &competition, std::optional<int> called);

/// Ranks `results` by revolutions, most first; equal revolutions share a rank and keep the
/// order given. The other values are taken as given.
Ranking RankByRevolutions(Ranking results);

/// The leaders among `values` (records in Speed, revolutions in Strength): every player with
/// the largest value, so equal values share the lead. Nobody leads while the largest is 0 or
/// below.
PerPlayer<bool> Leaders(const PerPlayer<qint64> &values);

/// Keeps the scoreboard for every view: takes the game's snapshots, the links' states and the
/// competition between heats, and tells of every change of the state they make. Qt Core only.
class ScoreboardPublisher : public QObject
{
    Q_OBJECT
public:
    explicit ScoreboardPublisher(QObject *parent = nullptr);

    const ScoreboardState &state() const { return m_state; }

public Q_SLOTS:
    /// The game as the session has it now.
    void showSnapshot(const game::Snapshot &snapshot);
    /// The player's link opened or closed.
    void setLinked(rotavex::PlayerSlot player, bool open);
    /// The competition between heats, nullopt without one.
    void showBetweenHeats(const std::optional<evening::BetweenHeats> &betweenHeats);

Q_SIGNALS:
    /// The state changed; not emitted for inputs that leave it as it was.
    void published(const evening::ScoreboardState &state);

private:
    void update();

    game::Snapshot m_snapshot;
    PerPlayer<bool> m_linked;
    std::optional<BetweenHeats> m_betweenHeats;
    ScoreboardState m_state;
};

} // namespace evening
