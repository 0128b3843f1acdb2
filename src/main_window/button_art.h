// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace main_window
{

/// The pictures of the main window's buttons, drawn by the program itself. Toggle buttons get
/// a second picture for their pressed state (QIcon::On).
enum class ButtonArt { Setup, Quit, StartStop, Clear, View, Score, Display, Competition };

QIcon ButtonIcon(ButtonArt art);

} // namespace main_window
