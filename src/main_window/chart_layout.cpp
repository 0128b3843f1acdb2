// SPDX-License-Identifier: MIT
#include "main_window/chart_layout.h"

#include "shared/player_tables.h"
#include "widgets/caption_fit.h"

#include <algorithm>
#include <cmath>

namespace chart_layout
{

namespace
{
    constexpr double kMargin = 4; // inside the widget's edge
    constexpr double kLabelGap = 2; // between a tick mark and its label
} // namespace

Frame Arrange(QSizeF size, const TextMetrics &text)
{
    Frame f;
    f.markerSide = std::round(text.lineHeight * 0.6);
    f.gap = std::round(text.lineHeight * 0.45);
    const double left = kMargin + text.rpmLabelWidth + kLabelGap + kTickLength;
    // The top label is centred on the top line: half of it above the plot.
    const double top = kMargin + text.lineHeight / 2;
    const double right = size.width() - kMargin - text.lastRowLabelWidth / 2;
    // Row labels under the axis, then a gap, then the legend's line.
    const double legendHeight = text.lineHeight + 2 * f.gap;
    const double bottom =
        size.height() - kMargin - legendHeight - text.lineHeight - kLabelGap - kTickLength;
    f.plot = QRectF(QPointF(std::round(left), std::round(top)),
        QPointF(std::max(std::round(left) + 1, std::round(right)),
            std::max(std::round(top) + 1, std::round(bottom))));
    for (int i = 0; i < kRowTicks; ++i) {
        const double row = 1.0 + i * double(speed_mode::kChartRows - 1) / (kRowTicks - 1);
        f.rowTickX[std::size_t(i)] = std::round(PointAt(f.plot, row, 0).x()) + 0.5;
    }
    for (int i = 0; i < kRpmTicks; ++i) {
        f.rpmTickY[std::size_t(i)] =
            std::round(PointAt(f.plot, 1, double(rotavex::kMaxRpm) * i / (kRpmTicks - 1)).y())
            + 0.5;
    }
    f.legendTop = size.height() - kMargin - legendHeight + f.gap;
    // Each entry is a square, a gap and its name, with two gaps before the next (none after the
    // last), as LegendLefts places them.
    f.nameRoom = caption_fit::EntryTextRoom(size.width() - 2 * kMargin + 2 * f.gap,
        speed_mode::kChartColumns, f.markerSide + 3 * f.gap);
    return f;
}

QRectF RowLabelBox(const Frame &frame, int i, double width, double lineHeight)
{
    return QRectF(frame.rowTickX[std::size_t(i)] - width / 2,
        frame.plot.bottom() + kTickLength + kLabelGap, width, lineHeight);
}

QRectF RpmLabelBox(const Frame &frame, int i, double width, double lineHeight)
{
    return QRectF(frame.plot.left() - kTickLength - kLabelGap - width,
        frame.rpmTickY[std::size_t(i)] - lineHeight / 2, width, lineHeight);
}

std::array<double, speed_mode::kChartColumns> LegendLefts(const Frame &frame, double width,
    const std::array<double, speed_mode::kChartColumns> &names,
    const std::array<bool, speed_mode::kChartColumns> &shown)
{
    double entries = 0;
    int count = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (shown[i]) {
            entries += frame.markerSide + frame.gap + names[i];
            ++count;
        }
    }
    entries += 2 * frame.gap * std::max(0, count - 1);
    std::array<double, speed_mode::kChartColumns> lefts {};
    double x = std::round((width - entries) / 2);
    for (std::size_t i = 0; i < lefts.size(); ++i) {
        lefts[i] = x;
        if (shown[i]) {
            x += frame.markerSide + frame.gap + names[i] + 2 * frame.gap;
        }
    }
    return lefts;
}

QString RowLabel(int i)
{
    // Whole rows, as the ticks between the ends fall between rows (30.67 shows as 30).
    return QString::number(int(1.0 + i * double(speed_mode::kChartRows - 1) / (kRowTicks - 1)));
}

QString RpmLabel(int i) { return QString::number(rotavex::kMaxRpm / (kRpmTicks - 1) * i); }

QPointF PointAt(const QRectF &plot, double row, double rpm)
{
    const double x = plot.left() + (row - 1) * plot.width() / (speed_mode::kChartRows - 1);
    return { x, plot.bottom() - rpm * plot.height() / rotavex::kMaxRpm };
}

QList<QList<QPointF>> Runs(const speed_mode::ChartTable &table, int column)
{
    QList<QList<QPointF>> runs;
    bool inRun = false;
    for (int row = 1; row <= speed_mode::kChartRows; ++row) {
        const speed_mode::ChartTable::Cell cell = table.cell(row, column);
        if (!cell) {
            inRun = false;
            continue;
        }
        if (!inRun) {
            runs.append(QList<QPointF>());
            runs.last().reserve(speed_mode::kChartRows - row + 1);
            inRun = true;
        }
        runs.last().append(QPointF(row, *cell));
    }
    return runs;
}

} // namespace chart_layout
