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
    painter->fillRect(frame.adjusted(1, 1, -1, -1), QColor(0, 0, 0, 3));
    painter->setPen(QColor(0, 0, 0, 4));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(frame.adjusted(1, 1, -2, -2));
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(0x75, 0x75, 0x75, 0x32), 1));
    painter->drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 1.5, 1.5);
    painter->restore();
}

} // namespace widgets
