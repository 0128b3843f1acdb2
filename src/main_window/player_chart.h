// SPDX-License-Identifier: MIT
#pragma once

#include "main_window/chart_layout.h"
#include "measurement/chart_table.h"

#include <QFont>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <array>

class QPainter;

namespace main_window
{

/// The players' chart: one line per column (player) over the rows 1..90 of a ChartTable, on a
/// fixed scale of 0..20000 rpm, with a legend of the column labels below. An empty cell is a
/// gap in the line; a point alone between gaps shows as a dot. Column labels are shown as
/// plain text. Drawn by the widget itself: a hand-over with the same data draws nothing, and
/// new data redraws the plot alone.
class PlayerChart : public QWidget
{
    Q_OBJECT
public:
    explicit PlayerChart(QWidget *parent = nullptr);

    /// Takes the table's cells as the lines' points.
    void setData(const speed_mode::ChartTable &table);

    /// Names column 1..4; the text is shown as given, never as markup.
    void setColumnLabel(int column, const QString &label);
    /// Whether the column shows: a hidden one (an empty seat) has neither a line nor a legend
    /// entry, and the other entries close up.
    void setColumnShown(int column, bool shown);
    QString columnLabel(int column) const;
    /// The column's label as the legend shows it: cut short with "…" to its share of the width.
    QString legendName(int column) const;
    /// Every point shown for a column, each run as its own list, in row order.
    QList<QList<QPointF>> columnRuns(int column) const;
    /// Where the lines are drawn: row 1 at its left edge, 0 rpm at its bottom.
    QRectF plotArea() const { return m_frame.plot; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Column {
        QString label;
        QString legendName;
        bool shown = true;
        QList<QList<QPointF>> runs; ///< (row, rpm)
    };

    Column &column(int column);
    const Column &column(int column) const;
    void arrange();
    void showLegendName(int column);
    void drawBackdrop(QPainter &painter) const;
    void drawLines(QPainter &painter) const;

    QFont m_small; ///< the labels' and legend's
    QPixmap m_backdrop; ///< all but the lines; null when it must be drawn anew
    bool m_painted = false; ///< the first paint is over
    speed_mode::ChartTable m_table;
    chart_layout::Frame m_frame;
    std::array<Column, speed_mode::kChartColumns> m_columns;
};

} // namespace main_window
