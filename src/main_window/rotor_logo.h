// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QWidget>

namespace main_window
{

/// The program's logo: a three-bladed rotor in motion above the word "Rotavex", drawn to fit
/// whatever size the picture box has. The word is a picture drawn in advance (tools/logo):
/// drawn live, its bold italic face alone was loaded for the window's first picture.
class RotorLogo : public QWidget
{
    Q_OBJECT
public:
    explicit RotorLogo(QWidget *parent = nullptr);

    /// The picture box's size at 96 dpi, which the word's pictures are drawn for.
    static constexpr QSize kDesignSize { 240, 232 };
    /// Where the word goes in a box of `size`.
    static QRectF wordRect(QSizeF size);
    /// The logo as a box of the design size shows it on a screen of `devicePixelRatio`, on a
    /// transparent ground. Uses no font and no pixmap, so any thread may draw it.
    static QImage DrawAtDesignSize(qreal devicePixelRatio);
    /// Shows `picture` (from DrawAtDesignSize) instead of drawing, whenever the box has the
    /// design size on a screen of the picture's density.
    void setPrepared(QImage picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    /// Draws the rotor for a box of `size`; false when the box is too small to show it.
    static bool drawRotor(QPainter &p, QSizeF size);
    /// The word's picture drawn at twice the design size (`sharp`) or at it.
    static QImage readWord(bool sharp);

    QImage m_prepared;
    QPixmap m_word;
    bool m_sharp = false; ///< m_word is the picture drawn at twice the size
};

} // namespace main_window
