// SPDX-License-Identifier: MIT
#pragma once

#include <QAnyStringView>

#include <optional>
#include <span>

// The windows' design tables: where each control was placed, in twips.
namespace twips
{

/// A control's position (relative to its container) and size, in twips (1440 to the inch).
struct TwipsRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TwipsRect &) const = default;
};

/// One positioned control of a window at design time. `container` is the objectName of the
/// control it sits in, "" for the window itself; `rect` is relative to that container.
struct DesignControl {
    const char *objectName;
    const char *container;
    TwipsRect rect;
};

/// The geometry of the control named `objectName` in `inventory`, relative to its container;
/// nullopt for a name not listed.
std::optional<TwipsRect> FindDesignRect(
    std::span<const DesignControl> inventory, QAnyStringView objectName);

/// The same for a control the window is built from, so listed by design: a missing one is a
/// programming error (asserts; an empty rect in a release build).
TwipsRect designRect(std::span<const DesignControl> inventory, QAnyStringView objectName);

} // namespace twips
