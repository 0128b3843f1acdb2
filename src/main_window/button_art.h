// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QImage>

namespace main_window
{

/// The pictures of the main window's buttons, drawn by the program itself. Toggle buttons get
/// a second picture for their pressed state (QIcon::On).
enum class ButtonArt { Setup, Quit, StartStop, Clear, View, Score, Display, Competition };
inline constexpr int kButtonArtCount = 8;

/// One button's pictures: `on` is null unless the button shows another when pressed.
struct ButtonPictures {
    QImage off;
    QImage on;
};

/// Draws the button's pictures. Touches no font or pixmap, so any thread may call it.
ButtonPictures DrawButtonPictures(ButtonArt art);
/// The icon of those pictures (on the GUI thread).
QIcon ButtonIcon(const ButtonPictures &pictures);
/// The button's icon, drawn now.
QIcon ButtonIcon(ButtonArt art);

} // namespace main_window
