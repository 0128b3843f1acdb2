// SPDX-License-Identifier: MIT
#include "main_window/speed_bar.h"

#include "shared/bgr_colour.h"

#include <QAccessible>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace main_window
{

SpeedBar::SpeedBar(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SpeedBar::setValue(double value)
{
    if (value == m_value) {
        return;
    }
    m_value = value;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, value);
        QAccessible::updateAccessibility(&changed);
    }
}

void SpeedBar::setMaximum(double maximum)
{
    m_maximum = maximum;
    update();
}

void SpeedBar::setFillColour(quint32 bgr)
{
    m_fillBgr = bgr;
    const QColor fill = rotavex::ColourFromBgr(bgr);
    if (fill == m_fill) {
        return;
    }
    m_fill = fill;
    update();
}

QSize SpeedBar::sizeHint() const { return { 200, 18 }; }

void SpeedBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.fillRect(rect(), QColor(250, 250, 250));

    // NaN and values outside the scale are drawn as an empty or full bar, never beyond it.
    double share = m_maximum > 0.0 ? m_value / m_maximum : 0.0;
    if (!(share > 0.0)) {
        share = 0.0;
    }
    share = std::min(share, 1.0);

    const QRectF inner = outer.adjusted(1.5, 1.5, -1.5, -1.5);
    if (share > 0.0 && inner.width() > 0.0) {
        QRectF filled = inner;
        filled.setWidth(std::max(1.0, std::round(inner.width() * share)));
        QLinearGradient shine(filled.topLeft(), filled.bottomLeft());
        // A light top edge gives depth; the lower half is the colour itself.
        shine.setColorAt(0.0, m_fill.lighter(150));
        shine.setColorAt(0.5, m_fill);
        shine.setColorAt(1.0, m_fill);
        painter.fillRect(filled, shine);
    }
    painter.setPen(QColor(150, 150, 150));
    painter.drawRect(outer);
}

} // namespace main_window
