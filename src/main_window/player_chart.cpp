// SPDX-License-Identifier: MIT
#include "main_window/player_chart.h"

#include "shared/bgr_colour.h"
#include "widgets/caption_fit.h"

#include "shared/player_tables.h"

#include <QChart>
#include <QFontMetricsF>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

namespace main_window
{

namespace
{

    constexpr qsizetype kLegendChars = 200;
    // What a legend entry takes besides its text (marker and gaps), in line heights.
    constexpr double kLegendMarkerEms = 2.5;

    // A lone point between two gaps would draw nothing as a line, so such runs show a marker.
    void showRun(QLineSeries *series, const QList<QPointF> &points)
    {
        series->replace(points);
        series->setPointsVisible(points.size() == 1);
    }

} // namespace

PlayerChart::PlayerChart(QWidget *parent)
    : QChartView(parent)
    , m_chart(new QChart())
    , m_rowAxis(new QValueAxis(this))
    , m_rpmAxis(new QValueAxis(this))
{
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->setBackgroundRoundness(0);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    QFont small = m_chart->legend()->font();
    small.setPointSizeF(7.5);
    m_chart->legend()->setFont(small);

    m_rowAxis->setRange(1, speed_mode::kChartRows);
    m_rowAxis->setTickCount(4);
    m_rowAxis->setLabelFormat(QStringLiteral("%d"));
    m_rowAxis->setLabelsFont(small);
    m_rpmAxis->setRange(0, rotavex::kMaxRpm);
    m_rpmAxis->setTickCount(5);
    m_rpmAxis->setLabelFormat(QStringLiteral("%d"));
    m_rpmAxis->setLabelsFont(small);
    m_chart->addAxis(m_rowAxis, Qt::AlignBottom);
    m_chart->addAxis(m_rpmAxis, Qt::AlignLeft);
    setRenderHint(QPainter::Antialiasing);
    // The chart takes no keys; a Tab stop on it (or its viewport) would show focus nowhere.
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);

    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        addRunSeries(c);
    }
}

PlayerChart::~PlayerChart()
{
    if (!m_attached) {
        delete m_chart;
    }
}

PlayerChart::Column &PlayerChart::column(int column)
{
    Q_ASSERT(column >= 1 && column <= speed_mode::kChartColumns);
    return m_columns[static_cast<std::size_t>(column - 1)];
}

const PlayerChart::Column &PlayerChart::column(int column) const
{
    Q_ASSERT(column >= 1 && column <= speed_mode::kChartColumns);
    return m_columns[static_cast<std::size_t>(column - 1)];
}

QLineSeries *PlayerChart::addRunSeries(int c)
{
    Column &target = column(c);
    auto *series = new QLineSeries();
    QPen pen(rotavex::ColourFromBgr(rotavex::kPlayerColours[rotavex::PlayerSlot(c)]));
    pen.setWidthF(1.5);
    series->setPen(pen);
    series->setColor(pen.color());
    series->setMarkerSize(4.0);
    m_chart->addSeries(series);
    series->attachAxis(m_rowAxis);
    series->attachAxis(m_rpmAxis);
    if (!target.runs.empty()) {
        for (QLegendMarker *marker : m_chart->legend()->markers(series)) {
            marker->setVisible(false);
        }
    }
    target.runs.push_back(series);
    return series;
}

void PlayerChart::setData(const speed_mode::ChartTable &table)
{
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        QList<QList<QPointF>> runs;
        bool inRun = false;
        for (int row = 1; row <= speed_mode::kChartRows; ++row) {
            const speed_mode::ChartTable::Cell cell = table.cell(row, c);
            if (!cell) {
                inRun = false;
                continue;
            }
            if (!inRun) {
                runs.append(QList<QPointF>());
                inRun = true;
            }
            runs.last().append(QPointF(row, *cell));
        }
        if (runs.isEmpty()) {
            runs.append(QList<QPointF>());
        }
        while (column(c).runs.size() < static_cast<std::size_t>(runs.size())) {
            addRunSeries(c);
        }
        const std::vector<QLineSeries *> &shown = column(c).runs;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const qsizetype run = static_cast<qsizetype>(i);
            showRun(shown[i], run < runs.size() ? runs[run] : QList<QPointF>());
        }
    }
}

void PlayerChart::setColumnLabel(int c, const QString &label)
{
    column(c).label = label;
    showLegendName(c);
}

void PlayerChart::showLegendName(int c)
{
    // Cut short here, with the same "…" as the name labels, rather than by the legend, which
    // would measure ever shorter prefixes of a long name (seconds for many thousand characters).
    const QFont font = m_chart->legend()->font();
    const QFontMetricsF metrics(font);
    // The legend runs along the bottom across the whole view.
    const double room = caption_fit::EntryTextRoom(
        width(), speed_mode::kChartColumns, kLegendMarkerEms * metrics.height());
    const QString whole = caption_fit::MeasurablePrefix(column(c).label, kLegendChars);
    QString shown = metrics.elidedText(whole, Qt::ElideRight, room);
    if (whole.size() < column(c).label.size() && !shown.endsWith(QChar(0x2026))) {
        shown += QChar(0x2026);
    }
    column(c).legendName = shown;
    // The legend renders series names as rich text.
    column(c).runs.front()->setName(shown.toHtmlEscaped());
}

QString PlayerChart::legendName(int c) const { return column(c).legendName; }

void PlayerChart::resizeEvent(QResizeEvent *event)
{
    // The chart is laid out (its axes' labels shaped, the legend measured) whenever the view
    // takes it and again at each new size. Taken here, at the size it first shows at, it is
    // laid out once before the first picture instead of first at the view's default size.
    if (!m_attached) {
        m_attached = true;
        QChart *placeholder = chart();
        setChart(m_chart);
        delete placeholder;
    }
    QChartView::resizeEvent(event);
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        showLegendName(c);
    }
}

QString PlayerChart::columnLabel(int c) const { return column(c).label; }

QLineSeries *PlayerChart::columnSeries(int c) const { return column(c).runs.front(); }

QList<QList<QPointF>> PlayerChart::columnRuns(int c) const
{
    QList<QList<QPointF>> runs;
    for (QLineSeries *series : column(c).runs) {
        const QList<QPointF> points = series->points();
        if (!points.isEmpty()) {
            runs.append(points);
        }
    }
    return runs;
}

} // namespace main_window
