// SPDX-License-Identifier: MIT
#include "main_window/twips_adapter.h"

#include "main_window/twips.h"

#include <QWidget>

namespace twips
{

QRect toPixels(const layout::TwipsRect &rect, const QWidget &widget)
{
    const double dpiX = widget.logicalDpiX();
    const double dpiY = widget.logicalDpiY();
    return { TwipsToPixels(rect.Left, dpiX), TwipsToPixels(rect.Top, dpiY),
        TwipsToPixels(rect.Width, dpiX), TwipsToPixels(rect.Height, dpiY) };
}

QRect designPixels(std::span<const layout::DesignControl> inventory, QAnyStringView objectName,
    const QWidget &widget)
{
    return toPixels(layout::designRect(inventory, objectName), widget);
}

} // namespace twips
