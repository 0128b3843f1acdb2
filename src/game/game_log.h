// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/speed_mode.h"
#include "results/game_record.h"
#include "shared/player_tables.h"

#include <QDateTime>
#include <QList>

#include <optional>

namespace game
{

/// What is known about a game when it starts.
struct GameStart {
    QDateTime startedAt; ///< local time with its offset from UTC
    rotavex::PlayMode mode = rotavex::PlayMode::Speed;
    std::optional<int> presetSeconds; ///< Strength only
};

/// The game's result from what the game left behind: the filtered samples of its accepted
/// ticks (`rows`, one PlayerRpm per tick), which links were open at any time, the names and
/// ports at its end and the Strength totals and sums of `state`. nullopt when no tick was
/// accepted or no link was open at any time. A player's best rpm is the best of its samples,
/// the mean the floored mean of the Strength ticks.
std::optional<results::GameRecord> BuildGameRecord(const GameStart &start,
    const QList<rotavex::PlayerRpm> &rows, const rotavex::PerPlayer<bool> &linkWasOpen,
    const rotavex::PlayerName &names, const rotavex::PerPlayer<QString> &ports,
    const speed_mode::MeasurementState &state, bool complete);

/// Collects a game's accepted ticks and who took part.
class GameLog
{
public:
    /// Starts a game; `linkOpen` says which links are open right now.
    void begin(const GameStart &start, const rotavex::PerPlayer<bool> &linkOpen);
    /// Goes on with the game finished last: its rows and players stay, the links open now
    /// join, and it is never complete. When its finish made a record, the next record is
    /// marked resumed: it takes that record's place.
    void resume(const rotavex::PerPlayer<bool> &linkOpen);
    bool isRunning() const { return m_running; }
    /// The game goes on with one stopped before: never complete.
    bool isResumed() const { return m_resumed; }
    /// A link opened during the game: the player gets a result.
    void linkOpened(rotavex::PlayerSlot player);
    /// The players whose link was open at some time in the running or last game.
    const rotavex::PerPlayer<bool> &participants() const { return m_linkWasOpen; }
    /// An accepted refresh tick: its filtered samples become the game's next row.
    void acceptedTick(const rotavex::PlayerRpm &filtered);
    int acceptedTicks() const { return int(m_rows.size()); }
    /// The running game's record so far (never complete; marked resumed as finish() would mark
    /// it); nullopt when none runs or it would make no record yet.
    std::optional<results::GameRecord> current(const rotavex::PlayerName &names,
        const rotavex::PerPlayer<QString> &ports, const speed_mode::MeasurementState &state) const;
    /// Ends the game and builds its record (see BuildGameRecord); nullopt when none was
    /// running or no tick was accepted. The rows stay until the next begin, for a resume.
    std::optional<results::GameRecord> finish(bool complete, const rotavex::PlayerName &names,
        const rotavex::PerPlayer<QString> &ports, const speed_mode::MeasurementState &state);

private:
    bool m_running = false;
    bool m_resumed = false;
    bool m_replaces = false;
    bool m_recorded = false; ///< the last finish made a record
    GameStart m_start;
    rotavex::PerPlayer<bool> m_linkWasOpen;
    QList<rotavex::PlayerRpm> m_rows;
};

} // namespace game
