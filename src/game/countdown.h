// SPDX-License-Identifier: MIT
#pragma once

#include "shared/play_mode.h"

#include <array>

namespace game
{

using rotavex::PlayMode;

/// The countdown presets in seconds, in the order the preset button steps through them.
inline constexpr std::array<int, 3> kPresetSeconds { 30, 60, 90 };
/// The preset a new board shows.
inline constexpr int kFirstPresetSeconds = 90;

/// The preset after `preset`: 30 -> 60 -> 90 -> 30; anything else starts the cycle at 30.
int NextPreset(int preset);

/// What one countdown tick leaves on the display.
struct CountdownStepResult {
    int newValue; ///< seconds to show
    bool ranOut; ///< the countdown has ended: stop both timers and release Start
};

/// One tick from `shown` seconds: one second less; once that is below 1 the countdown has run
/// out and shows 0. A countdown from 30 runs out on tick 30.
CountdownStepResult CountdownStep(int shown);

/// The seconds a Strength game starts counting from: a countdown with nothing left (below 1)
/// is reloaded from its preset; otherwise the shown seconds carry on.
int StrengthStartSeconds(int shown, int preset);

/// Keeps a running Strength game's refresh ticks level with its countdown steps. Both timers
/// tick once a second and either may fire first within a second; counted this way a game of
/// N seconds gets exactly N refresh ticks whichever order they come in.
struct StrengthPace {
    int refreshesOwed = 0; ///< countdown steps taken less refresh ticks run; below 0 when ahead
};

/// Counts a refresh tick of a running Strength game.
void RefreshTick(StrengthPace &pace);

/// A countdown step of a running Strength game. When the step ran the countdown out, gives the
/// refresh ticks still owed to the game (0 or 1 when the timers keep time), which the caller
/// runs before it stops the timers; otherwise 0. The pace starts from level after a run-out.
int CountdownTick(StrengthPace &pace, bool ranOut);

} // namespace game
