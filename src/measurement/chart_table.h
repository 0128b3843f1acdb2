// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

namespace speed_mode
{

inline constexpr int kChartRows = 90;
inline constexpr int kChartColumns = 4;

/// The chart's data: 90 rows (refresh ticks) by 4 columns (players) of cells that are empty or
/// hold an rpm. Rows and columns count from 1.
class ChartTable
{
public:
    using Cell = std::optional<qint32>;

    Cell cell(int row, int column) const { return m_cells[index(row, column)]; }
    void setCell(int row, int column, qint32 rpm) { m_cells[index(row, column)] = rpm; }
    /// Empties all 360 cells.
    void clear() { m_cells.fill(std::nullopt); }
    bool operator==(const ChartTable &) const = default;

private:
    static std::size_t index(int row, int column)
    {
        Q_ASSERT(row >= 1 && row <= kChartRows && column >= 1 && column <= kChartColumns);
        return static_cast<std::size_t>((row - 1) * kChartColumns + (column - 1));
    }
    std::array<Cell, kChartRows * kChartColumns> m_cells {};
};

} // namespace speed_mode
