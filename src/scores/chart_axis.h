// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace chart_axis
{

/// A value axis with round steps: every tick is a whole multiple of `step`, and `step` is 1, 2
/// or 5 times a power of ten (never below 1, since seconds and rpm are whole numbers).
struct RoundAxis {
    qint64 min = 0;
    qint64 max = 1;
    qint64 step = 1;
    /// Ticks from min to max inclusive.
    int tickCount() const { return int((max - min) / step) + 1; }
    bool operator==(const RoundAxis &) const = default;
};

/// The axis that covers `low`..`high` with the fewest round steps that keep the intervals at
/// most `maxIntervals` (>= 1). The ends are the round values at or beyond `low` and `high`; a
/// span of zero widens to one step above `low`.
RoundAxis Covering(qint64 low, qint64 high, int maxIntervals);

/// The seconds axis of a game of `ticks` seconds (samples drawn at 1..ticks): from 0, at least
/// two seconds long, at most ten intervals.
RoundAxis SecondsAxis(int ticks);

/// The rpm axis for samples up to `topRpm`: from 0, at least 1000, at most eight intervals.
RoundAxis RpmAxis(qint64 topRpm);

} // namespace chart_axis
