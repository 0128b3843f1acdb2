// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/chart_table.h"

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QString>

#include <array>
#include <vector>

class QChart;
class QLineSeries;
class QValueAxis;

namespace main_window
{

/// The players' chart: one line per column (player) over the rows 1..90 of a ChartTable, on a
/// fixed scale of 0..20000 rpm. An empty cell is a gap in the line. Column labels name the
/// lines in the legend and are shown as plain text.
class PlayerChart : public QChartView
{
    Q_OBJECT
public:
    explicit PlayerChart(QWidget *parent = nullptr);
    ~PlayerChart() override;

    /// Shows the table's cells in place of the previous ones.
    void setData(const speed_mode::ChartTable &table);

    /// Names column 1..4; the text is shown as given, never as markup.
    void setColumnLabel(int column, const QString &label);
    QString columnLabel(int column) const;
    /// The column's label as the legend shows it: cut short with "…" to its share of the width.
    QString legendName(int column) const;

    /// The named line of a column, which the legend shows (its first rows; the other rows are
    /// drawn by unnamed lines of the same colour that the legend leaves out).
    QLineSeries *columnSeries(int column) const;
    /// Every point shown for a column, each run as its own list, in row order.
    QList<QList<QPointF>> columnRuns(int column) const;

    QValueAxis *rowAxis() const { return m_rowAxis; }
    QValueAxis *rpmAxis() const { return m_rpmAxis; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showLegendName(int column);

    /// A column is drawn in two pieces: the rows up to a boundary, which stay as they are
    /// while the page grows, and the newest rows from it, fewer than kLiveRows. A new row
    /// changes the newest piece only, until it reaches the next boundary.
    static constexpr int kLiveRows = 10;
    static constexpr int kPieces = 2;

    struct Column {
        QString label;
        QString legendName;
        /// The lines of each piece, one series per run; pieces[0][0] is the named line. Owned
        /// by the chart.
        std::array<std::vector<QLineSeries *>, kPieces> pieces;
    };

    Column &column(int column);
    const Column &column(int column) const;
    QLineSeries *addSeries(int column, int piece);

    QChart *m_chart; ///< the view's own from its first resize on; until then ours
    bool m_attached = false;
    QValueAxis *m_rowAxis;
    QValueAxis *m_rpmAxis;
    std::array<Column, speed_mode::kChartColumns> m_columns;
    speed_mode::ChartTable m_shownTable;
    int m_shownBoundary = 0; ///< none yet: every piece is drawn on the first handover
};

} // namespace main_window
