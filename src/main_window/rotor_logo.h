// SPDX-License-Identifier: MIT
#pragma once

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

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_word;
    bool m_sharp = false; ///< m_word is the picture drawn at twice the size
};

} // namespace main_window
