// SPDX-License-Identifier: MIT
#pragma once

namespace display
{

/// Lets assistive technology read the spectators' display, which paints everything itself: the
/// window is named by its title, and its value is every text it shows, one per line, in the
/// order they are drawn. Safe to call more than once; needs a QApplication.
void InstallAccessibleFactory();

} // namespace display
