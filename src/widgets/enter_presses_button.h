// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWidget;

namespace widgets
{

/// Makes Enter and Return press the focused button of `window`, as Space does (buttons outside
/// a dialog take only Space). An auto-repeated key presses nothing more. The filter is owned by
/// the window.
void InstallEnterPressesButton(QWidget *window);

} // namespace widgets
