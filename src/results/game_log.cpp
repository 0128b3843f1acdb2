// SPDX-License-Identifier: MIT
#include "results/game_log.h"

#include <algorithm>

namespace results
{

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

std::optional<GameRecord> BuildGameRecord(const GameStart &start,
    const QList<rotavex::PlayerRpm> &rows, const rotavex::PerPlayer<bool> &linkWasOpen,
    const rotavex::PlayerName &names, const rotavex::PerPlayer<QString> &ports,
    const speed_mode::MeasurementState &state, const speed_mode::Board &board, bool complete)
{
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    GameRecord game;
    game.startedAt = start.startedAt;
    game.mode = start.mode;
    game.ticks = int(rows.size());
    game.complete = complete;
    const bool strength = start.mode == GameMode::Strength;
    if (strength) {
        game.presetSeconds = start.presetSeconds;
    }
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        if (!linkWasOpen[p]) {
            continue;
        }
        PlayerResult player;
        player.player = p;
        player.name = names[p];
        player.port = ports[p];
        player.samples.reserve(rows.size());
        for (const rotavex::PlayerRpm &row : rows) {
            // A rejected sample never reaches an accepted row; clamp anyway so a result is
            // never negative.
            const qint32 rpm = std::max<qint32>(row[p], 0);
            player.samples.append(rpm);
            player.bestRpm = std::max(player.bestRpm, rpm);
        }
        if (strength) {
            player.revolutions = state.RevTotal[p];
            player.meanRpm = qint32(board.barValue(p));
        }
        game.players.append(player);
    }
    // A game nobody played in (no link open at any time) leaves nothing to record.
    if (game.players.isEmpty()) {
        return std::nullopt;
    }
    return game;
}

void GameLog::begin(const GameStart &start, const rotavex::PerPlayer<bool> &linkOpen)
{
    m_running = true;
    m_start = start;
    m_linkWasOpen = linkOpen;
    m_rows.clear();
}

void GameLog::linkOpened(PlayerSlot player)
{
    if (m_running) {
        m_linkWasOpen[player] = true;
    }
}

void GameLog::afterTick(qint16 rowBefore, qint16 rowAfter, const rotavex::PlayerRpm &filtered)
{
    if (m_running && rowBefore != rowAfter) {
        m_rows.append(filtered);
    }
}

std::optional<GameRecord> GameLog::finish(bool complete, const rotavex::PlayerName &names,
    const rotavex::PerPlayer<QString> &ports, const speed_mode::MeasurementState &state,
    const speed_mode::Board &board)
{
    if (!m_running) {
        return std::nullopt;
    }
    m_running = false;
    std::optional<GameRecord> game =
        BuildGameRecord(m_start, m_rows, m_linkWasOpen, names, ports, state, board, complete);
    m_rows.clear();
    return game;
}

} // namespace results
