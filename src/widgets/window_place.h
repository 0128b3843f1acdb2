// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringView>

#include <optional>

namespace window_place
{

/// Where a window's frame goes (pixels, desktop coordinates): `wanted` moved, and shrunk where
/// it is larger, to lie fully inside the available area it overlaps most. A window that overlaps
/// none (its screen is gone) goes to the first area, the primary screen's, keeping its size as
/// far as it fits. No areas at all: `wanted` as it is.
QRect FitInside(const QRect &wanted, const QList<QRect> &areas);

/// Where a window of `size` opens the first time beside its owner's frame `owner` without
/// covering it, on the owner's screen: on the side (right, below, left, above, in that order
/// when equal) where it keeps most of its size, shrunk to the room there but never below
/// `minimum`. When no side has that much room it goes right of the owner as far as the screen
/// allows, over the owner's edge.
QRect BesideOwner(
    const QRect &owner, const QSize &size, const QSize &minimum, const QList<QRect> &areas);

/// A remembered place as stored: "x,y,width,height" (x and y may be negative).
QString PlaceText(const QRect &place);
/// The place `text` holds; nullopt when it is not four whole numbers with a width and height of
/// at least 1 and coordinates within a million pixels (a damaged or hand-edited setting).
std::optional<QRect> ParsePlace(QStringView text);

} // namespace window_place
