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

#include <algorithm>

namespace main_window
{

namespace
{

    constexpr qsizetype kLegendChars = 200;
    // What a legend entry takes besides its text (marker and gaps), in line heights.
    constexpr double kLegendMarkerEms = 2.5;

    // A lone point between two gaps would draw nothing as a line, so such runs show a marker.
    // Qt Charts strokes a series' whole outline again whenever its points are replaced, even
    // by the same points, so unchanged pieces are left as they are.
    void showRun(QLineSeries *series, const QList<QPointF> &points)
    {
        if (series->points() == points) {
            return;
        }
        series->replace(points);
        series->setPointsVisible(points.size() == 1);
    }

    bool filled(const speed_mode::ChartTable &table, int row, int column)
    {
        return row >= 1 && row <= speed_mode::kChartRows && table.cell(row, column).has_value();
    }

    bool sameCells(const speed_mode::ChartTable &a, const speed_mode::ChartTable &b, int column,
        int first, int last)
    {
        for (int row = first; row <= last; ++row) {
            if (a.cell(row, column) != b.cell(row, column)) {
                return false;
            }
        }
        return true;
    }

    // The runs of a column's points a piece of rows first..last draws. A piece draws the lines
    // that start on its rows, so it holds the first row of the next piece too; a lone point on
    // that shared row belongs to the next piece, unless `lastLone` (there is none).
    QList<QList<QPointF>> pieceRuns(
        const speed_mode::ChartTable &table, int column, int first, int last, bool lastLone)
    {
        QList<QList<QPointF>> runs;
        bool inRun = false;
        for (int row = first; row <= last; ++row) {
            const bool joined = (row < last && filled(table, row + 1, column))
                || (row > first && filled(table, row - 1, column));
            const bool lone = !filled(table, row - 1, column) && !filled(table, row + 1, column)
                && (row < last || lastLone);
            if (!filled(table, row, column) || !(joined || lone)) {
                inRun = false;
                continue;
            }
            if (!inRun) {
                runs.append(QList<QPointF>());
                inRun = true;
            }
            runs.last().append(QPointF(row, *table.cell(row, column)));
        }
        return runs;
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

    // Made here, a column's pieces are drawn one after the other as one line would be: where
    // two players' lines cross, the later player's stays on top along the whole line.
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        for (int piece = 0; piece < kPieces; ++piece) {
            addSeries(c, piece);
        }
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

QLineSeries *PlayerChart::addSeries(int c, int piece)
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
    std::vector<QLineSeries *> &runs = target.pieces[static_cast<std::size_t>(piece)];
    if (piece > 0 || !runs.empty()) {
        for (QLegendMarker *marker : m_chart->legend()->markers(series)) {
            marker->setVisible(false);
        }
    }
    runs.push_back(series);
    return series;
}

void PlayerChart::setData(const speed_mode::ChartTable &table)
{
    int lastRow = 0;
    for (int row = 1; row <= speed_mode::kChartRows; ++row) {
        for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
            if (table.cell(row, c)) {
                lastRow = row;
            }
        }
    }
    const int boundary = 1 + (std::max(lastRow, 1) - 1) / kLiveRows * kLiveRows;
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        for (int piece = 0; piece < kPieces; ++piece) {
            const int first = piece == 0 ? 1 : boundary;
            const int last = piece == 0 ? boundary : speed_mode::kChartRows;
            // A piece's points depend on its rows and, for its lone points, the row before.
            if (m_shownBoundary == boundary
                && sameCells(m_shownTable, table, c, std::max(1, first - 1), last)) {
                continue;
            }
            const QList<QList<QPointF>> runs = pieceRuns(table, c, first, last, piece == 1);
            std::vector<QLineSeries *> &shown = column(c).pieces[static_cast<std::size_t>(piece)];
            while (shown.size() < static_cast<std::size_t>(runs.size())) {
                addSeries(c, piece);
            }
            // The piece's first series, drawn before the next piece's, takes its last run: the
            // line through the boundary row is then drawn in row order, as one series draws it.
            for (std::size_t i = 0; i < shown.size(); ++i) {
                const qsizetype run = runs.size() - 1 - static_cast<qsizetype>(i);
                showRun(shown[i], run >= 0 ? runs[run] : QList<QPointF>());
            }
        }
    }
    m_shownTable = table;
    m_shownBoundary = boundary;
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
    columnSeries(c)->setName(shown.toHtmlEscaped());
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

QLineSeries *PlayerChart::columnSeries(int c) const { return column(c).pieces.front().front(); }

QList<QList<QPointF>> PlayerChart::columnRuns(int c) const
{
    QList<QList<QPointF>> lines;
    for (const std::vector<QLineSeries *> &piece : column(c).pieces) {
        for (QLineSeries *series : piece) {
            if (series->count() > 0) {
                lines.append(series->points());
            }
        }
    }
    std::sort(lines.begin(), lines.end(), [](const QList<QPointF> &a, const QList<QPointF> &b) {
        return a.first().x() < b.first().x();
    });
    // Lines of two pieces that meet on the boundary row are one run.
    QList<QList<QPointF>> runs;
    for (const QList<QPointF> &line : lines) {
        if (!runs.isEmpty() && runs.last().size() > 1 && line.size() > 1
            && runs.last().last() == line.first()) {
            runs.last().append(line.mid(1));
        } else {
            runs.append(line);
        }
    }
    return runs;
}

} // namespace main_window
