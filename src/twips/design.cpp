// SPDX-License-Identifier: MIT
#include "twips/design.h"

#include <QLatin1StringView>

#include <algorithm>

namespace twips
{

std::optional<TwipsRect> FindDesignRect(
    std::span<const DesignControl> inventory, QAnyStringView objectName)
{
    const auto it = std::find_if(inventory.begin(), inventory.end(), [&](const DesignControl &c) {
        return QAnyStringView::compare(objectName, QLatin1StringView(c.objectName)) == 0;
    });
    if (it == inventory.end()) {
        return std::nullopt;
    }
    return it->rect;
}

TwipsRect designRect(std::span<const DesignControl> inventory, QAnyStringView objectName)
{
    const std::optional<TwipsRect> rect = FindDesignRect(inventory, objectName);
    Q_ASSERT(rect);
    return rect.value_or(TwipsRect {});
}

} // namespace twips
