// SPDX-License-Identifier: MIT
#include "game/game_log.h"

#include <algorithm>
#include <cmath>

namespace game
{

using results::GameRecord;
using results::PlayerResult;
using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;
using rotavex::PlayMode;

std::optional<GameRecord> BuildGameRecord(const GameStart &start,
    const QList<rotavex::PlayerRpm> &rows, const rotavex::PerPlayer<bool> &linkWasOpen,
    const rotavex::PlayerName &names, const rotavex::PerPlayer<QString> &ports,
    const speed_mode::MeasurementState &state, bool complete)
{
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    GameRecord game;
    game.startedAt = start.startedAt;
    game.mode = start.mode;
    game.ticks = int(rows.size());
    game.complete = complete;
    const bool strength = start.mode == PlayMode::Strength;
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
            player.meanRpm = state.StrengthTicks > 0
                ? qint32(std::floor(state.RpmSum[p] / state.StrengthTicks))
                : 0;
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
    m_resumed = false;
    m_replaces = false;
    m_recorded = false;
    m_start = start;
    m_linkWasOpen = linkOpen;
    m_rows.clear();
}

void GameLog::resume(const rotavex::PerPlayer<bool> &linkOpen)
{
    m_running = true;
    m_resumed = true;
    m_replaces = m_replaces || m_recorded;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        m_linkWasOpen[p] = m_linkWasOpen[p] || linkOpen[p];
    }
}

void GameLog::linkOpened(PlayerSlot player)
{
    if (m_running) {
        m_linkWasOpen[player] = true;
    }
}

void GameLog::acceptedTick(const rotavex::PlayerRpm &filtered)
{
    if (m_running) {
        m_rows.append(filtered);
    }
}

std::optional<GameRecord> GameLog::current(const rotavex::PlayerName &names,
    const rotavex::PerPlayer<QString> &ports, const speed_mode::MeasurementState &state) const
{
    if (!m_running) {
        return std::nullopt;
    }
    std::optional<GameRecord> game =
        BuildGameRecord(m_start, m_rows, m_linkWasOpen, names, ports, state, false);
    if (game) {
        game->resumed = m_replaces;
    }
    return game;
}

std::optional<GameRecord> GameLog::finish(bool complete, const rotavex::PlayerName &names,
    const rotavex::PerPlayer<QString> &ports, const speed_mode::MeasurementState &state)
{
    if (!m_running) {
        return std::nullopt;
    }
    m_running = false;
    std::optional<GameRecord> game = BuildGameRecord(
        m_start, m_rows, m_linkWasOpen, names, ports, state, complete && !m_resumed);
    if (game) {
        game->resumed = m_replaces;
    }
    m_recorded = game.has_value();
    return game;
}

} // namespace game
