// SPDX-License-Identifier: MIT
#include "game/countdown.h"

#include <algorithm>

namespace game
{

int NextPreset(int preset)
{
    const auto *found = std::find(kPresetSeconds.begin(), kPresetSeconds.end(), preset);
    if (found == kPresetSeconds.end() || ++found == kPresetSeconds.end()) {
        return kPresetSeconds.front();
    }
    return *found;
}

CountdownStepResult CountdownStep(int shown)
{
    const int next = shown - 1;
    if (next < 1) {
        return { 0, true };
    }
    return { next, false };
}

int StrengthStartSeconds(int shown, int preset) { return shown < 1 ? preset : shown; }

void RefreshTick(StrengthPace &pace) { --pace.refreshesOwed; }

int CountdownTick(StrengthPace &pace, bool ranOut)
{
    ++pace.refreshesOwed;
    if (!ranOut) {
        return 0;
    }
    const int owed = std::max(pace.refreshesOwed, 0);
    pace = StrengthPace {};
    return owed;
}

} // namespace game
