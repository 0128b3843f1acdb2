// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/chart_table.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>

/// Where the players' chart puts its parts, and which lines it draws: plain arithmetic, so the
/// widget only paints what this works out.
namespace chart_layout
{

/// Ticks along the rows (1 … 90) and the rpm scale (0 … 20000), and their labels.
inline constexpr int kRowTicks = 4;
inline constexpr int kRpmTicks = 5;
/// How far the tick marks reach out from the axes.
inline constexpr double kTickLength = 4;

/// What the chart's text takes, from its font.
struct TextMetrics {
    double lineHeight = 0; ///< of the labels' and legend's font
    double rpmLabelWidth = 0; ///< the widest rpm label ("20000")
    double lastRowLabelWidth = 0; ///< the last row label ("90"), which reaches past the plot
};

struct Frame {
    QRectF plot; ///< the area the lines are drawn in; the axes run along its left and bottom
    /// Where each row and rpm tick stands: on a pixel's centre, so a line of one pixel is sharp.
    std::array<double, kRowTicks> rowTickX {};
    std::array<double, kRpmTicks> rpmTickY {};
    double legendTop = 0; ///< the top of the legend's line, below the row labels
    double markerSide = 0; ///< a legend entry's coloured square
    double gap = 0; ///< between square and name, and between entries
    double nameRoom = 0; ///< the most a legend name may take
};

/// The parts of a chart of `size` (in pixels) whose text measures `text`.
Frame Arrange(QSizeF size, const TextMetrics &text);

/// The line a label of `width` takes: a row label centred under its tick, an rpm label
/// right-aligned beside its tick, left of the axis.
QRectF RowLabelBox(const Frame &frame, int i, double width, double lineHeight);
QRectF RpmLabelBox(const Frame &frame, int i, double width, double lineHeight);

/// The left edge of each legend entry's square, the entries (square, gap, name) centred across
/// `width` with two gaps between them. A column not `shown` (an empty seat) takes no room; its
/// left edge is where the next entry begins.
std::array<double, speed_mode::kChartColumns> LegendLefts(const Frame &frame, double width,
    const std::array<double, speed_mode::kChartColumns> &names,
    const std::array<bool, speed_mode::kChartColumns> &shown = { true, true, true, true });

/// The label of row tick `i` and rpm tick `i`.
QString RowLabel(int i);
QString RpmLabel(int i);

/// The point in `plot` of an rpm at a row (1 … 90); rpm beyond the scale lies outside `plot`.
QPointF PointAt(const QRectF &plot, double row, double rpm);

/// The column's (1 … 4) cells as runs of (row, rpm) points: an empty cell ends a run.
QList<QList<QPointF>> Runs(const speed_mode::ChartTable &table, int column);

} // namespace chart_layout
