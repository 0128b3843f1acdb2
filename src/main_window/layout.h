// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"
#include "twips/design.h"

#include <QAnyStringView>
#include <QStringList>

#include <optional>
#include <span>

namespace layout
{

using twips::DesignControl;
using twips::designRect;
using twips::FindDesignRect;
using twips::TwipsRect;

/// The controls the layout moves or stretches. Row controls are relative to frBase1.
struct BoardGeometry {
    TwipsRect frBase0; ///< mode panel
    TwipsRect frBase1; ///< the players' board
    TwipsRect pc; ///< frame of the big speed display
    TwipsRect PctLogo;
    TwipsRect MSChart1;
    rotavex::PerPlayer<TwipsRect> lblName;
    rotavex::PerPlayer<TwipsRect> pbar;
    rotavex::PerPlayer<TwipsRect> lblRPM;
    rotavex::PerPlayer<TwipsRect> lblHI;
    bool operator==(const BoardGeometry &) const = default;
};

/// Size of frmMain's client area at design time, in twips.
inline constexpr int kDesignClientWidth = 9975;
inline constexpr int kDesignClientHeight = 7890;

/// Every positioned control of frmMain (timers and serial links have no geometry), each
/// container listed before what it holds. Arrays appear per member: "lblRPM1", "OptMode0".
std::span<const DesignControl> DesignInventory();

/// The design geometry of the frmMain control named `objectName` ("cmdStr", "CurTimer",
/// "frBase1", "pbar3" ...), relative to its container; nullopt for a name not in the inventory.
std::optional<TwipsRect> DesignRect(QAnyStringView objectName);

/// The main window's design geometry of the controls above.
BoardGeometry DesignGeometry();

/// The width in twips of what player n's speed bar leaves visible of the player's name label:
/// the bar is drawn over the label where the two meet, so a name is fitted to the part left of
/// the bar. The label's whole width when the bar does not reach into it.
int NameRoomTwips(const BoardGeometry &geometry, rotavex::PlayerSlot player);

/// A size in twips.
struct TwipsSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TwipsSize &) const = default;
};

/// The smallest outer size of the main window at which, in the chart layout, no two controls
/// of the same container overlap that stand apart in a roomy window, and no control is cut off
/// by its container (the client area is the outer size less `frameWidth` × `frameHeight`, the
/// twips the window's frame takes). Found by running the layout, from the design inventory;
/// controls named in `hidden` (and what they hold) are left out. Above it the layout is the
/// same as always.
TwipsSize MinimumOuterSize(double frameWidth, double frameHeight, const QStringList &hidden);

/// Re-lays the board out for a window whose outer size is outerWidth × outerHeight twips.
/// fullHeight (view toggle pressed) hides the chart and lets the board fill the height.
/// An assignment the widgets would refuse (a negative size, a row position outside 16 bits)
/// is skipped and that value is kept; the function itself never fails. A full-height row pitch
/// that does not fit 16 bits counts as 0 for this call, so the rows stack at the top.
void LayoutBoard(BoardGeometry &geometry, double outerWidth, double outerHeight, bool fullHeight);

} // namespace layout
