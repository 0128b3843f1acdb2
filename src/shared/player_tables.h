// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

namespace rotavex
{

/// A player's number, 1 to 4. Every per-player table and control array is indexed by it.
using PlayerSlot = qint16;

inline constexpr PlayerSlot kFirstPlayer = 1;
inline constexpr PlayerSlot kLastPlayer = 4;
inline constexpr int kPlayerCount = 4;

/// Four values indexed by PlayerSlot 1..4 (not from 0). Out-of-range slots are a programming
/// error and assert in debug builds.
template <typename T> class PerPlayer
{
public:
    constexpr PerPlayer() = default;
    constexpr explicit PerPlayer(const std::array<T, kPlayerCount> &values)
        : m_values(values)
    {
    }

    constexpr T &operator[](PlayerSlot player)
    {
        Q_ASSERT(player >= kFirstPlayer && player <= kLastPlayer);
        return m_values[static_cast<std::size_t>(player - kFirstPlayer)];
    }
    constexpr const T &operator[](PlayerSlot player) const
    {
        Q_ASSERT(player >= kFirstPlayer && player <= kLastPlayer);
        return m_values[static_cast<std::size_t>(player - kFirstPlayer)];
    }
    constexpr void fill(const T &value) { m_values.fill(value); }
    constexpr bool operator==(const PerPlayer &) const = default;

private:
    std::array<T, kPlayerCount> m_values {};
};

/// Latest sample per player in rpm: 1000..20000 a speed, 0 no speed, -1 (after the filter) no
/// valid sample in this refresh.
using PlayerRpm = PerPlayer<qint32>;

/// Slowest and fastest speed a frame yields, in rpm; the bars and the chart scale end at
/// kMaxRpm.
inline constexpr qint32 kMinRpm = 1000;
inline constexpr qint32 kMaxRpm = 20000;

/// Link flag per player: 0 = a usable frame arrived since the last watchdog tick, -1 = armed by
/// it.
using LinkSeen = PerPlayer<qint16>;

/// Each player's colour (0x00BBGGRR) wherever players are told apart by colour: the lines of
/// the board's chart and of the high-score board's chart.
inline constexpr PerPlayer<quint32> kPlayerColours(
    std::array<quint32, kPlayerCount> { 0x00C85A00, 0x002828D2, 0x003C9614, 0x000082E6 });

/// Display name per player, shown by the name labels and as chart column labels.
using PlayerName = PerPlayer<QString>;

} // namespace rotavex
