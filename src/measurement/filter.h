// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace speed_mode
{

/// One player's spike filter: the last accepted median and the last three samples.
struct FilterState {
    qint32 Reference = 0;
    qint32 Oldest = 0;
    qint32 Middle = 0;
    qint32 Newest = 0;
    qint32 Previous = 0; ///< the previous sample as it came, before the jump rule
    bool operator==(const FilterState &) const = default;
};

/// What FilterSample leaves in a sample it rejects.
inline constexpr qint32 kRejected = -1;

/// Filters `sample` in place: while there is a reference, a sample above 1000 rpm that jumps
/// more than 4200 rpm from it becomes the reference; the median of the last three is taken,
/// and a median outside ±1/3 of the reference becomes -1 (and the new reference, so a real
/// change is accepted one tick later); an accepted 0 sample stays 0. reset clears the state
/// and leaves the sample untouched.
void FilterSample(FilterState &state, qint32 &sample, bool reset);

} // namespace speed_mode
