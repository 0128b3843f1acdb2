// SPDX-License-Identifier: MIT
#include "main_window/rotor_logo.h"

#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace main_window
{

namespace
{
    // Share of the box's width, from the right, that the art uses.
    constexpr double kArtShare = 0.62;

    // The art keeps to the right-hand part of the box: in the full-height view the board
    // reaches over the box's left-hand part.
    QRectF artRect(QSizeF size)
    {
        return QRectF(size.width() * (1.0 - kArtShare), 0, size.width() * kArtShare, size.height())
            .adjusted(0, 0, -size.width() * 0.04, 0);
    }

    double textHeight(QSizeF size) { return artRect(size).height() * 0.2; }
} // namespace

RotorLogo::RotorLogo(QWidget *parent)
    : QWidget(parent)
{
}

QRectF RotorLogo::wordRect(QSizeF size)
{
    const QRectF art = artRect(size);
    return QRectF(art.left(), art.height() - textHeight(size), art.width(), textHeight(size));
}

void RotorLogo::setPrepared(QImage picture)
{
    m_prepared = std::move(picture);
    update();
}

bool RotorLogo::drawRotor(QPainter &p, QSizeF size)
{
    const QRectF art = artRect(size);
    const double side = std::min(art.width(), art.height() - textHeight(size)) * 0.92;
    if (side <= 4.0) {
        return false;
    }
    const QPointF centre(art.center().x(), (art.height() - textHeight(size)) / 2.0);
    const double radius = side / 2.0;

    // Speed trails behind each blade tip.
    for (int blade = 0; blade < 3; ++blade) {
        for (int trail = 0; trail < 3; ++trail) {
            const double r = radius * (0.98 - trail * 0.09);
            QPen pen(
                QColor(0, 128, 0, 170 - trail * 50), radius * 0.045, Qt::SolidLine, Qt::RoundCap);
            p.setPen(pen);
            p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), (blade * 120 + 95) * 16,
                55 * 16);
        }
    }

    p.save();
    p.translate(centre);
    QPainterPath blade;
    blade.moveTo(0, -radius * 0.1);
    blade.cubicTo(radius * 0.35, -radius * 0.35, radius * 0.8, -radius * 0.25, radius * 0.82, 0);
    blade.cubicTo(radius * 0.6, radius * 0.1, radius * 0.3, radius * 0.12, 0, radius * 0.1);
    blade.closeSubpath();
    QRadialGradient metal(QPointF(0, 0), radius * 0.85);
    metal.setColorAt(0.0, QColor(110, 120, 135));
    metal.setColorAt(1.0, QColor(40, 50, 65));
    p.setPen(QPen(QColor(25, 30, 40), 1.2));
    p.setBrush(metal);
    for (int i = 0; i < 3; ++i) {
        p.drawPath(blade);
        p.rotate(120);
    }
    p.setBrush(QColor(0, 160, 0));
    p.drawEllipse(QPointF(0, 0), radius * 0.2, radius * 0.2);
    p.setBrush(QColor(230, 230, 230));
    p.drawEllipse(QPointF(0, 0), radius * 0.07, radius * 0.07);
    p.restore();
    return true;
}

QImage RotorLogo::readWord(bool sharp)
{
    // Read as the PNG it is: asked to guess, the reader first loads every image format plugin
    // to ask each whether it knows the picture.
    QImageReader reader(sharp ? QStringLiteral(":/logo/rotavex-word@2x.png")
                              : QStringLiteral(":/logo/rotavex-word.png"),
        "png");
    reader.setAutoDetectImageFormat(false);
    QImage word = reader.read();
    word.setDevicePixelRatio(sharp ? 2.0 : 1.0);
    return word;
}

QImage RotorLogo::DrawAtDesignSize(qreal devicePixelRatio)
{
    QImage picture(QSize(qRound(kDesignSize.width() * devicePixelRatio),
                       qRound(kDesignSize.height() * devicePixelRatio)),
        QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    drawRotor(p, kDesignSize);
    p.drawImage(wordRect(kDesignSize).topLeft().toPoint(),
        readWord(kDesignSize.width() * devicePixelRatio > kDesignSize.width()));
    return picture;
}

void RotorLogo::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (size() == kDesignSize && !m_prepared.isNull()
        && qFuzzyCompare(m_prepared.devicePixelRatio(), devicePixelRatioF())) {
        p.drawImage(QPoint(0, 0), m_prepared);
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    if (!drawRotor(p, size())) {
        return;
    }

    // The word's picture for the design size or twice that; a screen of another density gets
    // the nearer one scaled.
    const bool sharp = width() * devicePixelRatioF() > kDesignSize.width();
    if (m_word.isNull() || m_sharp != sharp) {
        m_sharp = sharp;
        m_word = QPixmap::fromImage(readWord(sharp));
    }
    const QRectF area = wordRect(size());
    if (size() == kDesignSize) {
        p.drawPixmap(area.topLeft().toPoint(), m_word);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(area, m_word, QRectF(QPointF(0, 0), QSizeF(m_word.size())));
}

} // namespace main_window
