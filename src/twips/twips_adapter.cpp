// SPDX-License-Identifier: MIT
#include "twips/twips_adapter.h"

#include "twips/twips.h"

#include <QWidget>

namespace twips
{

QRect toPixels(const twips::TwipsRect &rect, const QWidget &widget)
{
    const double dpiX = widget.logicalDpiX();
    const double dpiY = widget.logicalDpiY();
    return { TwipsToPixels(rect.Left, dpiX), TwipsToPixels(rect.Top, dpiY),
        TwipsToPixels(rect.Width, dpiX), TwipsToPixels(rect.Height, dpiY) };
}

QRect designPixels(std::span<const twips::DesignControl> inventory, QAnyStringView objectName,
    const QWidget &widget)
{
    return toPixels(twips::designRect(inventory, objectName), widget);
}

} // namespace twips
