// SPDX-License-Identifier: MIT
#include "measurement/filter.h"

#include <algorithm>
#include <cstdlib>

namespace speed_mode
{

namespace
{

    constexpr qint32 kJumpLimitRpm = 4200;
    // Slow samples are never taken for spikes: a device coming to rest must get through.
    constexpr qint32 kJumpFloorRpm = 1000;

    qint32 medianOf(qint32 a, qint32 b, qint32 c)
    {
        return std::max(std::min(a, b), std::min(std::max(a, b), c));
    }

} // namespace

void FilterSample(FilterState &state, qint32 &sample, bool reset)
{
    if (reset) {
        state = FilterState {};
        return;
    }

    // Only a jump that appears this tick is taken for a spike. One that was already there on
    // the previous tick is a real change of speed (a hard spin-down, a fast spin-up): holding
    // it back for good would freeze the board at a speed the device no longer has.
    const auto isJump = [&state](qint32 rpm) {
        return rpm > kJumpFloorRpm && std::llabs(qint64 { rpm } - state.Reference) > kJumpLimitRpm;
    };
    const qint32 arrived = sample;
    if (state.Reference > 0 && isJump(sample) && !isJump(state.Previous)) {
        sample = state.Reference;
    }
    state.Previous = arrived;

    state.Oldest = state.Middle;
    state.Middle = state.Newest;
    state.Newest = sample;
    const qint32 median = medianOf(state.Oldest, state.Middle, state.Newest);

    const double reference = state.Reference;
    const double upper = reference + reference / 3.0;
    const double lower = reference - reference / 3.0;
    const bool outside = median < lower || median > upper;
    const bool rejected = outside && median > 0 && state.Reference > 0;

    // A rejected median still becomes the reference, so a real change of speed is accepted
    // on the next tick instead of being rejected for ever.
    state.Reference = median;
    if (rejected) {
        sample = kRejected;
    } else if (sample != 0) {
        sample = median;
    }
}

} // namespace speed_mode
