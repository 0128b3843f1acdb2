// SPDX-License-Identifier: MIT
#pragma once

#include "twips/design.h"

#include <QAnyStringView>
#include <QRect>

#include <span>

class QWidget;

// Twips to pixels for the windows' rectangles: the one place a design geometry meets a screen.
namespace twips
{

/// The pixels `rect` covers on `widget`'s screen, by its logical dots per inch.
QRect toPixels(const twips::TwipsRect &rect, const QWidget &widget);

/// The pixels of the control `objectName` of a design inventory on `widget`'s screen; the
/// control must be listed (see twips::designRect).
QRect designPixels(std::span<const twips::DesignControl> inventory, QAnyStringView objectName,
    const QWidget &widget);

} // namespace twips
