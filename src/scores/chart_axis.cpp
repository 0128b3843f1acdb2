// SPDX-License-Identifier: MIT
#include "scores/chart_axis.h"

#include <algorithm>
#include <array>
#include <limits>

namespace chart_axis
{

namespace
{

    qint64 floorTo(qint64 value, qint64 step)
    {
        const qint64 q = value / step;
        return (value % step != 0 && value < 0 ? q - 1 : q) * step;
    }

    qint64 ceilTo(qint64 value, qint64 step)
    {
        const qint64 q = value / step;
        return (value % step != 0 && value > 0 ? q + 1 : q) * step;
    }

} // namespace

RoundAxis Covering(qint64 low, qint64 high, int maxIntervals)
{
    maxIntervals = std::max(1, maxIntervals);
    if (high < low) {
        std::swap(low, high);
    }
    constexpr std::array<qint64, 3> kMantissas { 1, 2, 5 };
    for (qint64 power = 1; power <= std::numeric_limits<qint64>::max() / 10; power *= 10) {
        for (const qint64 mantissa : kMantissas) {
            const qint64 step = mantissa * power;
            const qint64 min = floorTo(low, step);
            qint64 max = ceilTo(high, step);
            if (max == min) {
                max = min + step;
            }
            if ((max - min) / step <= maxIntervals) {
                return { min, max, step };
            }
        }
    }
    return { low, high, std::max<qint64>(1, high - low) };
}

RoundAxis SecondsAxis(int ticks) { return Covering(0, std::max(2, ticks), 10); }

RoundAxis RpmAxis(qint64 topRpm) { return Covering(0, std::max<qint64>(1000, topRpm), 8); }

} // namespace chart_axis
