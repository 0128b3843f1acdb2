// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"
#include "measurement/speed_mode.h"
#include "results/game_record.h"
#include "shared/player_tables.h"

#include <QDateTime>
#include <QList>

#include <optional>

namespace results
{

/// What is known about a game when it starts.
struct GameStart {
    QDateTime startedAt; ///< local time with its offset from UTC
    GameMode mode = GameMode::Speed;
    std::optional<int> presetSeconds; ///< Strength only
};

/// The game's result from what the game left behind: the filtered samples of its accepted
/// ticks (`rows`, one PlayerRpm per tick), which links were open at any time, the names and
/// ports at its end, the Strength totals of `state` and the bars of `board` (the mean rpm).
/// nullopt when no tick was accepted or no link was open at any time. A player's best rpm is
/// the best of its samples.
std::optional<GameRecord> BuildGameRecord(const GameStart &start,
    const QList<rotavex::PlayerRpm> &rows, const rotavex::PerPlayer<bool> &linkWasOpen,
    const rotavex::PlayerName &names, const rotavex::PerPlayer<QString> &ports,
    const speed_mode::MeasurementState &state, const speed_mode::Board &board, bool complete);

/// Collects a running game's accepted ticks, so the main window only reports what happened.
class GameLog
{
public:
    /// Starts a game; `linkOpen` says which links are open right now.
    void begin(const GameStart &start, const rotavex::PerPlayer<bool> &linkOpen);
    bool isRunning() const { return m_running; }
    /// A link opened during the game: the player gets a result.
    void linkOpened(rotavex::PlayerSlot player);
    /// After a refresh tick: the tick was accepted when the mode's chart row moved
    /// (`rowBefore` != `rowAfter`); then its filtered samples become the game's next row.
    void afterTick(qint16 rowBefore, qint16 rowAfter, const rotavex::PlayerRpm &filtered);
    int acceptedTicks() const { return int(m_rows.size()); }
    /// Ends the game and builds its record (see BuildGameRecord); nullopt when none was
    /// running or no tick was accepted.
    std::optional<GameRecord> finish(bool complete, const rotavex::PlayerName &names,
        const rotavex::PerPlayer<QString> &ports, const speed_mode::MeasurementState &state,
        const speed_mode::Board &board);

private:
    bool m_running = false;
    GameStart m_start;
    rotavex::PerPlayer<bool> m_linkWasOpen;
    QList<rotavex::PlayerRpm> m_rows;
};

} // namespace results
