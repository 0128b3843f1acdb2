// SPDX-License-Identifier: MIT
#pragma once

#include "shared/play_mode.h"
#include "shared/player_tables.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace results
{

using rotavex::PlayMode;

/// One player's result in a game. Only players whose link was open at some time in the game
/// have one.
struct PlayerResult {
    rotavex::PlayerSlot player = rotavex::kFirstPlayer;
    QString name; ///< display name at the end of the game, plain text
    QString port; ///< the link's port name ("" when none was chosen)
    qint32 bestRpm = 0; ///< best accepted sample of the game
    std::optional<double> revolutions; ///< Strength only: revolutions over the game
    std::optional<qint32> meanRpm; ///< Strength only: the bar's value at the end (mean rpm)
    /// The player's sample of every accepted refresh tick, in order (one per second).
    QList<qint32> samples;
    bool operator==(const PlayerResult &) const = default;
};

/// How a game ended.
enum class Ending {
    Stopped = 0, ///< Stop or quit (a Speed game without a time limit always ends so)
    RanOut = 1, ///< a Strength countdown reached 0
    TimeUp = 2, ///< a Speed game with a time limit played all of it
};

/// One game from Start to Stop or to the end of its countdown.
struct GameRecord {
    qint64 id = 0; ///< assigned by the store; 0 until recorded
    QDateTime startedAt; ///< local time with its offset from UTC
    PlayMode mode = PlayMode::Speed;
    std::optional<int> presetSeconds; ///< Strength only: the countdown preset, 30/60/90
    int ticks = 0; ///< accepted refresh ticks
    bool complete = false; ///< Strength: the countdown ran out; Speed: always once stopped
    QList<PlayerResult> players; ///< ordered by player slot
    /// A Strength game stopped and started again: this record takes the place of the one
    /// made when it was stopped. Never complete. Not stored.
    bool resumed = false;
    Ending ending = Ending::Stopped; ///< not stored
    /// At the game's last start: who had a seat, and whose link was open. Not stored.
    rotavex::PerPlayer<bool> seated { { true, true, true, true } };
    rotavex::PerPlayer<bool> linkedAtStart {};
    bool operator==(const GameRecord &) const = default;
};

/// A recent game as the list of games shows it, without the samples.
struct GameSummary {
    qint64 id = 0;
    QDateTime startedAt;
    PlayMode mode = PlayMode::Speed;
    std::optional<int> presetSeconds;
    int ticks = 0;
    bool complete = false;
    QStringList playerNames; ///< in slot order
};

/// The ranking lists of the high-score board.
enum class BestList { Speed = 0, Strength30 = 30, Strength60 = 60, Strength90 = 90 };

/// One line of a ranking list.
struct RankEntry {
    qint64 gameId = 0;
    rotavex::PlayerSlot player = rotavex::kFirstPlayer;
    QString name;
    QDateTime startedAt;
    qint32 bestRpm = 0;
    double revolutions = 0.0; ///< Strength lists only
    qint32 meanRpm = 0; ///< Strength lists only
    bool operator==(const RankEntry &) const = default;
};

/// The list a game's results rank in: Speed for a Speed game, the preset's Strength list for a
/// complete Strength game with a 30/60/90 preset, nullopt for any other game.
std::optional<BestList> ListOf(const GameRecord &game);

/// "speed" or "strength", as written to CSV.
QString ModeName(PlayMode mode);

} // namespace results
