// SPDX-License-Identifier: MIT
// rotavex-logo FOLDER
// Draws the logo's word for the picture box's design size and twice that, and saves them as
// rotavex-word.png and rotavex-word@2x.png in FOLDER, which the window shows.
#include "main_window/rotor_logo.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

using main_window::RotorLogo;

namespace
{

// The word as the logo shows it, bold and italic, as large as fits `area`.
void drawWord(QPainter &p, const QRectF &area)
{
    QFont title = QGuiApplication::font();
    title.setBold(true);
    title.setItalic(true);
    title.setPixelSize(std::max(8, static_cast<int>(area.height() * 0.7)));
    const QString word = QStringLiteral("Rotavex");
    const double wordWidth = QFontMetricsF(title).horizontalAdvance(word);
    if (wordWidth > area.width() * 0.95) {
        title.setPixelSize(
            std::max(6, static_cast<int>(title.pixelSize() * area.width() * 0.95 / wordWidth)));
    }
    p.setFont(title);
    p.setPen(QColor(30, 40, 55));
    p.drawText(area, Qt::AlignCenter, word);
}

bool save(const QString &path, int scale)
{
    const QRectF area = RotorLogo::wordRect(RotorLogo::kDesignSize);
    QImage picture(std::lround(area.width() * scale), std::lround(area.height() * scale),
        QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        drawWord(painter, QRectF(QPointF(0, 0), area.size()));
    }
    return picture.save(path, "PNG");
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: rotavex-logo FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    return save(folder + QStringLiteral("/rotavex-word.png"), 1)
            && save(folder + QStringLiteral("/rotavex-word@2x.png"), 2)
        ? 0
        : 1;
}
