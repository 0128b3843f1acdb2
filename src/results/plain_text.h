// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Text from users and devices made safe to keep and to hand to other programs.
namespace results
{

/// `text` with every lone UTF-16 half (a high surrogate not followed by a low one, or a low one
/// not preceded by a high one) replaced by U+FFFD; pairs and everything else stay. A lone half
/// given to SQLite as it is would be merged with the character after it.
QString WellFormed(const QString &text);

/// WellFormed(`text`) with the control characters a spreadsheet chokes on (C0 controls other
/// than tab, line feed and carriage return, and DEL) replaced by U+FFFD, so a file never holds
/// such a byte.
QString WithoutControls(const QString &text);

} // namespace results
