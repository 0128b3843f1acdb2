// SPDX-License-Identifier: MIT
#pragma once

namespace main_window
{

/// Lets assistive technology read the board's own widgets: a TagLabel gives its caption as its
/// value (its name is what the label is, "Player 2 speed"), a SpeedBar is a progress bar with
/// its value and range, a LedDisplay gives the number it shows as its value. Safe to call more than
/// once; needs a QApplication.
void InstallAccessibleFactory();

} // namespace main_window
