// SPDX-License-Identifier: MIT
#include "widgets/panel_frame_style.h"

#include <QGroupBox>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>

namespace widgets
{

namespace
{
    // Below the title (or a check box), as the style leaves it.
    constexpr int kBelowTitle = 3;
    // Qt's raster engine hands a fill of more than a few dozen lines to its thread pool and
    // waits for it. For these faint, thin fills the hand-over costs far more than the fill
    // (about two thirds of a millisecond for the window's two frames), so they go in bands
    // low enough to stay on the painting thread.
    constexpr int kBandLines = 32;
    // The softened corner's square: the rounded line's arc touches no pixel outside it.
    constexpr int kCorner = 3;

    void fillInBands(QPainter *painter, const QRect &area, const QColor &colour)
    {
        for (int top = area.top(); top <= area.bottom(); top += kBandLines) {
            painter->fillRect(QRect(area.left(), top, area.width(),
                                  std::min(kBandLines, area.bottom() + 1 - top)),
                colour);
        }
    }

    // The outline of `box` one pixel wide, each pixel once.
    void outline(QPainter *painter, const QRect &box, const QColor &colour)
    {
        painter->fillRect(QRect(box.left(), box.top(), box.width(), 1), colour);
        painter->fillRect(QRect(box.left(), box.bottom(), box.width(), 1), colour);
        fillInBands(painter, QRect(box.left(), box.top() + 1, 1, box.height() - 2), colour);
        fillInBands(painter, QRect(box.right(), box.top() + 1, 1, box.height() - 2), colour);
    }
} // namespace

void PanelFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
    QPainter *painter, const QWidget *widget) const
{
    if (element != PE_FrameGroupBox) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const auto *box = qobject_cast<const QGroupBox *>(widget);
    const int top = box && !box->isCheckable() && box->title().isEmpty()
        ? kBelowTitle
        : std::max(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height())
            + kBelowTitle;
    // The left and top pixel are left clear, then the line, then a slightly darker ring inside it.
    const QRect frame = option->rect.adjusted(1, top + 1, 0, 0);
    if (frame.width() < 4 || frame.height() < 4) {
        return;
    }
    painter->save();
    fillInBands(painter, frame.adjusted(1, 1, -1, -1), QColor(0, 0, 0, 3));
    outline(painter, frame.adjusted(1, 1, -1, -1), QColor(0, 0, 0, 4));
    // The line: straight pieces filled, each corner drawn as the rounded rectangle it belongs to,
    // clipped to its square.
    const QColor line(0x75, 0x75, 0x75, 0x32);
    const QRectF rounded = QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(line, 1));
    painter->setBrush(Qt::NoBrush);
    if (frame.width() <= 2 * kCorner || frame.height() <= 2 * kCorner) {
        painter->drawRoundedRect(rounded, 1.5, 1.5);
        painter->restore();
        return;
    }
    const QRect inner = frame.adjusted(kCorner, kCorner, -kCorner, -kCorner);
    painter->fillRect(QRect(inner.left(), frame.top(), inner.width(), 1), line);
    painter->fillRect(QRect(inner.left(), frame.bottom(), inner.width(), 1), line);
    fillInBands(painter, QRect(frame.left(), inner.top(), 1, inner.height()), line);
    fillInBands(painter, QRect(frame.right(), inner.top(), 1, inner.height()), line);
    for (const QPoint corner : { frame.topLeft(), QPoint(inner.right() + 1, frame.top()),
             QPoint(frame.left(), inner.bottom() + 1), inner.bottomRight() + QPoint(1, 1) }) {
        painter->save();
        painter->setClipRect(QRect(corner, QSize(kCorner, kCorner)), Qt::IntersectClip);
        painter->drawRoundedRect(rounded, 1.5, 1.5);
        painter->restore();
    }
    painter->restore();
}

} // namespace widgets
