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

    /// Replaces every point with the table's cells.
    void setData(const speed_mode::ChartTable &table);

    /// Names column 1..4; the text is shown as given, never as markup.
    void setColumnLabel(int column, const QString &label);
    QString columnLabel(int column) const;
    /// The column's label as the legend shows it: cut short with "…" to its share of the width.
    QString legendName(int column) const;

    /// The named line of a column (the first run of points; later runs are drawn by unnamed
    /// lines of the same colour that the legend leaves out).
    QLineSeries *columnSeries(int column) const;
    /// Every point shown for a column, each run as its own list, in row order.
    QList<QList<QPointF>> columnRuns(int column) const;

    QValueAxis *rowAxis() const { return m_rowAxis; }
    QValueAxis *rpmAxis() const { return m_rpmAxis; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showLegendName(int column);

    struct Column {
        QString label;
        QString legendName;
        std::vector<QLineSeries *> runs; // runs[0] is the named line; owned by the chart
    };

    Column &column(int column);
    const Column &column(int column) const;
    QLineSeries *addRunSeries(int column);

    QChart *m_chart; ///< the view's own from its first resize on; until then ours
    bool m_attached = false;
    QValueAxis *m_rowAxis;
    QValueAxis *m_rpmAxis;
    std::array<Column, speed_mode::kChartColumns> m_columns;
};

} // namespace main_window
