// SPDX-License-Identifier: MIT
#pragma once

#include "shared/play_mode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <optional>

namespace competition
{

/// The board's devices; device n is player slot n of the board.
inline constexpr int kDevices = 4;
inline constexpr int kMinRounds = 1;
inline constexpr int kMaxRounds = 8;
inline constexpr int kDefaultRounds = 4;

/// The longest name of a competition or of one of its players, as long as Setup takes a
/// player's name; longer ones are cut.
inline constexpr qsizetype kMaxNameLength = 32767;

/// A contestant's number within one competition, 1 upwards; 0 is an empty seat.
using PlayerId = int;
inline constexpr PlayerId kNoPlayer = 0;

/// Who sits at each device of a heat: index 0 is device 1.
using Seats = std::array<PlayerId, kDevices>;

using rotavex::PlayMode;

/// How the standings put together the heats a player played (a heat's score is its revolutions
/// in Strength, its best rpm in Speed); the numbers are stored. In Speed, Total means Best: rpm
/// do not add up.
enum class RankingRule { Total = 1, Mean = 2, Best = 3 };

struct Settings {
    QString name;
    PlayMode gameKind = PlayMode::Strength; ///< the kind of game every heat is
    /// The countdown of every heat: 30, 60 or 90 s (Speed is played over the same length).
    int seconds = 60;
    int rounds = kDefaultRounds;
    RankingRule ranking = RankingRule::Total;
    bool operator==(const Settings &) const = default;
};

/// The rules that make sense for a game, the usual one first.
QList<RankingRule> RulesFor(PlayMode gameKind);
/// The rule the standings apply: the chosen one, Best for a Speed competition set to Total.
RankingRule RuleOf(const Settings &settings);

struct Player {
    PlayerId id = kNoPlayer;
    QString name; ///< plain text
    bool retired = false;
    bool operator==(const Player &) const = default;
};

/// One heat: up to four players, one per device, all in the same round (1-based).
struct Heat {
    int round = 1;
    Seats seats {};
    /// How many seats are taken.
    int size() const;
    /// The device (1..4) the player sits at, 0 when not in this heat.
    int deviceOf(PlayerId player) const;
    bool operator==(const Heat &) const = default;
};

/// One player's result in one playing of a heat.
struct SeatResult {
    PlayerId player = kNoPlayer;
    int device = 1; ///< 1..4
    bool absent = false; ///< the player's link was not open: no result, not a zero
    double revolutions = 0.0; ///< over the heat (Strength)
    qint32 bestRpm = 0; ///< best speed of the heat
    bool operator==(const SeatResult &) const = default;
};

/// One playing of a heat. A heat played again ("redo") has a later attempt; only the latest
/// attempt counts, the earlier ones stay in the history.
struct Attempt {
    int heat = 0; ///< index into Competition::heats
    int attempt = 1; ///< 1 for the first playing
    qint64 gameId = 0; ///< the recorded game, 0 when it was not recorded
    QList<SeatResult> seats;
    bool operator==(const Attempt &) const = default;
};

/// A whole competition: what the store keeps and the window shows.
struct Competition {
    qint64 id = 0; ///< assigned by the store
    Settings settings;
    QList<Player> players; ///< in the order they joined; ids ascending
    QList<Heat> heats; ///< in playing order
    QList<Attempt> attempts; ///< in the order they were played
    bool operator==(const Competition &) const = default;
};

/// `name` cut to kMaxNameLength characters (never between the halves of a surrogate pair).
QString BoundName(const QString &name);

/// The roster as typed or pasted: one name a line, trimmed and bounded, blank lines skipped. A
/// name already taken (in `taken` or earlier in the text, ignoring case) gets " (2)", " (3)" ...
/// Linear in the number of names, however many are the same.
QStringList ParseRoster(const QString &text, const QStringList &taken = {});

/// The players who are not retired, in joining order.
QList<PlayerId> ActivePlayers(const Competition &competition);
/// The player with the id; a binary search, as the players' ids ascend.
const Player *FindPlayer(const Competition &competition, PlayerId id);

/// Heats are played in order, so the played ones are the first PlayedHeats() of the list.
int PlayedHeats(const Competition &competition);
/// The heat to play next; nullopt when every heat is played.
std::optional<int> NextHeat(const Competition &competition);
/// The counted (latest) attempt of a heat, nullptr before it is played.
const Attempt *CountedAttempt(const Competition &competition, int heat);

/// Adds players with the next free ids and plans the heats not yet played again, except the
/// first `keepHeats` heats (a heat already called to the board stays as announced).
QList<PlayerId> AddPlayers(Competition &competition, const QStringList &names, int keepHeats = 0);
/// Retires a player (who keeps what they played) and plans the heats not yet played again,
/// except the first `keepHeats`.
bool RetirePlayer(Competition &competition, PlayerId id, int keepHeats = 0);
bool RenamePlayer(Competition &competition, PlayerId id, const QString &name);
/// Plans every heat not yet played again for the active players; played heats and the first
/// `keepHeats` heats stay as they are.
void Replan(Competition &competition, int keepHeats = 0);

/// Chooses how the standings rank; false once a heat has been played (the standings so far
/// would change under the players) or when the rule does not fit the game.
bool SetRankingRule(Competition &competition, RankingRule rule);

/// Exchanges `player`, seated in an unplayed heat, with `other`, seated in another unplayed heat
/// of the same round; each takes the other's device. False when the swap is not allowed.
bool Swap(Competition &competition, PlayerId player, PlayerId other);
/// The players `player` may be swapped with: those in the other unplayed heats of its round.
QList<PlayerId> SwapCandidates(const Competition &competition, PlayerId player);

/// Records a playing of the next heat (or, when `redo`, of the last played heat) and returns
/// its index; nullopt when there is no such heat.
std::optional<int> RecordAttempt(
    Competition &competition, QList<SeatResult> seats, qint64 gameId, bool redo);

} // namespace competition
