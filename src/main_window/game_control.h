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

} // namespace game_control
