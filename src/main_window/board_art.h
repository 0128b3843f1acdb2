// SPDX-License-Identifier: MIT
#pragma once

#include "main_window/button_art.h"

#include <QImage>

#include <array>
#include <future>

namespace main_window
{

/// The board's pictures that need no font: the buttons' pictures and the logo at its design
/// size. They are drawn on a worker from construction on, while the program reads its fonts,
/// so the window built afterwards finds them ready instead of drawing them itself.
class BoardArt
{
public:
    /// Starts drawing; the logo for a screen of `devicePixelRatio`.
    explicit BoardArt(qreal devicePixelRatio);

    /// The button's pictures; the first call waits until they are drawn.
    const ButtonPictures &button(ButtonArt art) const;
    /// The logo as RotorLogo::DrawAtDesignSize draws it; waits as button() does.
    const QImage &logo() const;

private:
    struct Pictures {
        std::array<ButtonPictures, kButtonArtCount> buttons;
        QImage logo;
    };
    std::shared_future<Pictures> m_drawn;
};

} // namespace main_window
