// SPDX-License-Identifier: MIT
#include "main_window/game_control.h"

#include "shared/decimal_text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace game_control
{

namespace
{

    // Written as "!(x >= 1)" so that a display reading back as NaN also counts as run out
    // instead of ticking for ever.
    bool nothingLeft(double seconds) { return !(seconds >= 1.0); }

} // namespace

std::optional<int> NextPreset(QStringView tag)
{
    static constexpr std::array<std::pair<const char16_t *, int>, 4> kCycle { {
        { u"", 30 },
        { u"30", 60 },
        { u"60", 90 },
        { u"90", 30 },
    } };
    for (const auto &[current, next] : kCycle) {
        if (tag == QStringView(current)) {
            return next;
        }
    }
    return std::nullopt;
}

CountdownStepResult CountdownStep(double shown)
{
    const double next = shown - 1.0;
    if (nothingLeft(next)) {
        return { 0.0, true };
    }
    return { next, false };
}

double StrengthStartSeconds(double shown, QStringView presetTag)
{
    if (!nothingLeft(shown)) {
        return shown;
    }
    if (const std::optional<int> preset = PresetSeconds(presetTag)) {
        return *preset;
    }
    return shown;
}

std::optional<int> PresetSeconds(QStringView presetTag)
{
    const std::optional<qint64> preset = decimal_text::parseDigits(presetTag, 1);
    return preset ? std::optional<int>(int(*preset)) : std::nullopt;
}

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

} // namespace game_control
