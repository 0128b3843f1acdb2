// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"
#include "twips/design.h"

#include <span>

// frmSetup's design geometry in twips, as the main window's is in layout.
namespace setup_layout
{

/// Size of frmSetup's client area at design time, in twips.
inline constexpr int kDesignClientWidth = 6975;
inline constexpr int kDesignClientHeight = 4665;

/// Every positioned control of frmSetup. The four frames are "fr0".."fr3" and the dialog's own
/// controls carry their objectName; the controls every player's frame holds alike are listed
/// once, relative to the frame, under their objectName with "#" for the player's part
/// ("cboPort#" for cboPort1..4, "Label7#" for Label70..73) or, for the name label whose
/// objectNames do not follow the player, as "nameLabel#".
std::span<const twips::DesignControl> DesignInventory();

/// The index of the frame array holding `player`'s controls: players 3 and 4 sit in fr3 and
/// fr2, as the dialog was first drawn.
int FrameIndex(rotavex::PlayerSlot player);

} // namespace setup_layout
