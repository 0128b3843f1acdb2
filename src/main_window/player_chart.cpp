// SPDX-License-Identifier: MIT
#include "main_window/player_chart.h"

#include "shared/bgr_colour.h"
#include "shared/player_tables.h"
#include "widgets/caption_fit.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace main_window
{

namespace
{
    constexpr qsizetype kLegendChars = 200;
    const QColor kGrid(0xe2, 0xe2, 0xe2);
    const QColor kText(0x54, 0x54, 0x58);
    constexpr double kLineWidth = 1.5;
    constexpr double kDotRadius = 2.0;

    QColor playerColour(int column)
    {
        return rotavex::ColourFromBgr(rotavex::kPlayerColours[rotavex::PlayerSlot(column)]);
    }
} // namespace

PlayerChart::PlayerChart(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_small = font();
    m_small.setPointSizeF(7.5);
    arrange();
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

void PlayerChart::setData(const speed_mode::ChartTable &table)
{
    if (table == m_table) {
        return;
    }
    m_table = table;
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        column(c).runs = chart_layout::Runs(table, c);
    }
    // The lines stay inside the plot but for half a pen (and a dot) beyond its edges.
    update(m_frame.plot.adjusted(-kDotRadius - 1, -kDotRadius - 1, kDotRadius + 1, kDotRadius + 1)
               .toAlignedRect());
}

void PlayerChart::setColumnLabel(int c, const QString &label)
{
    if (column(c).label == label) {
        return;
    }
    column(c).label = label;
    showLegendName(c);
    m_backdrop = QPixmap();
    update(0, int(m_frame.legendTop) - 2, width(), height() - int(m_frame.legendTop) + 2);
}

void PlayerChart::setColumnShown(int c, bool shown)
{
    if (column(c).shown == shown) {
        return;
    }
    column(c).shown = shown;
    m_backdrop = QPixmap();
    update();
}

void PlayerChart::showLegendName(int c)
{
    // Cut short here, with the same "…" as the name labels, and measured on a prefix: a name of
    // many thousand characters would otherwise be measured whole.
    const QFontMetricsF metrics(m_small);
    const QString whole = caption_fit::MeasurablePrefix(column(c).label, kLegendChars);
    QString shown = metrics.elidedText(whole, Qt::ElideRight, m_frame.nameRoom);
    if (whole.size() < column(c).label.size() && !shown.endsWith(QChar(0x2026))) {
        shown += QChar(0x2026);
    }
    column(c).legendName = shown;
}

QString PlayerChart::legendName(int c) const { return column(c).legendName; }

QString PlayerChart::columnLabel(int c) const { return column(c).label; }

QList<QList<QPointF>> PlayerChart::columnRuns(int c) const { return column(c).runs; }

void PlayerChart::arrange()
{
    const QFontMetricsF metrics(m_small);
    chart_layout::TextMetrics text;
    text.lineHeight = metrics.height();
    text.rpmLabelWidth =
        metrics.horizontalAdvance(chart_layout::RpmLabel(chart_layout::kRpmTicks - 1));
    text.lastRowLabelWidth =
        metrics.horizontalAdvance(chart_layout::RowLabel(chart_layout::kRowTicks - 1));
    m_frame = chart_layout::Arrange(QSizeF(size()), text);
    m_backdrop = QPixmap();
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        showLegendName(c);
    }
}

void PlayerChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void PlayerChart::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        const qreal size = m_small.pointSizeF();
        m_small = font();
        m_small.setPointSizeF(size);
        arrange();
        update();
    }
}

void PlayerChart::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (!m_painted) {
        // The first picture draws everything in place: the backdrop's own picture only pays from
        // the next repaint on, and the window's first picture need not wait for a fresh buffer.
        m_painted = true;
        drawBackdrop(p);
    } else {
        // Everything but the lines changes only with the size, the font or a name: it is drawn
        // once into a picture, and a tick repaints the lines over it.
        const qreal ratio = devicePixelRatioF();
        if (m_backdrop.isNull() || m_backdrop.size() != size() * ratio) {
            m_backdrop = QPixmap(size() * ratio);
            m_backdrop.setDevicePixelRatio(ratio);
            QPainter backdrop(&m_backdrop);
            drawBackdrop(backdrop);
        }
        p.drawPixmap(event->rect(), m_backdrop,
            QRectF(QPointF(event->rect().topLeft()) * ratio, QSizeF(event->rect().size()) * ratio));
    }
    drawLines(p);
}

void PlayerChart::drawLines(QPainter &p) const
{
    // Clipped to the plot, as the scale ends there.
    const QRectF plot = m_frame.plot;
    p.setClipRect(plot.adjusted(-kDotRadius, -kDotRadius, kDotRadius, kDotRadius));
    p.setRenderHint(QPainter::Antialiasing);
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        if (!column(c).shown) {
            continue;
        }
        const QColor colour = playerColour(c);
        p.setPen(QPen(colour, kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        for (const QList<QPointF> &run : column(c).runs) {
            if (run.size() == 1) {
                // A lone point between two gaps would draw nothing as a line.
                p.setBrush(colour);
                p.drawEllipse(chart_layout::PointAt(plot, run.front().x(), run.front().y()),
                    kDotRadius, kDotRadius);
                p.setBrush(Qt::NoBrush);
                continue;
            }
            QPolygonF line;
            line.reserve(run.size());
            for (const QPointF &point : run) {
                line.append(chart_layout::PointAt(plot, point.x(), point.y()));
            }
            p.drawPolyline(line);
        }
    }
}

void PlayerChart::drawBackdrop(QPainter &p) const
{
    p.fillRect(rect(), Qt::white);
    const QRectF plot = m_frame.plot;
    const QFontMetricsF metrics(m_small);
    p.setFont(m_small);

    // The grid, the axes along the left and bottom, and their tick marks.
    p.setPen(QPen(kGrid, 1));
    for (const double x : m_frame.rowTickX) {
        p.drawLine(QLineF(x, plot.top(), x, plot.bottom() + chart_layout::kTickLength));
    }
    for (const double y : m_frame.rpmTickY) {
        p.drawLine(QLineF(plot.left() - chart_layout::kTickLength, y, plot.right(), y));
    }
    p.setPen(kText);
    for (int i = 0; i < chart_layout::kRowTicks; ++i) {
        const QString label = chart_layout::RowLabel(i);
        const QRectF box = chart_layout::RowLabelBox(
            m_frame, i, metrics.horizontalAdvance(label), metrics.height());
        p.drawText(QPointF(box.left(), box.top() + metrics.ascent()), label);
    }
    for (int i = 0; i < chart_layout::kRpmTicks; ++i) {
        const QString label = chart_layout::RpmLabel(i);
        const QRectF box = chart_layout::RpmLabelBox(
            m_frame, i, metrics.horizontalAdvance(label), metrics.height());
        p.drawText(QPointF(box.left(), box.top() + metrics.ascent()), label);
    }

    // The legend: a coloured square and the name of each column, centred on one line.
    std::array<double, speed_mode::kChartColumns> names {};
    std::array<bool, speed_mode::kChartColumns> shown {};
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        names[std::size_t(c - 1)] = metrics.horizontalAdvance(column(c).legendName);
        shown[std::size_t(c - 1)] = column(c).shown;
    }
    const std::array<double, speed_mode::kChartColumns> lefts =
        chart_layout::LegendLefts(m_frame, width(), names, shown);
    const double squareTop =
        std::round(m_frame.legendTop + (metrics.height() - m_frame.markerSide) / 2);
    for (int c = 1; c <= speed_mode::kChartColumns; ++c) {
        if (!column(c).shown) {
            continue;
        }
        const double left = lefts[std::size_t(c - 1)];
        const QRectF square(left, squareTop, m_frame.markerSide, m_frame.markerSide);
        p.fillRect(square, playerColour(c));
        p.setPen(playerColour(c).darker(150));
        p.drawRect(square.adjusted(0, 0, -1, -1));
        p.setPen(kText);
        p.drawText(
            QPointF(left + m_frame.markerSide + m_frame.gap, m_frame.legendTop + metrics.ascent()),
            column(c).legendName);
    }
}

} // namespace main_window
