// SPDX-License-Identifier: MIT
#pragma once

class QMessageBox;
class QString;
class QWidget;

namespace widgets
{

/// Makes `box` wide enough to show each line of its text unbroken. A message box wraps a long
/// line at about 500 pixels, and wrapping breaks a path after a "/" ("/dev/" and "rfcomm8" on
/// two lines). A line wider than the box may ever grow (the screen's width less 480 pixels, at
/// most 1000) is broken at blanks into the text itself. Call after the text is set, before the
/// box is shown.
void KeepLinesWhole(QMessageBox &box);

/// Shows `text` as written (plain text, lines whole) in a modal box over `owner` with an OK
/// button, and returns when it is closed. `objectName` names the box for tests and tools.
void ShowPlainMessage(
    QWidget *owner, const QString &title, const QString &text, const QString &objectName);

} // namespace widgets
