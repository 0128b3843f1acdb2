// SPDX-License-Identifier: MIT
#include "widgets/tag_label.h"

#include "widgets/caption_fit.h"

#include <QEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <limits>

namespace widgets
{

namespace
{
    // No label is wider than this many characters of even the narrowest glyphs.
    constexpr qsizetype kMeasuredChars = 1000;
    // Figures smaller than this are hard to read from a few steps away.
    constexpr double kSmallestColumnPointSize = 6.0;
} // namespace

TagLabel::TagLabel(QWidget *parent)
    : QLabel(parent)
    , m_designPointSize(font().pointSizeF())
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    keepMeasuresOf(designFont());
}

void TagLabel::setBold(bool bold)
{
    QFont shown = font();
    shown.setBold(bold);
    m_fitting = true; // the weight changes, not the size
    setFont(shown);
    m_fitting = false;
}

void TagLabel::setPointSize(qreal pointSize)
{
    if (pointSize <= 0 || font().pointSizeF() == pointSize) {
        return;
    }
    QFont shown = font();
    shown.setPointSizeF(pointSize);
    m_fitting = true;
    setFont(shown);
    m_fitting = false;
}

void TagLabel::changeEvent(QEvent *event)
{
    // A font given from outside is the new design; one set to fit a caption is not.
    if (event->type() == QEvent::FontChange) {
        if (!m_fitting) {
            m_designPointSize = font().pointSizeF();
        }
        keepMeasuresOf(designFont());
    }
    QLabel::changeEvent(event);
}

void TagLabel::setRoomWidth(int px)
{
    if (m_roomWidth != px) {
        m_roomWidth = px;
        update();
    }
}

int TagLabel::room() const
{
    const int contents = contentsRect().width();
    return m_roomWidth < 0 ? contents : std::min(contents, m_roomWidth);
}

QString TagLabel::shownText() const
{
    const QString caption = caption_fit::MeasurablePrefix(text(), kMeasuredChars);
    const QFontMetricsF metrics(font());
    if (metrics.horizontalAdvance(caption) <= room() && caption.size() == text().size()) {
        return caption;
    }
    const QString elided = metrics.elidedText(caption, Qt::ElideRight, std::max(0, room()));
    // A prefix that happens to fit still lost its end: say so.
    return elided.endsWith(QChar(0x2026)) ? elided : elided + QChar(0x2026);
}

QFont TagLabel::designFont() const
{
    QFont design = font();
    if (m_designPointSize > 0) {
        design.setPointSizeF(m_designPointSize);
    }
    return design;
}

void TagLabel::keepMeasuresOf(const QFont &design)
{
    if (design != m_measuredFont) {
        m_measuredFont = design;
        m_measuredText.clear();
        m_measuredWidths.clear();
    }
}

qreal TagLabel::captionWidthAt(qreal pointSize) const
{
    if (text() != m_measuredText) {
        m_measuredText = text();
        m_measuredWidths.clear();
    }
    if (const auto kept = m_measuredWidths.constFind(pointSize); kept != m_measuredWidths.cend()) {
        return *kept;
    }
    QFont measured = m_measuredFont;
    measured.setPointSizeF(pointSize);
    const qreal width = QFontMetricsF(measured).horizontalAdvance(
        caption_fit::MeasurablePrefix(text(), kMeasuredChars));
    m_measuredWidths.insert(pointSize, width);
    return width;
}

void TagLabel::paintEvent(QPaintEvent *event)
{
    const QString shown = shownText();
    if (shown.size() == text().size() && shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    QRect area = contentsRect();
    area.setWidth(room());
    painter.drawText(area, static_cast<int>(alignment()) | Qt::TextSingleLine, shown);
}

void FitCaption(TagLabel *label)
{
    FitColumn(rotavex::PerPlayer<TagLabel *>({ label, label, label, label }));
}

void FitColumn(const rotavex::PerPlayer<TagLabel *> &column)
{
    const TagLabel *first = column[rotavex::kFirstPlayer];
    int room = std::numeric_limits<int>::max();
    for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        room = std::min(room, column[n]->room());
    }
    const auto widestAt = [&column](double pointSize) {
        qreal widest = 0;
        for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
            widest = std::max(widest, column[n]->captionWidthAt(pointSize));
        }
        return widest;
    };
    const double size = caption_fit::LargestFittingPointSize(
        first->designPointSize(), kSmallestColumnPointSize, room, widestAt);
    for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        column[n]->setPointSize(size);
    }
}

} // namespace widgets
