// SPDX-License-Identifier: MIT
#include "main_window/button_art.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>
#include <numbers>

namespace main_window
{

namespace
{

    constexpr int kSide = 32; // drawn large, scaled down by QIcon for crisp small sizes

    QImage draw(const std::function<void(QPainter &)> &paint)
    {
        // The pixel format a transparent pixmap has, so the icon takes it without conversion.
        QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        return image;
    }

    void gear(QPainter &p)
    {
        constexpr int kTeeth = 8;
        const QPointF centre(16, 16);
        QPainterPath outline;
        for (int i = 0; i < kTeeth * 2; ++i) {
            const double angle = i * std::numbers::pi / kTeeth;
            for (const double step : { -0.17, 0.17 }) {
                const double radius = i % 2 == 0 ? 14.5 : 10.5;
                const QPointF point = centre
                    + QPointF(std::cos(angle + step) * radius, std::sin(angle + step) * radius);
                if (outline.elementCount() == 0) {
                    outline.moveTo(point);
                } else {
                    outline.lineTo(point);
                }
            }
        }
        outline.closeSubpath();
        outline.addEllipse(centre, 4.5, 4.5);
        p.setPen(QPen(QColor(60, 60, 70), 1.5));
        p.setBrush(QColor(120, 130, 150));
        p.drawPath(outline);
    }

    void power(QPainter &p)
    {
        QPen pen(QColor(200, 30, 30), 4, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.drawArc(QRectF(5, 6, 22, 22), 120 * 16, -240 * 16);
        p.drawLine(QPointF(16, 3), QPointF(16, 15));
    }

    void play(QPainter &p)
    {
        const QPolygonF triangle { QPointF(8, 4), QPointF(28, 16), QPointF(8, 28) };
        p.setPen(QPen(QColor(10, 110, 30), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(40, 180, 60));
        p.drawPolygon(triangle);
    }

    void stop(QPainter &p)
    {
        p.setPen(QPen(QColor(140, 20, 20), 1.5));
        p.setBrush(QColor(215, 45, 45));
        p.drawRoundedRect(QRectF(6, 6, 20, 20), 3, 3);
    }

    void eraser(QPainter &p)
    {
        p.translate(16, 16);
        p.rotate(-40);
        p.setPen(QPen(QColor(90, 60, 60), 1.5));
        p.setBrush(QColor(240, 120, 140));
        p.drawRoundedRect(QRectF(-13, -7, 14, 14), 2, 2);
        p.setBrush(QColor(245, 245, 245));
        p.drawRoundedRect(QRectF(1, -7, 12, 14), 2, 2);
    }

    void lineChart(QPainter &p)
    {
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.drawLine(QPointF(4, 4), QPointF(4, 28));
        p.drawLine(QPointF(4, 28), QPointF(29, 28));
        p.setPen(QPen(QColor(0, 90, 200), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPolygonF line { QPointF(6, 23), QPointF(12, 14), QPointF(18, 19), QPointF(27, 7) };
        p.drawPolyline(line);
    }

    void bars(QPainter &p)
    {
        p.setPen(Qt::NoPen);
        const QColor colours[] { QColor(0, 200, 0), QColor(255, 200, 0), QColor(255, 128, 0),
            QColor(220, 40, 40) };
        const double lengths[] { 24, 18, 13, 20 };
        for (int i = 0; i < 4; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(QRectF(4, 4 + i * 6.5, lengths[i], 4.5));
        }
    }

    void trophy(QPainter &p)
    {
        p.setPen(QPen(QColor(150, 110, 0), 1.5));
        p.setBrush(QColor(240, 190, 30));
        QPainterPath cup;
        cup.moveTo(8, 4);
        cup.lineTo(24, 4);
        cup.cubicTo(24, 16, 20, 19, 16, 19);
        cup.cubicTo(12, 19, 8, 16, 8, 4);
        p.drawPath(cup);
        p.drawRect(QRectF(14.5, 19, 3, 5));
        p.drawRect(QRectF(10, 24, 12, 4));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 6, 8, 8), 90 * 16, 180 * 16);
        p.drawArc(QRectF(21, 6, 8, 8), 90 * 16, -180 * 16);
    }

    // A flat screen on a stand, with a bar of the board on it.
    void screen(QPainter &p)
    {
        p.setPen(QPen(QColor(40, 40, 50), 1.5));
        p.setBrush(QColor(25, 30, 48));
        p.drawRoundedRect(QRectF(3, 5, 26, 17), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 200, 0));
        p.drawRect(QRectF(7, 10, 13, 3));
        p.setBrush(QColor(255, 208, 0));
        p.drawRect(QRectF(7, 15, 18, 3));
        p.setBrush(QColor(90, 90, 100));
        p.drawRect(QRectF(14, 22, 4, 4));
        p.drawRoundedRect(QRectF(9, 26, 14, 3), 1, 1);
    }

    // A podium of three, the winner in the middle.
    void podium(QPainter &p)
    {
        p.setPen(QPen(QColor(40, 40, 50), 1.5));
        const QColor colours[] { QColor(200, 200, 210), QColor(240, 190, 30),
            QColor(205, 127, 50) };
        const QRectF blocks[] { QRectF(3, 15, 9, 13), QRectF(12, 8, 9, 20), QRectF(21, 19, 9, 9) };
        for (int i = 0; i < 3; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(blocks[i]);
        }
        p.setBrush(QColor(240, 190, 30));
        p.drawEllipse(QRectF(13.5, 1.5, 6, 6));
    }

} // namespace

ButtonPictures DrawButtonPictures(ButtonArt art)
{
    switch (art) {
    case ButtonArt::Setup:
        return { draw(gear), {} };
    case ButtonArt::Quit:
        return { draw(power), {} };
    case ButtonArt::StartStop:
        return { draw(play), draw(stop) };
    case ButtonArt::Clear:
        return { draw(eraser), {} };
    case ButtonArt::View:
        return { draw(lineChart), draw(bars) };
    case ButtonArt::Score:
        return { draw(trophy), {} };
    case ButtonArt::Display:
        return { draw(screen), {} };
    case ButtonArt::Competition:
        return { draw(podium), {} };
    }
    return {};
}

QIcon ButtonIcon(const ButtonPictures &pictures)
{
    QIcon icon;
    if (pictures.on.isNull()) {
        icon.addPixmap(QPixmap::fromImage(pictures.off));
    } else {
        icon.addPixmap(QPixmap::fromImage(pictures.off), QIcon::Normal, QIcon::Off);
        icon.addPixmap(QPixmap::fromImage(pictures.on), QIcon::Normal, QIcon::On);
    }
    return icon;
}

QIcon ButtonIcon(ButtonArt art) { return ButtonIcon(DrawButtonPictures(art)); }

} // namespace main_window
