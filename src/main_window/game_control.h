// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>

#include <optional>

namespace game_control
{

/// The running play mode. Unset until the first start: the refresh tick then does nothing.
enum class PlayMode { Unset = 0, Speed = 1, Strength = 2 };

/// The countdown preset (seconds) after the one named by the countdown display's tag:
/// "" -> 30, "30" -> 60, "60" -> 90, "90" -> 30. Any other tag, blanks included, gives nullopt
/// and the preset button changes nothing.
std::optional<int> NextPreset(QStringView tag);

/// What one countdown tick leaves on the display.
struct CountdownStepResult {
    double newValue; ///< seconds to show
    bool ranOut; ///< the countdown has ended: stop both timers and release Start
};

/// One tick from `shown` seconds: one second less; once that is below 1 (or `shown` is not a
/// number) the countdown has run out and shows 0. A countdown from 30 runs out on tick 30.
CountdownStepResult CountdownStep(double shown);

/// The seconds a Strength game starts counting from. A countdown with nothing left (below 1)
/// is reloaded from its preset tag when the tag is a positive whole number; otherwise the
/// shown seconds carry on, so a stopped game continues from the seconds it had left.
double StrengthStartSeconds(double shown, QStringView presetTag);

/// The countdown preset (seconds) the countdown display's tag names: plain digits above 0, as
/// we write them; std::nullopt for anything else ("+30" or " 30" mean a tampered display).
std::optional<int> PresetSeconds(QStringView presetTag);

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

} // namespace game_control
