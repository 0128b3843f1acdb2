// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace widgets
{

/// `plain` as a tooltip: shown as written (never as markup), in lines of at most about sixty
/// characters of the tooltip font that break at blanks only, so a device path, a port name or
/// a word such as "start-up" is never split.
QString ToolTipText(const QString &plain);

} // namespace widgets
