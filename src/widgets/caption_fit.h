// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

namespace caption_fit
{

/// Point sizes are tried in steps of this many points.
inline constexpr double kStepPt = 0.25;

/// The largest point size from `designPt` down, in steps of kStepPt and never below
/// `smallestPt`, at which `widestAt(size)` (the width of the widest caption drawn at that size,
/// in the unit of `room`) is not above `room`. `designPt` when everything fits at it;
/// `smallestPt` when nothing does. Asks `widestAt` a few times, not once per step.
double LargestFittingPointSize(double designPt, double smallestPt, double room,
    const std::function<double(double pointSize)> &widestAt);

/// At most `maxChars` UTF-16 units of `text`, never ending in half a surrogate pair: all that
/// is worth measuring of a caption that is going to be elided anyway (measuring a name of
/// many thousand characters takes long and shows nothing more).
QString MeasurablePrefix(const QString &text, qsizetype maxChars);

/// The width for the text of each of `entries` entries set side by side across `width`, after
/// each entry's marker and gaps (`perEntryExtra`); never below 0.
double EntryTextRoom(double width, int entries, double perEntryExtra);

} // namespace caption_fit
