// SPDX-License-Identifier: MIT
#include "main_window/tag_label.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace main_window
{

TagLabel::TagLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
}

void TagLabel::setBold(bool bold)
{
    QFont shown = font();
    shown.setBold(bold);
    setFont(shown);
}

void TagLabel::paintEvent(QPaintEvent *event)
{
    const QString caption = text();
    const QRect room = contentsRect();
    const qreal needed = QFontMetricsF(font()).horizontalAdvance(caption);
    if (caption.isEmpty() || room.width() <= 0 || needed <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    // Scaled by the width ratio, with a little slack for hinting at the smaller size.
    const qreal scale = room.width() / needed * 0.97;
    QFont smaller = font();
    if (smaller.pointSizeF() > 0) {
        smaller.setPointSizeF(std::max(4.0, smaller.pointSizeF() * scale));
    } else {
        smaller.setPixelSize(std::max(5, static_cast<int>(smaller.pixelSize() * scale)));
    }
    QPainter painter(this);
    painter.setFont(smaller);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(room, static_cast<int>(alignment()) | Qt::TextSingleLine, caption);
}

} // namespace main_window
