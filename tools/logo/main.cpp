// SPDX-License-Identifier: MIT
// rotavex-logo FOLDER
// Draws the logo's word for the picture box's design size and twice that, and saves them as
// rotavex-word.png and rotavex-word@2x.png in FOLDER, which the window shows.
#include "main_window/rotor_logo.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>

using main_window::RotorLogo;

namespace
{

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
        RotorLogo::drawWord(painter, QRectF(QPointF(0, 0), area.size()));
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
