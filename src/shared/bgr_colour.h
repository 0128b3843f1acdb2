// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QtGlobal>

namespace rotavex
{

/// A colour given as 0x00BBGGRR (red in the low byte) as a QColor; the only place that
/// conversion happens. For the windows only: the logic library has no QColor.
inline QColor ColourFromBgr(quint32 bgr)
{
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
        static_cast<int>((bgr >> 16) & 0xFFu));
}

} // namespace rotavex
